#include "app/ui_thread_call.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace kestrano {

struct UiThreadCall::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<bool> closing{false};
};

namespace {

struct Job {
  enum State { queued, running, done, dropped };
  State state = queued;                        // guarded by Shared::mutex
  const std::function<void()>* work = nullptr;  // the caller's; valid while it waits
};

const QEvent::Type job_event_type = static_cast<QEvent::Type>(QEvent::registerEventType());

// Carries one job to the UI thread. Qt deletes an event it never delivers (its receiver went away),
// and the destructor then releases the waiting caller.
class JobEvent final : public QEvent {
 public:
  JobEvent(std::shared_ptr<UiThreadCall::Shared> shared, std::shared_ptr<Job> job)
      : QEvent(job_event_type), shared_(std::move(shared)), job_(std::move(job)) {}

  ~JobEvent() override {
    {
      std::lock_guard lock(shared_->mutex);
      if (job_->state != Job::queued) return;
      job_->state = Job::dropped;
    }
    shared_->changed.notify_all();
  }

  void run() {
    bool runs = false;
    {
      std::lock_guard lock(shared_->mutex);
      if (job_->state != Job::queued) return;
      runs = !shared_->closing;
      job_->state = runs ? Job::running : Job::dropped;
    }
    if (runs) {
      (*job_->work)();
      std::lock_guard lock(shared_->mutex);
      job_->state = Job::done;
    }
    shared_->changed.notify_all();
  }

 private:
  std::shared_ptr<UiThreadCall::Shared> shared_;
  std::shared_ptr<Job> job_;
};

class Receiver final : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() != job_event_type) return QObject::event(event);
    static_cast<JobEvent*>(event)->run();
    return true;
  }
};

}  // namespace

UiThreadCall::UiThreadCall()
    : shared_(std::make_shared<Shared>()), receiver_(std::make_unique<Receiver>()),
      ui_thread_(std::this_thread::get_id()) {}

UiThreadCall::~UiThreadCall() { begin_closing(); }

bool UiThreadCall::closing() const { return shared_->closing.load(); }

void UiThreadCall::begin_closing() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->closing = true;
  }
  shared_->changed.notify_all();
}

bool UiThreadCall::run(const std::function<void()>& work) {
  if (closing()) return false;
  if (on_ui_thread()) {
    work();
    return true;
  }
  auto job = std::make_shared<Job>();
  job->work = &work;
  QCoreApplication::postEvent(receiver_.get(), new JobEvent(shared_, job));

  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait(lock, [&] {
    return job->state == Job::done || job->state == Job::dropped ||
           (shared_->closing && job->state == Job::queued);
  });
  if (job->state == Job::done) return true;
  job->state = Job::dropped;
  return false;
}

}  // namespace kestrano
