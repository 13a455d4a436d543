// The pool's threads: workers and the manager.

#include <algorithm>
#include <utility>

#include "download/thread_pool.h"
#include "download/thread_pool_core.h"

namespace kestrano {

using namespace pool_detail;

namespace {

void run_task(CompletionPacket& packet) {
  // A task that throws counts as finished: the exception must not end the worker's thread (and with
  // it the program) or leave the counters behind.
  try {
    if (packet.callable) {
      packet.callable();
    } else {
      reinterpret_cast<ThreadPool::Routine>(packet.overlapped)(packet.byte_count, packet.key);
    }
  } catch (...) {
  }
}

}  // namespace

bool ThreadPool::launch_worker(const std::shared_ptr<Core>& core, const std::shared_ptr<Run>& run,
                               std::int32_t kind) {
  const std::int32_t stored = core->stack_size;
  const std::size_t stack_bytes =
      stored > 0 ? std::max(static_cast<std::size_t>(stored), kMinWorkerStackBytes) : 0;
  run->launching.fetch_add(1);
  const bool launched = run->launch(
      [core, run, kind] {
        name_this_thread("kestrano-pool");
        worker_loop(*core, run, kind);
      },
      stack_bytes);
  if (!launched) run->launching.fetch_sub(1);
  return launched;
}

std::int32_t ThreadPool::worker_loop(Core& core, const std::shared_ptr<Run>& run, std::int32_t kind) {
  {
    std::lock_guard lock(core.mutex);
    // A worker that comes up after its run was told to stop stays out: it was not counted for the quit
    // packets, and its run may already be gone.
    const bool joins = core.run == run && core.state != kStopping;
    // Counted before it stops being "launching", so that the manager (which reads in the opposite
    // order) never misses it.
    if (joins) core.thread_count.fetch_add(1);
    run->launching.fetch_sub(1);
    if (!joins) return 0;
  }
  run->started_event.set();

  for (;;) {
    const int timeout_ms = kind == kAddedWorker ? core.idle_timeout_ms.load() : -1;
    std::optional<CompletionPacket> packet = run->port.dequeue(timeout_ms);
    // The pause barrier comes before any decision, so a paused pool holds tasks, quit packets and
    // time-outs alike.
    run->resume_event.wait();
    if (core.run_flag != 1 || !packet || packet->overlapped == kQuitAddress) break;
    // busy before queued: the task is counted in one of them at every instant, so is_idle cannot
    // see the pool idle between the dequeue and the call.
    core.busy_count.fetch_add(1);
    core.queued_count.fetch_sub(1);
    run_task(*packet);
    packet.reset();  // the task's own data goes before anyone can see the pool idle
    core.busy_count.fetch_sub(1);
    run->task_done_event.set();
  }
  leave_run(core, run);
  return 0;
}

void ThreadPool::leave_run(Core& core, const std::shared_ptr<Run>& run) {
  {
    std::lock_guard lock(core.mutex);
    if (core.thread_count.fetch_sub(1) != 1) return;
    // The last worker out shuts the run down. Once the run is no longer current nothing can post to it
    // or join it.
    core.run.reset();
  }
  // Tasks still queued are dropped here, before the pool reports stopped, so that a caller of stop
  // finds every task object gone.
  run->port.close();
  core.run_flag = 0;
  core.busy_count = 0;
  core.queued_count = 0;
  core.state = kStopped;
  // Last, so that a polling stop and the manager wake up to the stopped state.
  run->close();
}

std::int32_t ThreadPool::manager_loop(const std::shared_ptr<Core>& shared,
                                      const std::shared_ptr<Run>& run) {
  Core& core = *shared;
  int failures_in_row = 0;
  run->wake_event.wait();
  while (core.state == kRunning && core.current_run() == run) {
    const std::int32_t launching = run->launching;
    const std::int32_t threads = launching + core.thread_count;
    if (threads < core.max_threads && core.outstanding() > threads) {
      if (launch_worker(shared, run, kAddedWorker)) {
        failures_in_row = 0;
        run->started_event.wait(core.thread_count * 10 + 1000);
      } else if (++failures_in_row >= kMaxFailuresInRow) {
        // Stop trying until set_max_threads raises the bound again.
        core.max_threads = core.thread_count.load();
        failures_in_row = 0;
      }
    } else {
      run->wake_event.wait();
    }
    run->resume_event.wait();
  }
  run->manager_done.set();
  return 0;
}

}  // namespace kestrano
