#include "download/sync_event.h"

#include <chrono>

namespace kestrano {

SyncEvent::SyncEvent(bool manual_reset, bool initially_set)
    : manual_reset_(manual_reset), signalled_(initially_set) {}

void SyncEvent::set() {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    signalled_ = true;
  }
  // An auto-reset signal can only be taken by one waiter anyway.
  if (manual_reset_) {
    changed_.notify_all();
  } else {
    changed_.notify_one();
  }
}

void SyncEvent::reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool SyncEvent::wait(int timeout_ms) {
  std::unique_lock lock(mutex_);
  const auto ready = [this] { return signalled_ || closed_; };
  if (timeout_ms < 0) {
    changed_.wait(lock, ready);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
    return false;
  }
  if (closed_) return false;
  if (!manual_reset_) signalled_ = false;
  return true;
}

void SyncEvent::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    signalled_ = false;
  }
  changed_.notify_all();
}

bool SyncEvent::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace kestrano
