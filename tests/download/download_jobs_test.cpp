// The download commands against the stand-in, with an in-memory window and the real pool: statuses,
// files identical to what was served, the six-at-once bound, names that never collide, and rows
// that are deleted while their downloads wait.
#include "download/download_jobs.h"

#include <gtest/gtest.h>

#include <fstream>

#include "download/download_globals.h"
#include "download/thread_pool.h"
#include "standin_server.h"
#include "support/memory_window.h"
#include "support/temp_folder.h"
#include "text/codepage.h"
#include "video_content.h"
#include "web/encoding.h"

using namespace kestrano;
using namespace std::chrono_literals;
using kestrano::testing::MemoryWindow;
namespace fs = std::filesystem;

using kestrano::testing::read_file;

namespace {

class Downloads : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    window.set_control_text(Control::output_folder, gbk_from_utf8(folder.string()));
    TransferOptions options;
    options.stall_window = 300ms;
    options.retry_pauses = {10ms, 10ms, 10ms};
    jobs = std::make_unique<DownloadJobs>(window, pool, gbk_from_utf8((folder / "default").string()), options);
  }
  void TearDown() override {
    jobs.reset();
    pool.stop(0, 5000);
  }

  // A row as the collector adds it: title and the Base64 play address.
  void add_row(const std::string& title_utf8, const std::string& path) {
    window.append_filled_row({Text(), gbk_from_utf8(title_utf8), "2024", "10",
                              base64_encode(to_bytes(server.origin() + path))},
                             false);
  }
  std::vector<Text> statuses() {
    std::vector<Text> out;
    for (const auto& row : window.rows()) out.push_back(row.cells[col_status]);
    return out;
  }
  bool all_ended() {
    return window.wait_until(
        [](MemoryWindow& w) {
          for (int i = 0; i < w.row_count(); ++i) {
            Text s = w.cell(i, col_status);
            if (s != status_succeeded() && s != status_failed()) return false;
          }
          return true;
        },
        20s);
  }
  std::vector<std::string> folder_entries() { return temp.entries(); }

  standin::StandinServer server;
  MemoryWindow window;
  ThreadPool pool;
  kestrano::testing::TempFolder temp{"kestrano-jobs"};
  const fs::path folder = temp.path();
  std::unique_ptr<DownloadJobs> jobs;
};

}  // namespace

TEST_F(Downloads, SelectedRowOnly) {
  add_row("第一", "/video/size1000/a.mp4");
  add_row("标题：测试？", "/video/size70000/b.mp4");
  jobs->download_selected();  // nothing selected: nothing happens
  EXPECT_EQ(statuses(), (std::vector<Text>{"", ""}));
  window.select(1);
  jobs->download_selected();
  ASSERT_TRUE(window.wait_until([](MemoryWindow& w) { return w.cell(1, col_status) == status_succeeded(); }, 20s));
  EXPECT_EQ(window.cell(0, col_status), "");
  EXPECT_EQ(folder_entries(), std::vector<std::string>{"标题测试.mp4"});  // created with the folder
  EXPECT_EQ(read_file(folder / "标题测试.mp4"), standin::video_bytes("b", 0, 70000));
}

TEST_F(Downloads, AllRowsAtMostSixAtOnceIdenticalFiles) {
  for (int i = 0; i < 10; ++i) {
    add_row("视频" + std::to_string(i), "/video/size300000.trickle1/v" + std::to_string(i) + ".mp4");
  }
  jobs->download_all();  // returns when every row has ended
  EXPECT_EQ(statuses(), std::vector<Text>(10, status_succeeded()));
  EXPECT_LE(server.max_concurrent_transfers(), 6);
  EXPECT_GE(server.max_concurrent_transfers(), 2);
  EXPECT_EQ(pool.get_state(), 0);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(read_file(folder / ("视频" + std::to_string(i) + ".mp4")),
              standin::video_bytes("v" + std::to_string(i), 0, 300000)) << i;
  }
  EXPECT_EQ(folder_entries().size(), 10u);
}

TEST_F(Downloads, FailuresAreMarkedAndLeaveNothing) {
  add_row("缺失", "/video/status404/a.mp4");
  add_row("断开", "/video/cut100.size5000/b.mp4");
  add_row("停顿", "/video/stall0/c.mp4");
  window.append_filled_row({Text(), "空地址"_t, "2024", "10", ""}, false);
  add_row("好的", "/video/size100/d.mp4");
  jobs->download_all();
  EXPECT_EQ(statuses(), (std::vector<Text>{status_failed(), status_failed(), status_failed(), status_failed(),
                                           status_succeeded()}));
  EXPECT_EQ(folder_entries(), std::vector<std::string>{"好的.mp4"});
}

TEST_F(Downloads, EqualTitlesGetTwoFilesAndADownloadAgainRewritesItsOwn) {
  add_row("同名", "/video/size1000/one.mp4");
  add_row("同名", "/video/size2000/two.mp4");
  jobs->download_all();
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"同名 (2).mp4", "同名.mp4"}));
  EXPECT_EQ(read_file(folder / "同名.mp4"), standin::video_bytes("one", 0, 1000));
  EXPECT_EQ(read_file(folder / "同名 (2).mp4"), standin::video_bytes("two", 0, 2000));
  window.select(1);
  jobs->download_selected();
  ASSERT_TRUE(window.wait_until([](MemoryWindow& w) { return w.cell(1, col_status) == status_succeeded(); }, 20s));
  jobs->download_all();
  EXPECT_EQ(folder_entries(), (std::vector<std::string>{"同名 (2).mp4", "同名.mp4"}));
  EXPECT_EQ(read_file(folder / "同名 (2).mp4"), standin::video_bytes("two", 0, 2000));
}

TEST_F(Downloads, RowsDeletedWhileQueuedAreNeitherFetchedNorMarked) {
  // The first transfer holds the only worker... the pool grows to six, so give it more rows than that,
  // slow ones first, and delete rows from the end while they wait.
  for (int i = 0; i < 12; ++i) add_row("r" + std::to_string(i), "/video/size100000.trickle5/r" + std::to_string(i) + ".mp4");
  std::atomic<bool> deleted{false};
  window.on_status_written([&](RowId, const Text& status) {
    if (status == status_downloading() && !deleted.exchange(true)) {
      // Rows 9..11 (still queued behind six running ones) go away, and row 0 moves nobody's task.
      window.delete_row(11);
      window.delete_row(10);
      window.delete_row(9);
    }
  });
  jobs->download_all();
  window.on_status_written({});
  EXPECT_EQ(statuses(), std::vector<Text>(9, status_succeeded()));
  for (const auto& r : server.requests()) {
    EXPECT_EQ(r.path.find("/r9.mp4"), std::string::npos);
    EXPECT_EQ(r.path.find("/r10.mp4"), std::string::npos);
    EXPECT_EQ(r.path.find("/r11.mp4"), std::string::npos);
  }
  EXPECT_EQ(folder_entries().size(), 9u);
}

TEST_F(Downloads, AFolderCodePage936CannotHoldFailsEveryRow) {
  add_row("a", "/video/size10/a.mp4");
  add_row("b", "/video/size10/b.mp4");
  window.set_text_unfit(Control::output_folder, true);
  jobs->download_all();
  EXPECT_EQ(statuses(), std::vector<Text>(2, status_failed()));
  EXPECT_TRUE(server.requests().empty());
}

TEST_F(Downloads, EmptyFolderBoxMeansTheDefaultFolder) {
  add_row("默认", "/video/size10/a.mp4");
  window.set_control_text(Control::output_folder, "");
  jobs->download_all();
  EXPECT_EQ(statuses(), std::vector<Text>{status_succeeded()});
  EXPECT_TRUE(fs::exists(folder / "default" / "默认.mp4"));
}

TEST_F(Downloads, ShutdownAbortsRunningTransfersAndLeavesNoPartialFile) {
  for (int i = 0; i < 8; ++i) add_row("慢" + std::to_string(i), "/video/size5000000.trickle10/s" + std::to_string(i) + ".mp4");
  std::thread closer([&] {
    window.wait_until([](MemoryWindow& w) { return w.cell(0, col_status) == status_downloading(); }, 20s);
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    window.set_closing(true);
    EXPECT_TRUE(jobs->shutdown(5s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  });
  jobs->download_all();  // returns once the window closes
  closer.join();
  EXPECT_TRUE(folder_entries().empty());
}
