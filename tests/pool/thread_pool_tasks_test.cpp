// Posting and running tasks: arguments, counters, pause, growth and shrinking, waits and pumping.

#include <gtest/gtest.h>

#include <ctime>
#include <deque>
#include <future>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "download/thread_pool.h"
#include "pool_test_support.h"

namespace kestrano {
namespace {

using namespace pool_test;

bool post_held(ThreadPool& pool, const std::shared_ptr<Gate>& gate) {
  return pool.post([gate] { gate->wait(); });
}

// What the plain routines below received, in the order they ran.
std::mutex g_record_mutex;
std::vector<std::pair<std::int32_t, std::int32_t>> g_record;

void record_arguments(std::int32_t arg1, std::int32_t arg2) {
  std::lock_guard lock(g_record_mutex);
  g_record.emplace_back(arg1, arg2);
}

std::vector<std::pair<std::int32_t, std::int32_t>> take_record() {
  std::lock_guard lock(g_record_mutex);
  return std::exchange(g_record, {});
}

TEST(ThreadPoolPost, RefusedWhenStoppedOrWithoutRoutine) {
  ThreadPool pool;
  EXPECT_FALSE(pool.post(&record_arguments, 1, 2));
  EXPECT_FALSE(pool.post([] {}));
  EXPECT_FALSE(pool.post_address(reinterpret_cast<std::uintptr_t>(&record_arguments)));
  EXPECT_EQ(pool.get_queued_count(), 0);

  ASSERT_TRUE(pool.start(1, 1));
  EXPECT_FALSE(pool.post(static_cast<ThreadPool::Routine>(nullptr)));
  EXPECT_FALSE(pool.post(std::function<void()>()));
  EXPECT_FALSE(pool.post_address(0, 1, 2));
  // The quit marker's address would end a worker instead of running a task.
  EXPECT_FALSE(pool.post_address(static_cast<std::uintptr_t>(-2)));
  EXPECT_EQ(pool.get_queued_count(), 0);
  EXPECT_EQ(pool.get_thread_count(), 1);
  EXPECT_TRUE(pool.is_idle());
  EXPECT_TRUE(pool.stop());
  EXPECT_TRUE(take_record().empty());
}

TEST(ThreadPoolPost, RoutinesGetTheirArgumentsAndTasksRunInPostOrder) {
  take_record();
  ThreadPool pool;
  ASSERT_TRUE(pool.start(1, 1));
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  ASSERT_TRUE(pool.pause());  // so that all five are queued before the one worker takes any
  ASSERT_TRUE(pool.post(&record_arguments, 7, -3));
  ASSERT_TRUE(pool.post(&record_arguments));
  ASSERT_TRUE(pool.post_address(reinterpret_cast<std::uintptr_t>(&record_arguments), -1, kMax));
  ASSERT_TRUE(pool.post([] { record_arguments(100, 200); }));
  ASSERT_TRUE(pool.post(&record_arguments, kMin, 5));
  // Routine and callable tasks share one queue and one set of counters.
  EXPECT_EQ(pool.get_queued_count(), 5);
  EXPECT_EQ(pool.get_busy_count(), 0);
  EXPECT_FALSE(pool.is_idle());
  ASSERT_TRUE(pool.resume());
  EXPECT_TRUE(pool.stop(1));
  const std::vector<std::pair<std::int32_t, std::int32_t>> expected = {
      {7, -3}, {0, 0}, {-1, kMax}, {100, 200}, {kMin, 5}};
  EXPECT_EQ(take_record(), expected);
}

TEST(ThreadPoolPost, ThrowingTaskCountsAsFinished) {
  ThreadPool pool;
  ASSERT_TRUE(pool.start(1, 1));
  auto ran = std::make_shared<std::atomic<bool>>(false);
  ASSERT_TRUE(pool.post([] { throw std::runtime_error("task failed"); }));
  ASSERT_TRUE(pool.post([ran] { *ran = true; }));
  EXPECT_TRUE(wait_until([&] { return ran->load() && pool.is_idle(); }));
  EXPECT_EQ(pool.get_thread_count(), 1);
  EXPECT_TRUE(pool.stop());
}

TEST(ThreadPoolPause, HeldTasksDoNotRunUntilResumed) {
  ThreadPool pool;
  EXPECT_FALSE(pool.pause());
  EXPECT_FALSE(pool.resume());
  EXPECT_FALSE(pool.wait_resumed(0));

  ASSERT_TRUE(pool.start(2, 2));
  EXPECT_TRUE(pool.wait_resumed(0));
  ASSERT_TRUE(pool.pause());
  auto ran = std::make_shared<std::atomic<int>>(0);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(pool.post([ran] { ++*ran; }));
  EXPECT_FALSE(pool.wait_resumed(50));
  // Nothing can finish while paused, though both workers may hold a task they dequeued.
  EXPECT_FALSE(pool.wait_task_done(200));
  EXPECT_EQ(ran->load(), 0);
  EXPECT_EQ(pool.get_busy_count(), 0);
  EXPECT_EQ(pool.get_queued_count(), 3);
  EXPECT_EQ(pool.get_thread_count(), 2);
  EXPECT_FALSE(pool.is_idle());

  ASSERT_TRUE(pool.resume());
  EXPECT_TRUE(pool.wait_resumed());
  EXPECT_TRUE(wait_until([&] { return ran->load() == 3 && pool.is_idle(); }));
  EXPECT_TRUE(pool.stop());
}

struct GrowthCase {
  const char* name;
  int initial;
  int max;
  int idle_ms;
  std::optional<int> idle_setter;
  int tasks;
  int peak;           // threads (and running tasks) while the tasks are held
  int min_shrink_ms;  // added workers cannot end sooner after the tasks are let go
};

TEST(ThreadPoolManager, GrowsWithTheWorkAndShrinksAfterTheIdleTimeout) {
  const GrowthCase cases[] = {
      {"1/6/200 with 10 tasks", 1, 6, 200, {}, 10, 6, 200},
      {"1/6/200 with 3 tasks", 1, 6, 200, {}, 3, 3, 200},
      {"idle timeout 50 becomes 100", 1, 2, 50, {}, 2, 2, 100},
      {"setter's idle timeout, at least 100", 1, 3, 10000, 20, 3, 3, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ThreadPool pool;
    ASSERT_TRUE(pool.start(c.initial, c.max, c.idle_ms));
    if (c.idle_setter) pool.set_idle_timeout(*c.idle_setter);
    auto gate = std::make_shared<Gate>();
    for (int i = 0; i < c.tasks; ++i) ASSERT_TRUE(post_held(pool, gate));
    int most_threads = 0;
    EXPECT_TRUE(wait_until([&] {
      most_threads = std::max(most_threads, pool.get_thread_count());
      return pool.get_busy_count() == c.peak;
    }));
    EXPECT_EQ(pool.get_thread_count(), c.peak);
    EXPECT_EQ(pool.get_queued_count(), c.tasks - c.peak);
    EXPECT_EQ(pool.get_idle_thread_count(), 0);

    const auto let_go = Clock::now();
    gate->open();
    EXPECT_TRUE(wait_until([&] {
      most_threads = std::max(most_threads, pool.get_thread_count());
      return pool.is_idle() && pool.get_thread_count() == c.initial;
    }));
    EXPECT_GE(ms_since(let_go), c.min_shrink_ms);
    EXPECT_LE(most_threads, c.peak);
    // Initial workers never time out: only added ones left.
    EXPECT_EQ(pool.get_idle_thread_count(), c.initial);
    EXPECT_TRUE(pool.stop());
  }
}

TEST(ThreadPoolManager, RaisingTheMaximumWakesTheManager) {
  ThreadPool pool;
  pool.set_max_threads(9);  // not running: ignored
  EXPECT_EQ(pool.get_max_threads(), 0);

  ASSERT_TRUE(pool.start(1, 1));
  auto gate = std::make_shared<Gate>();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(post_held(pool, gate));
  ASSERT_TRUE(wait_until([&] { return pool.get_busy_count() == 1; }));
  EXPECT_FALSE(pool.wait_task_done(100));
  EXPECT_EQ(pool.get_thread_count(), 1);

  pool.set_max_threads(3);
  EXPECT_EQ(pool.get_max_threads(), 3);
  EXPECT_TRUE(wait_until([&] { return pool.get_busy_count() == 3; }));
  EXPECT_EQ(pool.get_thread_count(), 3);
  pool.set_max_threads(0);
  EXPECT_EQ(pool.get_max_threads(), 1);
  gate->open();
  EXPECT_TRUE(pool.stop());
  pool.set_max_threads(9);
  EXPECT_EQ(pool.get_max_threads(), 1);
}

TEST(ThreadPoolWait, TaskDoneSignalsCollapse) {
  ThreadPool pool;
  EXPECT_FALSE(pool.wait_task_done(0));
  ASSERT_TRUE(pool.start(1, 1));
  auto ran = std::make_shared<std::atomic<int>>(0);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(pool.post([ran] { ++*ran; }));
  // Once the one worker runs a held task, it has signalled all three before.
  auto gate = std::make_shared<Gate>();
  auto holding = std::make_shared<std::atomic<bool>>(false);
  ASSERT_TRUE(pool.post([gate, holding] {
    *holding = true;
    gate->wait();
  }));
  ASSERT_TRUE(wait_until([&] { return holding->load(); }));
  EXPECT_EQ(ran->load(), 3);
  EXPECT_TRUE(pool.wait_task_done(0));
  EXPECT_FALSE(pool.wait_task_done(100));
  gate->open();
  EXPECT_TRUE(pool.wait_task_done());
  EXPECT_TRUE(pool.stop());
}

// Stands in for the user-interface thread: tasks hand it a call and wait until it has run, as the
// window bridge does; the pump hook runs what is pending.
class FakeUiThread {
 public:
  explicit FakeUiThread(std::chrono::milliseconds patience = kBound) : patience_(patience) {}

  // False when the call was not run within the patience.
  bool invoke(std::function<void()> call) {
    auto done = std::make_shared<Gate>();
    {
      std::lock_guard lock(mutex_);
      pending_.push_back([call = std::move(call), done] {
        call();
        done->open();
      });
    }
    return done->wait(patience_);
  }
  void process_pending() {
    ++pumps_;
    std::deque<std::function<void()>> calls;
    {
      std::lock_guard lock(mutex_);
      calls.swap(pending_);
    }
    for (auto& call : calls) call();
  }
  int pumps() const { return pumps_; }

 private:
  const std::chrono::milliseconds patience_;
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;
  std::atomic<int> pumps_{0};
};

TEST(ThreadPoolPump, PumpedStopLetsTasksThatNeedTheUiThreadFinish) {
  for (const bool pump : {true, false}) {
    SCOPED_TRACE(pump ? "pumped" : "not pumped");
    // Unpumped, the tasks wait in vain; they give up soon so that the pool can end.
    auto ui = std::make_shared<FakeUiThread>(pump ? kBound : 300ms);
    auto reached = std::make_shared<std::atomic<int>>(0);
    ThreadPool pool;
    pool.set_message_pump([ui] { ui->process_pending(); });
    ASSERT_TRUE(pool.start(2, 2, {}, pump));
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(pool.post([ui, reached] { ui->invoke([reached] { ++*reached; }); }));
    }
    EXPECT_EQ(pool.stop(1, pump ? 10000 : 200, pump), pump);
    if (pump) {
      EXPECT_EQ(reached->load(), 3);
      EXPECT_GT(ui->pumps(), 0);
    } else {
      EXPECT_EQ(ui->pumps(), 0);
      // The tasks give up waiting for the window and the pool ends by itself.
      EXPECT_TRUE(wait_until([&] { return pool.get_state() == ThreadPool::kStopped; }));
      EXPECT_EQ(reached->load(), 0);
    }
  }
}

TEST(ThreadPoolPump, PumpedWaitForATask) {
  auto ui = std::make_shared<FakeUiThread>();
  ThreadPool pool;
  pool.set_message_pump([ui] { ui->process_pending(); });
  ASSERT_TRUE(pool.start(1, 1));
  EXPECT_EQ(ui->pumps(), 0);
  auto reached = std::make_shared<std::atomic<bool>>(false);
  ASSERT_TRUE(pool.post([ui, reached] { ui->invoke([reached] { *reached = true; }); }));
  EXPECT_TRUE(pool.wait_task_done(5000, true));
  EXPECT_TRUE(reached->load());

  // Nothing to finish: false once the time is over, pumping all along.
  const int pumps_before = ui->pumps();
  const auto began = Clock::now();
  EXPECT_FALSE(pool.wait_task_done(50, true));
  EXPECT_GE(ms_since(began), 50);
  EXPECT_GE(ui->pumps() - pumps_before, 2);
  EXPECT_TRUE(pool.stop());
}

TEST(ThreadPoolPump, SignalDuringTheLastSliceCountsAfterTheTimeRanOut) {
  ThreadPool pool;
  ASSERT_TRUE(pool.start(1, 1));
  auto gate = std::make_shared<Gate>();
  ASSERT_TRUE(post_held(pool, gate));
  ASSERT_TRUE(wait_until([&] { return pool.get_busy_count() == 1; }));
  const auto began = Clock::now();
  constexpr int kTimeoutMs = 5;
  // The task finishes while the wait is pumping, after the time is up: the next slice receives the
  // signal.
  pool.set_message_pump([&] {
    gate->open();
    wait_until([&] { return pool.is_idle() && ms_since(began) > kTimeoutMs; });
  });
  EXPECT_TRUE(pool.wait_task_done(kTimeoutMs, true));
  EXPECT_GT(ms_since(began), kTimeoutMs);
  pool.set_message_pump({});
  EXPECT_TRUE(pool.stop());
}

TEST(ThreadPoolPump, OnlyPumpedCallsRunTheHook) {
  auto pumps = std::make_shared<std::atomic<int>>(0);
  ThreadPool pool;
  pool.set_message_pump([pumps] { ++*pumps; });
  ASSERT_TRUE(pool.start(2, 2));
  EXPECT_TRUE(pool.stop());
  EXPECT_EQ(pumps->load(), 0);
  ASSERT_TRUE(pool.start(2, 2, {}, true));
  EXPECT_GE(pumps->load(), 2);  // after each worker created
  const int after_start = pumps->load();
  EXPECT_TRUE(pool.stop(0, 0, true));
  EXPECT_GT(pumps->load(), after_start);
}

// is_idle must never report idle while a posted task has not returned: not between post and dequeue,
// not between dequeue and call.
TEST(ThreadPoolIdle, NeverIdleWhileATaskIsOutstanding) {
  constexpr int kTasks = 3000;
  ThreadPool pool;
  ASSERT_TRUE(pool.start(4, 4));
  std::atomic<int> posted{0};
  std::atomic<bool> posting_done{false};
  auto finished = std::make_shared<std::atomic<int>>(0);
  std::atomic<int> wrong{0};
  std::thread watcher([&] {
    while (!posting_done || finished->load() < posted.load()) {
      const int before = posted.load();
      const bool idle = pool.is_idle();
      if (idle && finished->load() < before) ++wrong;
    }
  });
  for (int i = 0; i < kTasks; ++i) {
    if (!pool.post([finished] { ++*finished; })) {
      ADD_FAILURE() << "post " << i << " refused";
      break;
    }
    ++posted;
  }
  posting_done = true;
  watcher.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_TRUE(wait_until([&] { return pool.is_idle(); }));
  EXPECT_TRUE(pool.stop());
}

TEST(ThreadPoolConcurrency, EveryAcceptedPostRunsWhenStoppingInMode1) {
  ThreadPool pool;
  ASSERT_TRUE(pool.start(2, 6, 100));
  auto ran = std::make_shared<std::atomic<int>>(0);
  std::atomic<int> accepted{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([&] {
      for (int i = 0; i < 400; ++i) {
        if (pool.post([ran] { ++*ran; })) ++accepted;
      }
    });
  }
  // The stop races the posters: posts that got in before it must all run, later ones are refused.
  EXPECT_TRUE(wait_until([&] { return accepted >= 200; }));
  EXPECT_TRUE(pool.stop(1, 0));
  for (auto& poster : posters) poster.join();
  EXPECT_EQ(ran->load(), accepted.load());
  EXPECT_EQ(pool.get_state(), ThreadPool::kStopped);
  EXPECT_EQ(pool.get_queued_count(), 0);
  EXPECT_FALSE(pool.post([] {}));
}

TEST(ThreadPoolConcurrency, DiscardingStopDuringPostsLeavesAConsistentPool) {
  ThreadPool pool;
  ASSERT_TRUE(pool.start(3, 6, 100));
  auto ran = std::make_shared<std::atomic<int>>(0);
  std::atomic<int> accepted{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < 3; ++t) {
    posters.emplace_back([&] {
      for (int i = 0; i < 400; ++i) {
        if (pool.post([ran] { ++*ran; })) ++accepted;
      }
    });
  }
  std::thread pauser([&] {
    for (int i = 0; i < 50; ++i) {
      pool.pause();
      pool.resume();
    }
  });
  EXPECT_TRUE(wait_until([&] { return accepted >= 200; }));
  EXPECT_TRUE(pool.stop(0, 0));
  for (auto& poster : posters) poster.join();
  pauser.join();
  EXPECT_LE(ran->load(), accepted.load());
  EXPECT_EQ(pool.get_state(), ThreadPool::kStopped);
  EXPECT_EQ(pool.get_thread_count(), 0);
  EXPECT_EQ(pool.get_queued_count(), 0);
  EXPECT_EQ(pool.get_busy_count(), 0);
  ASSERT_TRUE(pool.start(1, 1));
  EXPECT_TRUE(pool.post([] {}));
  EXPECT_TRUE(pool.stop(1));
}

TEST(ThreadPoolIdle, IdleWorkersUseNoProcessorTime) {
  ThreadPool pool;
  ASSERT_TRUE(pool.start(6, 6, 100));
  timespec before{};
  timespec after{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
  EXPECT_FALSE(pool.wait_task_done(300));  // nothing posted: the whole process should rest
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
  const double used_ms =
      (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
  EXPECT_LT(used_ms, 100.0);
  EXPECT_TRUE(pool.stop());
}

}  // namespace
}  // namespace kestrano
