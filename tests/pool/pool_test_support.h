#pragma once
// Helpers shared by the pool tests: bounded waits on conditions, a gate that holds tasks until the test
// lets them go, and a look at which pool threads are still alive.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "download/thread_launch.h"

namespace kestrano::pool_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline constexpr auto kBound = 10s;

// Polls `condition` until it holds; false when `bound` passed first.
inline bool wait_until(const std::function<bool()>& condition,
                       std::chrono::milliseconds bound = kBound) {
  const auto deadline = Clock::now() + bound;
  while (!condition()) {
    if (Clock::now() > deadline) return condition();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

inline std::int64_t ms_since(Clock::time_point began) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
}

// Tasks block on it until the test opens it. The wait is bounded so that a failing test ends.
class Gate {
 public:
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  bool wait(std::chrono::milliseconds bound = kBound) {
    std::unique_lock lock(mutex_);
    return opened_.wait_for(lock, bound, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Threads of this process that pools started and that have not ended yet (the pool names them).
inline int live_pool_threads() {
  int count = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    if (name == "kestrano-pool" || name == "kestrano-pmgr") ++count;
  }
  return count;
}

// A launcher that refuses the calls `refuse` picks (numbered from 0 in call order; the manager is
// always call 0 of a start) and records the stack size asked for in every call. Its record is shared
// with the launcher it hands out, so a pool thread may still use it after the test has moved on.
class ScriptedLauncher {
 public:
  explicit ScriptedLauncher(std::function<bool(int call)> refuse = [](int) { return false; })
      : state_(std::make_shared<State>()) {
    state_->refuse = std::move(refuse);
  }

  ThreadLauncher launcher() const {
    return [state = state_](std::function<void()> body, std::size_t stack_bytes) {
      const int call = state->calls.fetch_add(1);
      {
        std::lock_guard lock(state->mutex);
        state->stacks.push_back(stack_bytes);
      }
      if (state->refuse(call)) return false;
      return launch_thread(std::move(body), stack_bytes);
    };
  }
  int calls() const { return state_->calls; }
  std::vector<std::size_t> stacks() const {
    std::lock_guard lock(state_->mutex);
    return state_->stacks;
  }

 private:
  struct State {
    std::function<bool(int)> refuse;
    std::atomic<int> calls{0};
    std::mutex mutex;
    std::vector<std::size_t> stacks;
  };
  std::shared_ptr<State> state_;
};

}  // namespace kestrano::pool_test
