#pragma once
// Runs work on the UI thread on behalf of any thread. On the UI thread the work runs at once; from a
// worker it is posted to the UI thread and the worker waits until it has run.
//
// The wait also ends when closing begins: a job still queued is then dropped and never runs, so a
// worker never hangs on a window that is going away or an event loop that has stopped. A job already
// running is waited for, since it may be using the caller's arguments. From the moment closing begins
// every call returns at once without running its work.

#include <functional>
#include <memory>
#include <thread>

class QObject;

namespace kestrano {

class UiThreadCall {
 public:
  // Construct on the UI thread, with the application object alive.
  UiThreadCall();
  // Begins closing. Every thread that may still call must have stopped calling before this returns.
  ~UiThreadCall();
  UiThreadCall(const UiThreadCall&) = delete;
  UiThreadCall& operator=(const UiThreadCall&) = delete;

  bool on_ui_thread() const { return std::this_thread::get_id() == ui_thread_; }
  bool closing() const;
  void begin_closing();

  // True when `work` ran; false when closing came first.
  bool run(const std::function<void()>& work);

  struct Shared;  // the state the waiting callers and the posted jobs share; defined with the code

 private:
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<QObject> receiver_;
  const std::thread::id ui_thread_;
};

}  // namespace kestrano
