// Starting, stopping and destroying the pool, and how it creates its threads.

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <optional>

#include "download/thread_pool.h"
#include "pool_test_support.h"

namespace kestrano {
namespace {

using namespace pool_test;

void expect_stopped(const ThreadPool& pool) {
  EXPECT_EQ(pool.get_state(), ThreadPool::kStopped);
  EXPECT_EQ(pool.get_thread_count(), 0);
  EXPECT_EQ(pool.get_busy_count(), 0);
  EXPECT_EQ(pool.get_queued_count(), 0);
  EXPECT_EQ(pool.get_idle_thread_count(), 0);
  EXPECT_TRUE(pool.is_idle());
}

// Posts a task that holds its worker until the gate opens.
bool post_held(ThreadPool& pool, const std::shared_ptr<Gate>& gate) {
  return pool.post([gate] { gate->wait(); });
}

// A stopped pool must start again and run work.
void expect_restarts(ThreadPool& pool) {
  ASSERT_TRUE(pool.start(1, 1));
  auto ran = std::make_shared<std::atomic<bool>>(false);
  ASSERT_TRUE(pool.post([ran] { *ran = true; }));
  EXPECT_TRUE(wait_until([&] { return ran->load(); }));
  EXPECT_TRUE(pool.stop());
  expect_stopped(pool);
}

struct StartCase {
  const char* name;
  std::optional<int> initial;
  std::optional<int> max;
  int threads;
  int max_threads;
};

TEST(ThreadPoolStart, DefaultsAndClamps) {
  const StartCase cases[] = {
      {"no arguments", {}, {}, 5, 20},
      {"one of six", 1, 6, 1, 6},
      {"max below initial", 5, 3, 5, 5},
      {"max below the default initial", {}, 2, 5, 5},
      {"zero initial", 0, {}, 1, 20},
      {"negative initial, zero max", -4, 0, 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ThreadPool pool;
    ASSERT_TRUE(pool.start(c.initial, c.max));
    EXPECT_EQ(pool.get_state(), ThreadPool::kRunning);
    EXPECT_GE(pool.get_thread_count(), 1);
    EXPECT_EQ(pool.get_max_threads(), c.max_threads);
    EXPECT_TRUE(wait_until([&] { return pool.get_thread_count() == c.threads; }));
    EXPECT_EQ(pool.get_idle_thread_count(), c.threads);
    EXPECT_TRUE(pool.is_idle());
    EXPECT_TRUE(pool.stop());
    expect_stopped(pool);
  }
}

TEST(ThreadPoolStart, RefusedWhileRunningOrStopping) {
  ThreadPool pool;
  ASSERT_TRUE(pool.start(1, 3));
  EXPECT_FALSE(pool.start(2, 9));
  EXPECT_EQ(pool.get_state(), ThreadPool::kRunning);
  EXPECT_EQ(pool.get_max_threads(), 3);
  EXPECT_EQ(pool.get_thread_count(), 1);

  // A task holds the only worker, so a bounded stop times out and leaves the pool stopping.
  auto gate = std::make_shared<Gate>();
  ASSERT_TRUE(post_held(pool, gate));
  ASSERT_TRUE(wait_until([&] { return pool.get_busy_count() == 1; }));
  const auto began = Clock::now();
  EXPECT_FALSE(pool.stop(0, 100));
  EXPECT_GE(ms_since(began), 100);
  EXPECT_EQ(pool.get_state(), ThreadPool::kStopping);
  EXPECT_FALSE(pool.start());
  EXPECT_FALSE(pool.stop());
  EXPECT_FALSE(pool.post([] {}));
  EXPECT_FALSE(pool.pause());

  // The workers go on ending by themselves.
  gate->open();
  EXPECT_TRUE(wait_until([&] { return pool.get_state() == ThreadPool::kStopped; }));
  expect_stopped(pool);
  expect_restarts(pool);
}

TEST(ThreadPoolStart, RefusedWhileStarting) {
  // The first worker's creation blocks, holding start in the starting state.
  auto creation = std::make_shared<Gate>();
  auto held = std::make_shared<std::atomic<bool>>(false);
  auto calls = std::make_shared<std::atomic<int>>(0);
  ThreadPool pool;
  pool.set_thread_launcher([=](std::function<void()> body, std::size_t stack_bytes) {
    if (calls->fetch_add(1) == 1) {
      *held = true;
      creation->wait();
    }
    return launch_thread(std::move(body), stack_bytes);
  });
  auto started = std::async(std::launch::async, [&pool] { return pool.start(1, 1); });
  ASSERT_TRUE(wait_until([&] { return held->load(); }));
  EXPECT_EQ(pool.get_state(), ThreadPool::kStarting);
  EXPECT_FALSE(pool.start());
  EXPECT_FALSE(pool.stop());
  EXPECT_FALSE(pool.post([] {}));
  EXPECT_FALSE(pool.pause());
  creation->open();
  EXPECT_TRUE(started.get());
  EXPECT_TRUE(pool.stop());
  expect_stopped(pool);
}

TEST(ThreadPoolStop, StoppedPoolReportsSuccess) {
  ThreadPool never_started;
  EXPECT_TRUE(never_started.stop());
  EXPECT_TRUE(never_started.stop(1, 10));
  expect_stopped(never_started);

  ThreadPool pool;
  ASSERT_TRUE(pool.start(2, 2));
  EXPECT_TRUE(pool.stop());
  EXPECT_TRUE(pool.stop(3));
  expect_stopped(pool);
}

struct StopCase {
  int mode;
  bool waits;
  int queued_run;  // of the 20 tasks queued behind the running one
};

TEST(ThreadPoolStop, ModeDecidesWhetherQueuedTasksRunAndWhetherStopWaits) {
  const StopCase cases[] = {
      {0, true, 0}, {1, true, 20}, {2, false, 0}, {3, false, 20}, {7, true, 0}, {-1, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    ThreadPool pool;
    ASSERT_TRUE(pool.start(1, 1));
    auto gate = std::make_shared<Gate>();
    auto running_done = std::make_shared<std::atomic<bool>>(false);
    auto ran = std::make_shared<std::atomic<int>>(0);
    ASSERT_TRUE(pool.post([gate, running_done] {
      gate->wait();
      *running_done = true;
    }));
    ASSERT_TRUE(wait_until([&] { return pool.get_busy_count() == 1; }));
    // Paused, the worker holds whatever it dequeues next until stop lifts the pause, by which time
    // stop has decided the fate of the queue: the outcome does not depend on timing.
    ASSERT_TRUE(pool.pause());
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(pool.post([ran] { ++*ran; }));
    EXPECT_EQ(pool.get_queued_count(), 20);

    auto stopped = std::async(std::launch::async, [&pool, mode = c.mode] { return pool.stop(mode); });
    ASSERT_TRUE(wait_until([&] { return pool.get_state() == ThreadPool::kStopping; }));
    if (c.waits) {
      gate->open();
      EXPECT_TRUE(stopped.get());
      expect_stopped(pool);
    } else {
      ASSERT_EQ(stopped.wait_for(kBound), std::future_status::ready);
      EXPECT_TRUE(stopped.get());
      EXPECT_EQ(pool.get_state(), ThreadPool::kStopping);
      EXPECT_FALSE(running_done->load());
      gate->open();
      EXPECT_TRUE(wait_until([&] { return pool.get_state() == ThreadPool::kStopped; }));
      expect_stopped(pool);
    }
    EXPECT_TRUE(running_done->load());
    EXPECT_EQ(ran->load(), c.queued_run);
    expect_restarts(pool);
  }
}

struct LaunchCase {
  const char* name;
  int initial;
  std::function<bool(int call)> refuse;  // call 0 creates the manager
  bool started;
  int threads;
  int calls;
};

TEST(ThreadPoolStart, ThreadCreationFailures) {
  const LaunchCase cases[] = {
      {"manager refused", 3, [](int call) { return call == 0; }, false, 0, 1},
      {"every worker refused", 3, [](int call) { return call >= 1; }, false, 0, 6},
      {"two refusals, then success", 4, [](int call) { return call == 1 || call == 2; }, true, 4, 7},
      {"five refusals in a row end the creation", 10, [](int call) { return call >= 2; }, true, 1, 7},
      {"four refusals in a row do not", 3, [](int call) { return call >= 2 && call <= 5; }, true, 3,
       8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLauncher launcher(c.refuse);
    ThreadPool pool;
    pool.set_thread_launcher(launcher.launcher());
    EXPECT_EQ(pool.start(c.initial, 20), c.started);
    EXPECT_EQ(launcher.calls(), c.calls);
    if (c.started) {
      EXPECT_EQ(pool.get_state(), ThreadPool::kRunning);
      EXPECT_TRUE(wait_until([&] { return pool.get_thread_count() == c.threads; }));
      EXPECT_TRUE(pool.stop());
    }
    expect_stopped(pool);
    // Nothing of the failed or stopped start is left running, and the pool can start again.
    EXPECT_TRUE(wait_until([] { return live_pool_threads() == 0; }));
    pool.set_thread_launcher({});
    expect_restarts(pool);
  }
}

TEST(ThreadPoolManager, FiveFailedCreationsLowerTheMaximum) {
  ScriptedLauncher launcher([](int call) { return call >= 2; });  // the manager and one worker only
  auto gate = std::make_shared<Gate>();
  ThreadPool pool;
  pool.set_thread_launcher(launcher.launcher());
  ASSERT_TRUE(pool.start(1, 4));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(post_held(pool, gate));
  EXPECT_TRUE(wait_until([&] { return pool.get_max_threads() == 1; }));
  EXPECT_EQ(launcher.calls(), 2 + 5);

  // Raising the bound makes the manager try again, and give up again.
  pool.set_max_threads(3);
  EXPECT_TRUE(wait_until([&] { return launcher.calls() == 2 + 10 && pool.get_max_threads() == 1; }));
  EXPECT_EQ(pool.get_thread_count(), 1);
  gate->open();
  EXPECT_TRUE(pool.stop(1));
  expect_stopped(pool);
}

struct StackCase {
  const char* name;
  std::optional<int> start_bytes;
  std::optional<int> setter_bytes;
  std::size_t initial_worker;  // stack asked for the initial worker (0 = the platform's default)
  std::size_t added_worker;    // and for the one the manager adds after the setter
};

TEST(ThreadPoolStart, WorkerStackSizes) {
  const StackCase cases[] = {
      {"absent", {}, {}, 0, 0},
      {"zero", 0, {}, 0, 0},
      {"below the minimum gets 64 KiB", 5000, {}, 65536, 65536},
      {"negative", -1, {}, 65536, 65536},
      {"rounded down to 4096", 70000, {}, 69632, 69632},
      {"large", 204000, {}, 200704, 200704},
      {"setter rounds down to 8192", 204000, 204000, 200704, 196608},
      {"setter zero restores the default", 204000, 0, 200704, 0},
      {"setter below the minimum", 0, 5000, 0, 65536},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedLauncher launcher;
    auto gate = std::make_shared<Gate>();
    ThreadPool pool;
    pool.set_thread_launcher(launcher.launcher());
    ASSERT_TRUE(pool.start(1, 2, {}, false, c.start_bytes));
    if (c.setter_bytes) pool.set_stack_size(*c.setter_bytes);
    ASSERT_TRUE(post_held(pool, gate));
    ASSERT_TRUE(post_held(pool, gate));
    EXPECT_TRUE(wait_until([&] { return pool.get_busy_count() == 2; }));
    const std::vector<std::size_t> expected = {0, c.initial_worker, c.added_worker};
    EXPECT_EQ(launcher.stacks(), expected);  // the manager keeps the platform's default
    gate->open();
    EXPECT_TRUE(pool.stop());
  }
}

struct DestroyCase {
  const char* name;
  std::function<void(ThreadPool&, const std::shared_ptr<Gate>&)> setup;
};

// The destructor does not wait; the threads still ending afterwards must only touch state they own.
// Under AddressSanitizer a use of the freed pool fails the run.
TEST(ThreadPoolDestructor, ReturnsAtOnceAndEndingThreadsTouchNoFreedMemory) {
  auto ran = std::make_shared<std::atomic<int>>(0);
  const DestroyCase cases[] = {
      {"never started", [](ThreadPool&, const std::shared_ptr<Gate>&) {}},
      {"stopped",
       [](ThreadPool& pool, const std::shared_ptr<Gate>&) {
         ASSERT_TRUE(pool.start(2, 2));
         ASSERT_TRUE(pool.stop());
       }},
      {"idle", [](ThreadPool& pool, const std::shared_ptr<Gate>&) { ASSERT_TRUE(pool.start(3, 3)); }},
      {"task running",
       [](ThreadPool& pool, const std::shared_ptr<Gate>& gate) {
         ASSERT_TRUE(pool.start(2, 2));
         ASSERT_TRUE(post_held(pool, gate));
         ASSERT_TRUE(wait_until([&] { return pool.get_busy_count() == 1; }));
       }},
      {"added workers running",
       [](ThreadPool& pool, const std::shared_ptr<Gate>& gate) {
         ASSERT_TRUE(pool.start(1, 4, 100));
         for (int i = 0; i < 4; ++i) ASSERT_TRUE(post_held(pool, gate));
         ASSERT_TRUE(wait_until([&] { return pool.get_busy_count() == 4; }));
       }},
      {"paused with tasks queued",
       [ran](ThreadPool& pool, const std::shared_ptr<Gate>&) {
         ASSERT_TRUE(pool.start(2, 2));
         ASSERT_TRUE(pool.pause());
         for (int i = 0; i < 5; ++i) ASSERT_TRUE(pool.post([ran] { ++*ran; }));
       }},
      {"stop timed out",
       [](ThreadPool& pool, const std::shared_ptr<Gate>& gate) {
         ASSERT_TRUE(pool.start(1, 1));
         ASSERT_TRUE(post_held(pool, gate));
         ASSERT_TRUE(wait_until([&] { return pool.get_busy_count() == 1; }));
         ASSERT_FALSE(pool.stop(1, 30));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(wait_until([] { return live_pool_threads() == 0; }));
    auto gate = std::make_shared<Gate>();
    auto pool = std::make_unique<ThreadPool>();
    c.setup(*pool, gate);
    auto destroyed = std::async(std::launch::async, [&pool] { pool.reset(); });
    EXPECT_EQ(destroyed.wait_for(kBound), std::future_status::ready);
    gate->open();
    destroyed.get();
    EXPECT_TRUE(wait_until([] { return live_pool_threads() == 0; }));
  }
  // Destruction stops as mode 2 does: the paused pool's queued tasks were dropped.
  EXPECT_EQ(ran->load(), 0);
}

}  // namespace
}  // namespace kestrano
