#include "download/thread_pool.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "download/thread_pool_core.h"

namespace kestrano {

using namespace pool_detail;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultInitialThreads = 5;
constexpr int kDefaultMaxThreads = 20;
constexpr int kDefaultIdleTimeoutMs = 10000;
constexpr int kMinIdleTimeoutMs = 100;
constexpr int kMinStackSize = 8192;
constexpr int kManagerStopWaits = 21;
constexpr int kManagerAbandonWaits = 11;

std::int64_t ms_since(Clock::time_point began) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
}

// 0 keeps the platform's stack; anything else is at least 8192 and a whole number of 4096-byte pages.
std::int32_t stack_size_for_start(int bytes) {
  if (bytes == 0) return 0;
  if (bytes < kMinStackSize) return kMinStackSize;
  return bytes / 4096 * 4096;
}

// The setter rounds to 8192 where start rounds to 4096.
std::int32_t stack_size_for_setter(int bytes) {
  if (bytes == 0) return 0;
  if (bytes < kMinStackSize) return kMinStackSize;
  return bytes / 8192 * 8192;
}

}  // namespace

ThreadPool::ThreadPool() : core_(std::make_shared<Core>()), launcher_(launch_thread) {}

ThreadPool::~ThreadPool() { stop(2); }

void ThreadPool::set_message_pump(std::function<void()> hook) { message_pump_ = std::move(hook); }

void ThreadPool::set_thread_launcher(ThreadLauncher launcher) {
  launcher_ = launcher ? std::move(launcher) : ThreadLauncher(launch_thread);
}

void ThreadPool::pump_messages(bool pump) const {
  if (pump && message_pump_) message_pump_();
}

bool ThreadPool::start(std::optional<int> initial_threads, std::optional<int> max_threads,
                       std::optional<int> idle_timeout_ms, bool pump,
                       std::optional<int> stack_size) {
  Core& core = *core_;
  std::int32_t expected = kStopped;
  if (!core.state.compare_exchange_strong(expected, kStarting)) return false;

  const int initial = initial_threads ? std::max(*initial_threads, 1) : kDefaultInitialThreads;
  core.max_threads = std::max(max_threads.value_or(kDefaultMaxThreads), initial);
  core.idle_timeout_ms =
      idle_timeout_ms ? std::max(*idle_timeout_ms, kMinIdleTimeoutMs) : kDefaultIdleTimeoutMs;
  core.stack_size = stack_size_for_start(stack_size.value_or(0));

  auto run = std::make_shared<Run>(launcher_);
  {
    std::lock_guard lock(core.mutex);
    core.run = run;
  }
  // The manager runs little code: the platform's default stack is plenty, and a reservation as small
  // as the workers' minimum would be refused.
  const std::shared_ptr<Core> shared = core_;
  const bool manager_started = run->launch(
      [shared, run] {
        name_this_thread("kestrano-pmgr");
        manager_loop(shared, run);
      },
      0);
  if (!manager_started) {
    {
      std::lock_guard lock(core.mutex);
      core.run.reset();
    }
    run->close();
    core.state = kStopped;
    return false;
  }
  core.run_flag = 1;  // the counters are already 0: every way into the stopped state zeroes them

  int created = 0;
  int failures_in_row = 0;
  // A failed creation is retried; only five failures in a row end the attempts.
  while (created < initial && failures_in_row < kMaxFailuresInRow) {
    if (launch_worker(core_, run, kInitialWorker)) {
      ++created;
      failures_in_row = 0;
    } else {
      ++failures_in_row;
    }
    pump_messages(pump);
  }

  if (created > 0) {
    // Every created worker signals once it is counted, so a signal always comes; the grace time only
    // keeps a slow machine from holding the caller for long.
    const auto began = Clock::now();
    const int grace_ms = created * 10 + 1000;
    for (;;) {
      const bool signalled = run->started_event.wait(kSliceMs);
      pump_messages(pump);
      if (signalled && (core.thread_count >= created || ms_since(began) > grace_ms)) break;
    }
  }

  {
    std::lock_guard lock(core.mutex);
    if (core.thread_count > 0) {
      core.state = kRunning;
      return true;
    }
    core.run.reset();
  }
  abandon_start(run, pump);
  return false;
}

void ThreadPool::abandon_start(const std::shared_ptr<Run>& run, bool pump) {
  // The manager sees that its run is no longer current and ends.
  run->wake_event.set();
  for (int i = 0; i < kManagerAbandonWaits && !run->manager_done.wait(kSliceMs); ++i) {
    pump_messages(pump);
  }
  run->close();
  core_->run_flag = 0;
  core_->state = kStopped;
}

bool ThreadPool::stop(int mode, int timeout_ms, bool pump) {
  Core& core = *core_;
  if (mode < 0 || mode > 3) mode = 0;
  std::shared_ptr<Run> run;
  {
    std::lock_guard lock(core.mutex);
    std::int32_t expected = kRunning;
    if (!core.state.compare_exchange_strong(expected, kStopping)) return expected == kStopped;
    // Workers end at their next dequeue without running what they took; the rest of the queue is
    // dropped when the last one leaves.
    if (mode == 0 || mode == 2) core.run_flag = 0;
    run = core.run;
  }
  if (!run) return true;  // the last worker has already left

  run->task_done_event.set();
  run->started_event.set();
  run->wake_event.set();
  run->resume_event.set();  // also lifts a pause

  for (int i = 0; i < kManagerStopWaits && !run->manager_done.wait(kSliceMs); ++i) {
    pump_messages(pump);
  }
  pump_messages(pump);

  // One quit packet per live worker plus one; in modes 1 and 3 they queue behind the pending tasks.
  std::int32_t live;
  {
    std::lock_guard lock(core.mutex);
    live = core.thread_count;
  }
  const CompletionPacket quit{-1, -1, kQuitAddress, {}};
  run->port.post(quit);
  for (std::int32_t i = 1; i <= live; ++i) {
    run->port.post(quit);
    if (i % 100 == 0) pump_messages(pump);
  }
  if (mode == 2 || mode == 3) return true;

  const auto began = Clock::now();
  while (core.state == kStopping) {
    if (timeout_ms > 0 && ms_since(began) > timeout_ms) return false;
    run->wake_event.wait(kSliceMs);
    pump_messages(pump);
  }
  return true;
}

bool ThreadPool::pause() {
  Core& core = *core_;
  std::lock_guard lock(core.mutex);  // so that a concurrent stop cannot have its lifted pause undone
  if (core.state != kRunning || !core.run) return false;
  core.run->resume_event.reset();
  return true;
}

bool ThreadPool::resume() {
  Core& core = *core_;
  std::lock_guard lock(core.mutex);
  if (core.state != kRunning || !core.run) return false;
  core.run->resume_event.set();
  return true;
}

bool ThreadPool::wait_resumed(int timeout_ms) {
  if (core_->state != kRunning) return false;
  const auto run = core_->current_run();
  return run && run->resume_event.wait(timeout_ms);
}

bool ThreadPool::post(Routine routine, std::int32_t arg1, std::int32_t arg2) {
  if (routine == nullptr) return false;
  return post_packet(reinterpret_cast<std::uintptr_t>(routine), arg1, arg2, {});
}

bool ThreadPool::post_address(std::uintptr_t address, std::int32_t arg1, std::int32_t arg2) {
  // The quit marker is refused as well: a worker would take it for a quit packet and end, leaving the
  // post counted as queued for ever.
  if (address == 0 || address == kQuitAddress) return false;
  return post_packet(address, arg1, arg2, {});
}

bool ThreadPool::post(std::function<void()> task) {
  if (!task) return false;
  return post_packet(0, 0, 0, std::move(task));
}

bool ThreadPool::post_packet(std::uintptr_t routine, std::int32_t arg1, std::int32_t arg2,
                             std::function<void()> task) {
  Core& core = *core_;
  std::shared_ptr<Run> run;
  bool posted;
  {
    std::lock_guard lock(core.mutex);
    if (core.state != kRunning || !core.run) return false;
    run = core.run;
    core.queued_count.fetch_add(1);
    posted = run->port.post(CompletionPacket{arg1, arg2, routine, std::move(task)});
    if (!posted) core.queued_count.fetch_sub(1);
  }
  wake_manager_if_short(*run);
  return posted;
}

void ThreadPool::wake_manager_if_short(Run& run) const {
  const Core& core = *core_;
  const std::int32_t threads = core.thread_count;
  if (threads < core.max_threads && core.outstanding() > threads) {
    run.wake_event.set();
  }
}

bool ThreadPool::wait_task_done(int timeout_ms, bool pump) {
  if (core_->state != kRunning) return false;
  const auto run = core_->current_run();
  if (!run) return false;
  if (!pump) return run->task_done_event.wait(timeout_ms);

  const auto began = Clock::now();
  for (;;) {
    pump_messages(true);
    // A signal that arrives during the last slice still counts, even if the time ran out meanwhile.
    if (run->task_done_event.wait(kSliceMs)) return true;
    if (run->task_done_event.closed()) return false;
    if (timeout_ms >= 0 && ms_since(began) > timeout_ms) return false;
  }
}

std::int32_t ThreadPool::get_idle_thread_count() const {
  return core_->thread_count - core_->busy_count;
}

std::int32_t ThreadPool::get_busy_count() const { return core_->busy_count; }

std::int32_t ThreadPool::get_queued_count() const { return core_->queued_count; }

std::int32_t ThreadPool::get_thread_count() const { return core_->thread_count; }

std::int32_t ThreadPool::get_max_threads() const { return core_->max_threads; }

bool ThreadPool::is_idle() const {
  // Same order as outstanding(): queued first.
  const std::int32_t queued = core_->queued_count;
  return queued == 0 && core_->busy_count == 0;
}

std::int32_t ThreadPool::get_state() const { return core_->state; }

void ThreadPool::set_max_threads(std::int32_t n) {
  if (core_->state != kRunning) return;
  core_->max_threads = std::max(n, 1);
  if (const auto run = core_->current_run()) wake_manager_if_short(*run);
}

void ThreadPool::set_idle_timeout(std::int32_t ms) {
  if (core_->state != kRunning) return;
  core_->idle_timeout_ms = std::max(ms, kMinIdleTimeoutMs);
}

void ThreadPool::set_stack_size(std::int32_t bytes) {
  if (core_->state != kRunning) return;
  core_->stack_size = stack_size_for_setter(bytes);
}

}  // namespace kestrano
