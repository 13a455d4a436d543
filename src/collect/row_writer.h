#pragma once
// The rows of a collection reach the window from a thread of their own. The window may be busy for
// milliseconds (painting the list), and a collector that waited for it page after page would leave
// the next page unread meanwhile; the writer waits instead, and hands over everything that piled up
// in one call when the window is free again. It does not wake for every page either: rows are handed
// over once a batch has piled up, when someone waits for them, or after a short interval.

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/window_port.h"

namespace kestrano {

class RowWriter {
 public:
  // Rows go to `window` (appended, numbered, the last scrolled to) in the order they are written.
  explicit RowWriter(WindowPort& window);
  // Writes whatever is still queued, then ends.
  ~RowWriter();
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  // Queues rows for the window; waits only while a great many are already queued.
  void write(std::vector<std::vector<Text>> rows);
  // Returns once every row written so far is in the window (or the window is closing).
  void flush();

 private:
  void run();

  WindowPort& window_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<Text>> queued_;
  bool writing_ = false;  // the writer holds rows it has taken from the queue
  int flushing_ = 0;      // callers of flush waiting for the queue to empty
  bool quit_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

}  // namespace kestrano
