#pragma once
// A 5 ms timer on the UI thread that notes when it actually fires. The gaps between firings show how
// long the thread was kept from its events: an idle thread gives gaps of about 5 ms.

#include <QElapsedTimer>
#include <QTimer>

#include <vector>

namespace kestrano::bench {

struct GapFigures {
  double longest_ms = 0;
  double longest_at_ms = 0;  // when the longest gap began, from the start
  double p99_ms = 0;
  double median_ms = 0;
  std::size_t firings = 0;
};

class TimerProbe {
 public:
  TimerProbe();
  void start();
  void stop();
  GapFigures figures() const;

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  std::vector<qint64> fired_ns_;
};

}  // namespace kestrano::bench
