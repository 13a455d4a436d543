#include "timer_probe.h"

#include <algorithm>

namespace kestrano::bench {

TimerProbe::TimerProbe() {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] { fired_ns_.push_back(clock_.nsecsElapsed()); });
}

void TimerProbe::start() {
  fired_ns_.clear();
  fired_ns_.reserve(1 << 16);
  clock_.start();
  fired_ns_.push_back(0);  // the start counts as a firing: a thread blocked from the start shows too
  timer_.start();
}

void TimerProbe::stop() {
  timer_.stop();
  fired_ns_.push_back(clock_.nsecsElapsed());  // so is the end: the last stretch counts as a gap
}

GapFigures TimerProbe::figures() const {
  GapFigures f;
  if (fired_ns_.size() < 2) return f;
  std::vector<double> gaps;
  for (std::size_t i = 1; i < fired_ns_.size(); ++i) {
    gaps.push_back(double(fired_ns_[i] - fired_ns_[i - 1]) / 1e6);
    if (gaps.back() > f.longest_ms) {
      f.longest_ms = gaps.back();
      f.longest_at_ms = double(fired_ns_[i - 1]) / 1e6;
    }
  }
  std::sort(gaps.begin(), gaps.end());
  f.firings = gaps.size();
  f.median_ms = gaps[gaps.size() / 2];
  f.p99_ms = gaps[std::min(gaps.size() - 1, static_cast<std::size_t>(double(gaps.size()) * 0.99))];
  return f;
}

}  // namespace kestrano::bench
