#pragma once
// A first-in, first-out queue of completion packets that any number of threads post to and dequeue
// from; the pool's workers take their tasks from one.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace kestrano {

// The three values a packet carries, plus the body of a task that brings its own data.
struct CompletionPacket {
  std::int32_t byte_count = 0;
  std::int32_t key = 0;
  std::uintptr_t overlapped = 0;
  std::function<void()> callable;
};

class CompletionQueue {
 public:
  CompletionQueue() = default;
  CompletionQueue(const CompletionQueue&) = delete;
  CompletionQueue& operator=(const CompletionQueue&) = delete;

  // False once the queue is closed.
  bool post(CompletionPacket packet);
  // Takes the oldest packet. A negative timeout waits without limit. Empty on timeout or when the
  // queue is closed.
  std::optional<CompletionPacket> dequeue(int timeout_ms = -1);
  // Drops every packet still queued, refuses later posts and releases every waiting dequeue.
  void close();

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<CompletionPacket> packets_;
  bool closed_ = false;
};

}  // namespace kestrano
