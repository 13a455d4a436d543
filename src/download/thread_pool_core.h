#pragma once
// What a ThreadPool shares with its threads. Private to the pool's own sources.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "download/completion_queue.h"
#include "download/sync_event.h"
#include "download/thread_pool.h"

namespace kestrano::pool_detail {

constexpr int kSliceMs = 20;
constexpr int kMaxFailuresInRow = 5;
// A stack reservation below this is not enough for the tasks' own calls; the stored size still
// follows the rounding rules, only the thread gets at least this much.
constexpr std::size_t kMinWorkerStackBytes = 64 * 1024;

constexpr std::int32_t kInitialWorker = 0;
constexpr std::int32_t kAddedWorker = 1;

// No routine can live at this address, so it marks the packets that tell a worker to end.
constexpr std::uintptr_t kQuitAddress = static_cast<std::uintptr_t>(-2);

}  // namespace kestrano::pool_detail

namespace kestrano {

// Lives as long as the pool object or any of its threads, whichever is last.
struct ThreadPool::Core {
  std::atomic<std::int32_t> state{kStopped};
  std::atomic<std::int32_t> run_flag{0};
  std::atomic<std::int32_t> thread_count{0};
  std::atomic<std::int32_t> busy_count{0};
  std::atomic<std::int32_t> queued_count{0};
  std::atomic<std::int32_t> max_threads{0};
  std::atomic<std::int32_t> idle_timeout_ms{0};
  std::atomic<std::int32_t> stack_size{0};

  // Orders the moments that must not interleave: a worker joining or leaving the run, a post, and the
  // state changes of stop and pause. Without it a post could slip in behind the quit packets, or a
  // late worker could join after the quit packets were counted.
  std::mutex mutex;
  std::shared_ptr<Run> run;  // the current run, null when stopped; guarded by `mutex`

  // Tasks posted and not yet returned. queued is read first: a worker moves a task from queued to
  // busy in the opposite order, so a task cannot slip between the two reads and go uncounted.
  std::int32_t outstanding() const {
    const std::int32_t queued = queued_count;
    return queued + busy_count;
  }

  std::shared_ptr<Run> current_run() {
    std::lock_guard lock(mutex);
    return run;
  }
};

// The queue and events of one start-to-stop cycle. A thread keeps the run it was made for, so a late
// thread of an old run never touches the queue or events of a newer one.
struct ThreadPool::Run {
  explicit Run(ThreadLauncher launcher) : launch(std::move(launcher)) {}

  const ThreadLauncher launch;
  CompletionQueue port;
  AutoResetEvent wake_event;
  AutoResetEvent started_event;
  AutoResetEvent task_done_event;
  ManualResetEvent resume_event{true};
  ManualResetEvent manager_done;
  // Workers created but not yet counted in thread_count; the manager counts them as threads so that
  // a slow-starting worker never lets it grow past max_threads.
  std::atomic<std::int32_t> launching{0};

  void close() {
    port.close();
    task_done_event.close();
    resume_event.close();
    started_event.close();
    wake_event.close();
  }
};

}  // namespace kestrano
