#pragma once
// Event objects for threads that hand each other signals.
// An auto-reset event keeps at most one signal and a wait consumes it, so several sets before a wait
// collapse into one. A manual-reset event stays open until it is reset. Closing an event releases every
// waiter and makes every later wait fail at once, the way a wait on a closed handle fails; nobody can
// be left blocked on an event whose owner has finished with it.

#include <condition_variable>
#include <mutex>

namespace kestrano {

// Shared machinery of the two event kinds; not used directly.
class SyncEvent {
 public:
  SyncEvent(const SyncEvent&) = delete;
  SyncEvent& operator=(const SyncEvent&) = delete;

  void set();
  void reset();
  // A negative timeout waits without limit. True when the event was signalled within the time (an
  // auto-reset event is then unset again); false on timeout or when the event is closed.
  bool wait(int timeout_ms = -1);
  void close();
  bool closed() const;

 protected:
  SyncEvent(bool manual_reset, bool initially_set);

 private:
  const bool manual_reset_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
  bool closed_ = false;
};

class AutoResetEvent : public SyncEvent {
 public:
  AutoResetEvent() : SyncEvent(false, false) {}
};

class ManualResetEvent : public SyncEvent {
 public:
  explicit ManualResetEvent(bool initially_set = false) : SyncEvent(true, initially_set) {}
};

}  // namespace kestrano
