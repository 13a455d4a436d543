// The pool's building blocks: the two event kinds, the completion queue and thread creation.

#include <gtest/gtest.h>

#include <future>
#include <memory>

#include "download/completion_queue.h"
#include "download/sync_event.h"
#include "download/thread_launch.h"
#include "pool_test_support.h"

#if defined(__linux__)
#include <pthread.h>
#endif

namespace kestrano {
namespace {

using namespace pool_test;

TEST(AutoResetEvent, SignalsCollapseAndEachIsTakenOnce) {
  AutoResetEvent event;
  EXPECT_FALSE(event.wait(0));
  event.set();
  event.set();
  EXPECT_TRUE(event.wait(0));
  EXPECT_FALSE(event.wait(0));
}

TEST(AutoResetEvent, OneSetReleasesOneWaiter) {
  AutoResetEvent event;
  std::atomic<int> released{0};
  auto waiter = [&] {
    if (event.wait(10000)) ++released;
  };
  std::thread first(waiter);
  std::thread second(waiter);
  event.set();
  EXPECT_TRUE(wait_until([&] { return released == 1; }));
  EXPECT_FALSE(event.wait(50));  // the signal went to one waiter, not to three
  EXPECT_EQ(released.load(), 1);
  event.set();
  first.join();
  second.join();
  EXPECT_EQ(released.load(), 2);
}

TEST(ManualResetEvent, StaysOpenUntilReset) {
  ManualResetEvent event(true);
  EXPECT_TRUE(event.wait(0));
  EXPECT_TRUE(event.wait(0));
  event.reset();
  const auto began = Clock::now();
  EXPECT_FALSE(event.wait(30));
  EXPECT_GE(ms_since(began), 30);
  auto waiter = std::async(std::launch::async, [&] { return event.wait(); });
  event.set();
  EXPECT_TRUE(waiter.get());
  EXPECT_TRUE(event.wait(0));
}

TEST(SyncEvent, CloseReleasesWaitersAndLaterWaitsFail) {
  AutoResetEvent automatic;
  ManualResetEvent manual(false);
  auto automatic_waiter = std::async(std::launch::async, [&] { return automatic.wait(); });
  auto manual_waiter = std::async(std::launch::async, [&] { return manual.wait(); });
  automatic.close();
  manual.close();
  EXPECT_FALSE(automatic_waiter.get());
  EXPECT_FALSE(manual_waiter.get());
  manual.set();
  EXPECT_FALSE(manual.wait());
  EXPECT_TRUE(manual.closed());
}

TEST(CompletionQueue, PacketsLeaveInPostOrder) {
  CompletionQueue queue;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(queue.post({i, -i, static_cast<std::uintptr_t>(i + 10), {}}));
  for (int i = 0; i < 5; ++i) {
    const auto packet = queue.dequeue(0);
    ASSERT_TRUE(packet.has_value());
    EXPECT_EQ(packet->byte_count, i);
    EXPECT_EQ(packet->key, -i);
    EXPECT_EQ(packet->overlapped, static_cast<std::uintptr_t>(i + 10));
  }
  const auto began = Clock::now();
  EXPECT_FALSE(queue.dequeue(30).has_value());
  EXPECT_GE(ms_since(began), 30);
}

TEST(CompletionQueue, BlockedDequeueGetsALaterPost) {
  CompletionQueue queue;
  auto taken = std::async(std::launch::async, [&] { return queue.dequeue(); });
  ASSERT_TRUE(queue.post({7, 8, 9, {}}));
  const auto packet = taken.get();
  ASSERT_TRUE(packet.has_value());
  EXPECT_EQ(packet->byte_count, 7);
}

TEST(CompletionQueue, CloseDropsPacketsRefusesPostsAndReleasesWaiters) {
  auto data = std::make_shared<int>(1);
  {
    CompletionQueue queue;
    ASSERT_TRUE(queue.post({0, 0, 0, [data] {}}));
    EXPECT_EQ(data.use_count(), 2);
    queue.close();
    EXPECT_EQ(data.use_count(), 1);  // the dropped task's data is released at once
    EXPECT_FALSE(queue.post({0, 0, 0, [data] {}}));
    EXPECT_FALSE(queue.dequeue(0).has_value());
  }
  CompletionQueue queue;
  auto waiter = std::async(std::launch::async, [&] { return queue.dequeue(); });
  queue.close();
  EXPECT_FALSE(waiter.get().has_value());
}

#if defined(__linux__) && !defined(__SANITIZE_THREAD__)
// ThreadSanitizer raises small stacks to its own minimum, so the sizes are only visible without it.
std::size_t stack_of_thread_launched_with(std::size_t stack_bytes) {
  auto seen = std::make_shared<std::promise<std::size_t>>();
  auto result = seen->get_future();
  EXPECT_TRUE(launch_thread(
      [seen] {
        pthread_attr_t attributes;
        std::size_t size = 0;
        if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
          pthread_attr_getstacksize(&attributes, &size);
          pthread_attr_destroy(&attributes);
        }
        seen->set_value(size);
      },
      stack_bytes));
  return result.wait_for(kBound) == std::future_status::ready ? result.get() : 0;
}

TEST(LaunchThread, GivesTheThreadTheStackAskedFor) {
  EXPECT_EQ(stack_of_thread_launched_with(65536), 65536u);
  EXPECT_EQ(stack_of_thread_launched_with(200704), 200704u);
  pthread_attr_t defaults;
  std::size_t default_size = 0;
  ASSERT_EQ(pthread_getattr_default_np(&defaults), 0);
  pthread_attr_getstacksize(&defaults, &default_size);
  pthread_attr_destroy(&defaults);
  EXPECT_EQ(stack_of_thread_launched_with(0), default_size);
}
#endif

TEST(LaunchThread, RunsTheBodyOnAnotherThread) {
  auto where = std::make_shared<std::promise<std::thread::id>>();
  auto result = where->get_future();
  ASSERT_TRUE(launch_thread([where] { where->set_value(std::this_thread::get_id()); }, 0));
  ASSERT_EQ(result.wait_for(kBound), std::future_status::ready);
  EXPECT_NE(result.get(), std::this_thread::get_id());
}

}  // namespace
}  // namespace kestrano
