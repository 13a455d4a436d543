// The collector's rows reach the window through a writer thread: in order, none lost or doubled, the
// collector not held up while the window is busy, and flush and destruction leave every row in.
#include "collect/row_writer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "support/memory_window.h"

using namespace kestrano;
using kestrano::testing::MemoryWindow;

namespace {

// A window that can be held busy, as the real one is while it paints, and that counts the calls that
// reach it.
class BusyWindow : public MemoryWindow {
 public:
  int append_filled_rows(const std::vector<std::vector<Text>>& rows, bool scroll) override {
    {
      std::unique_lock lock(mutex_);
      ++calls_;
      changed_.notify_all();
      changed_.wait(lock, [this] { return !busy_; });
    }
    return MemoryWindow::append_filled_rows(rows, scroll);
  }
  void hold() {
    std::lock_guard lock(mutex_);
    busy_ = true;
  }
  void release() {
    {
      std::lock_guard lock(mutex_);
      busy_ = false;
    }
    changed_.notify_all();
  }
  bool wait_for_calls(int n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return calls_ >= n; });
  }
  int calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool busy_ = false;
  int calls_ = 0;
};

std::vector<std::vector<Text>> page(std::initializer_list<const char*> titles) {
  std::vector<std::vector<Text>> rows;
  for (const char* t : titles) rows.push_back({Text(), t, "2020-01-01", "15", "YQ=="});
  return rows;
}

std::vector<std::string> titles(MemoryWindow& window) {
  std::vector<std::string> out;
  for (const auto& row : window.rows()) out.push_back(row.cells[col_title] + "#" + row.cells[col_order]);
  return out;
}

}  // namespace

TEST(RowWriter, KeepsOrderAndHandsOverWhatPiledUpWhileTheWindowWasBusy) {
  BusyWindow window;
  window.hold();
  RowWriter writer(window);
  writer.write(page({"a", "b"}));
  ASSERT_TRUE(window.wait_for_calls(1));  // the writer now waits in the busy window
  writer.write(page({"c"}));              // returns all the same
  writer.write(page({"d", "e"}));
  window.release();
  writer.flush();
  EXPECT_EQ(titles(window), (std::vector<std::string>{"a#1", "b#2", "c#3", "d#4", "e#5"}));
  EXPECT_EQ(window.calls(), 2);  // c, d and e in one call
}

TEST(RowWriter, DestructionWritesWhatIsStillQueued) {
  BusyWindow window;
  window.hold();
  {
    RowWriter writer(window);
    writer.write(page({"a"}));
    ASSERT_TRUE(window.wait_for_calls(1));
    writer.write(page({"b", "c"}));
    window.release();
  }
  EXPECT_EQ(titles(window), (std::vector<std::string>{"a#1", "b#2", "c#3"}));
}
