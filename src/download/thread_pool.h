#pragma once
// A self-sizing pool of worker threads fed through one completion queue.
//
// The caller starts the pool, posts tasks (a routine with two 32-bit arguments, or a callable that
// carries its own data), may wait for tasks or for the pool to go idle, and stops it in one of four
// modes. A manager thread adds one worker per pass while running plus queued work exceeds the threads,
// up to a maximum; workers added that way end after an idle timeout, initial workers stay until stop.
//
// Waits that may run on the user-interface thread (start, stop, wait_task_done) can "pump": between
// 20-ms slices they call the message-pump hook, so that tasks which reach the window through that
// thread can finish.
//
// Everything the threads touch is co-owned by them, so the pool object may be destroyed while its
// threads are still ending.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "download/thread_launch.h"

namespace kestrano {

class ThreadPool {
 public:
  using Routine = void (*)(std::int32_t, std::int32_t);

  // Values of get_state().
  static constexpr std::int32_t kStopped = 0;
  static constexpr std::int32_t kRunning = 1;
  static constexpr std::int32_t kStarting = 2;
  static constexpr std::int32_t kStopping = 3;

  ThreadPool();
  // Stops as stop(2) does and returns without waiting for the workers.
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Called by pumped waits to process the calling thread's pending window messages. Set it before the
  // pool is used; empty by default.
  void set_message_pump(std::function<void()> hook);
  // Replaces how threads are created from the next start on; an empty launcher restores the default.
  void set_thread_launcher(ThreadLauncher launcher);

  // Absent arguments take the defaults: 5 initial threads, at most 20, an idle timeout of 10000 ms and
  // the platform's stack. True when at least one worker is alive at the end; false when the pool was not
  // stopped (nothing changes) or could not be brought up (it is stopped again).
  bool start(std::optional<int> initial_threads = {}, std::optional<int> max_threads = {},
             std::optional<int> idle_timeout_ms = {}, bool pump = false,
             std::optional<int> stack_size = {});
  // Modes: 0 drop the queued tasks and wait for the workers to end, 1 run every queued task first and
  // wait, 2 as 0 and 3 as 1 without waiting; any other mode counts as 0. A timeout > 0 bounds the
  // waiting modes. False when the pool is starting or already stopping, or the wait timed out.
  bool stop(int mode = 0, int timeout_ms = 0, bool pump = false);

  // Workers hold what they dequeue while paused; stop lifts a pause.
  bool pause();
  bool resume();
  // A negative timeout waits without limit.
  bool wait_resumed(int timeout_ms = -1);

  // Each accepted post is run once unless a discarding stop drops it. False when not running or when
  // the routine is missing.
  bool post(Routine routine, std::int32_t arg1 = 0, std::int32_t arg2 = 0);
  bool post_address(std::uintptr_t address, std::int32_t arg1 = 0, std::int32_t arg2 = 0);
  bool post(std::function<void()> task);

  // Consumes one task-finished signal; signals of tasks that finished before the call collapse into one.
  // A negative timeout waits without limit.
  bool wait_task_done(int timeout_ms = -1, bool pump = false);

  std::int32_t get_idle_thread_count() const;
  std::int32_t get_busy_count() const;
  std::int32_t get_queued_count() const;
  std::int32_t get_thread_count() const;
  std::int32_t get_max_threads() const;
  // Never true while a posted task has not yet returned.
  bool is_idle() const;
  std::int32_t get_state() const;

  // These act only while running.
  void set_max_threads(std::int32_t n);
  void set_idle_timeout(std::int32_t ms);
  void set_stack_size(std::int32_t bytes);

 private:
  struct Core;  // state shared by the pool object and its threads
  struct Run;   // the queue and events of one start-to-stop cycle

  static std::int32_t worker_loop(Core& core, const std::shared_ptr<Run>& run, std::int32_t kind);
  static std::int32_t manager_loop(const std::shared_ptr<Core>& core, const std::shared_ptr<Run>& run);
  static bool launch_worker(const std::shared_ptr<Core>& core, const std::shared_ptr<Run>& run,
                            std::int32_t kind);
  static void leave_run(Core& core, const std::shared_ptr<Run>& run);

  bool post_packet(std::uintptr_t routine, std::int32_t arg1, std::int32_t arg2,
                   std::function<void()> task);
  void wake_manager_if_short(Run& run) const;
  void abandon_start(const std::shared_ptr<Run>& run, bool pump);
  void pump_messages(bool pump) const;

  std::shared_ptr<Core> core_;
  std::function<void()> message_pump_;
  ThreadLauncher launcher_;
};

}  // namespace kestrano
