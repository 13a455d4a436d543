#include "collect/row_writer.h"

#include <chrono>

namespace kestrano {
namespace {

// About fifty pages: enough to ride out the longest repaint, few enough that a stopped collection
// does not go on filling the list for long.
constexpr std::size_t kMaxQueuedRows = 1000;
// Ten pages: a wake-up of the writer and of the window thread per page would cost more than the rows.
constexpr std::size_t kHandOverRows = 200;
// Rows that piled up below a batch wait at most this long.
constexpr std::chrono::milliseconds kLookInterval{10};

}  // namespace

RowWriter::RowWriter(WindowPort& window) : window_(window), thread_([this] { run(); }) {}

RowWriter::~RowWriter() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void RowWriter::write(std::vector<std::vector<Text>> rows) {
  if (rows.empty()) return;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queued_.size() < kMaxQueuedRows; });
    for (auto& row : rows) queued_.push_back(std::move(row));
    if (queued_.size() < kHandOverRows) return;
  }
  changed_.notify_all();
}

void RowWriter::flush() {
  std::unique_lock lock(mutex_);
  ++flushing_;
  changed_.notify_all();
  changed_.wait(lock, [this] { return queued_.empty() && !writing_; });
  --flushing_;
}

void RowWriter::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait_for(lock, kLookInterval, [this] {
      return quit_ || (!queued_.empty() && (flushing_ > 0 || queued_.size() >= kHandOverRows));
    });
    if (queued_.empty()) {
      if (quit_) return;  // with everything written
      continue;
    }
    std::vector<std::vector<Text>> rows = std::move(queued_);
    queued_.clear();
    writing_ = true;
    lock.unlock();
    changed_.notify_all();  // room in the queue again
    window_.append_filled_rows(rows, true);
    lock.lock();
    writing_ = false;
    changed_.notify_all();
  }
}

}  // namespace kestrano
