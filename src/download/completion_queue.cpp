#include "download/completion_queue.h"

#include <chrono>
#include <utility>

namespace kestrano {

bool CompletionQueue::post(CompletionPacket packet) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    packets_.push_back(std::move(packet));
  }
  arrived_.notify_one();
  return true;
}

std::optional<CompletionPacket> CompletionQueue::dequeue(int timeout_ms) {
  std::unique_lock lock(mutex_);
  const auto ready = [this] { return closed_ || !packets_.empty(); };
  if (timeout_ms < 0) {
    arrived_.wait(lock, ready);
  } else if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
    return std::nullopt;
  }
  if (closed_) return std::nullopt;
  CompletionPacket packet = std::move(packets_.front());
  packets_.pop_front();
  return packet;
}

void CompletionQueue::close() {
  std::deque<CompletionPacket> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(packets_);
  }
  arrived_.notify_all();
  // `dropped` goes out of scope here, outside the lock: a task's captured data may do anything in its
  // destructor, including posting somewhere.
}

}  // namespace kestrano
