#include "event_wait.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>

namespace kestrano::bench {

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  if (done()) return true;
  QEventLoop loop;
  bool held = false;
  auto look = [&] {
    if (!held && done()) {
      held = true;
      loop.quit();
    }
  };
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, look);
  // A backstop in case the loop never sleeps once the condition holds.
  QTimer backstop;
  QObject::connect(&backstop, &QTimer::timeout, &loop, look);
  backstop.start(50);
  QTimer::singleShot(limit, &loop, &QEventLoop::quit);
  loop.exec();
  return held || done();
}

void run_events_for(std::chrono::milliseconds duration) {
  QEventLoop loop;
  QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace kestrano::bench
