// Clicks and table changes racing running work: rows deleted, the table cleared and a new collection
// started while downloads run, and the extract button clicked 400 times in a row. Nothing may crash,
// at most one collector may live at a time, and no file under a final name may be incomplete.
#include <future>
#include <map>

#include "collector_harness.h"
#include "video_content.h"

namespace kestrano::faults {
namespace {

// A page of ten videos with ids unique to the request, and a token leading on: a collection that runs
// until it is stopped.
PageAnswer endless_page(int n) {
  std::string list;
  for (int k = 0; k < 10; ++k) {
    const std::string id = std::to_string(1000000 + n * 10 + k);
    if (!list.empty()) list += ",";
    list += R"({"title":"t)" + id + R"(","videoInfo":{"publish_time":"2024","duration":10,"vid":")" + id +
            R"(","multiClarity":[{"videoPlayUrl":"http://127.0.0.1:1/)" + id + R"(.mp4"}]}})";
  }
  return {to_bytes(R"({"workspage":{"data":{"worksList":[)" + list + R"(],"ext":"{\"pn\":)" + std::to_string(n + 1) +
                   R"(}"}}})"),
          200};
}

class StartStop : public CollectorFixture {
 protected:
  void SetUp() override {
    CollectorFixture::SetUp();
    collector = std::make_unique<WorksCollector>(window, fetchers.factory());
  }
  void click_many(int clicks) {
    for (int i = 0; i < clicks; ++i) {
      click();
      EXPECT_LE(fetchers.fetchers_alive(), 1) << i;
    }
  }
  ScriptedFetchers fetchers;
};

TEST_F(StartStop, FourHundredClicksWhilePagesArrive) {
  fetchers.answer = endless_page;
  click_many(400);  // an even count: the last click stops
  ASSERT_TRUE(ended());
  EXPECT_LE(fetchers.max_fetchers_alive(), 1);
  EXPECT_LE(fetchers.max_concurrent(), 1);
  EXPECT_GT(fetchers.fetches(), 0);
  EXPECT_TRUE(window.messages().empty());  // a stop is not a failure
  // A last collection still works, and its rows are its own.
  click();
  ASSERT_TRUE(window.wait_until([](MemoryWindow& w) { return w.row_count() >= 30; }, 10s));
  click();
  ASSERT_TRUE(ended());
  EXPECT_EQ(window.cell(0, col_title), "t1000000");
}

TEST_F(StartStop, FourHundredClicksWhileRequestsHang) {
  fetchers.hang = true;
  click_many(400);
  ASSERT_TRUE(ended());
  EXPECT_LE(fetchers.max_fetchers_alive(), 1);
  EXPECT_LE(fetchers.max_concurrent(), 1);
  EXPECT_TRUE(window.messages().empty());
  EXPECT_EQ(window.row_count(), 0);
}

// Downloads of a collected author, with the table changed under them.
class TableRaces : public CollectorFixture {
 protected:
  void SetUp() override {
    CollectorFixture::SetUp();
    ASSERT_TRUE(server.start());
    ASSERT_EQ(::setenv("KESTRANO_SERVICE_ORIGIN", server.origin().c_str(), 1), 0);
    root = scratch_folder();
    fs::remove_all(root);
    out = root / "out";
    window.set_control_text(Control::output_folder, gbk_from_utf8(out.string()));
    TransferOptions options;
    options.stall_window = 2000ms;
    options.retry_pauses = {10ms};
    jobs = std::make_unique<DownloadJobs>(window, pool, gbk_from_utf8((root / "default").string()), options);
    collector = std::make_unique<WorksCollector>(window);
  }
  void TearDown() override {
    if (jobs) {
      EXPECT_TRUE(jobs->shutdown(10s));
    }
    jobs.reset();
    pool.stop(0, 5000);
    CollectorFixture::TearDown();
    ::unsetenv("KESTRANO_SERVICE_ORIGIN");
    server.stop();
    fs::remove_all(root);
  }
  void collect(const std::string& author) {
    window.set_control_text(Control::author_link, share_link_for(author));
    click();
    ASSERT_TRUE(ended());
    ASSERT_TRUE(window.messages().empty());
  }
  // Every file under a final name holds a whole video; no temporary file is left.
  void expect_only_complete_files(std::size_t size) {
    std::map<std::string, std::string> content_of;  // video content -> id
    for (int k = 0; k < 40; ++k) {
      char id[16];
      std::snprintf(id, sizeof id, "1%09d", k);
      content_of[standin::video_bytes(id, 0, size)] = id;
    }
    for (const auto& entry : tree(root)) {
      if (entry == "out") continue;
      ASSERT_EQ(fs::path(entry).parent_path(), "out") << entry;
      EXPECT_FALSE(is_temporary_name(fs::path(entry).filename().string())) << entry;
      EXPECT_TRUE(content_of.count(read_all(root / entry))) << "incomplete or foreign: " << entry;
    }
  }
  bool any_downloading() {
    for (const auto& row : window.rows()) {
      if (row.cells[col_status] == status_downloading()) return true;
    }
    return false;
  }

  standin::StandinServer server;
  ThreadPool pool;
  std::unique_ptr<DownloadJobs> jobs;
  fs::path root, out;
};

TEST_F(TableRaces, RowsDeletedTableClearedAndANewCollectionWhileDownloadsRun) {
  collect("v12_p12_playtrickle4.size40000");  // each file takes ~160 ms
  ASSERT_EQ(window.row_count(), 12);

  auto all = std::async(std::launch::async, [this] { jobs->download_all(); });
  ASSERT_TRUE(window.wait_until([this](MemoryWindow&) { return any_downloading(); }, 10s));
  window.delete_row(5);
  window.delete_row(0);
  window.delete_row(window.row_count() - 1);
  ASSERT_TRUE(window.wait_until([this](MemoryWindow&) { return any_downloading(); }, 10s));
  window.delete_all_rows();
  // A new collection replaces the table while the last downloads still run.
  window.set_control_text(Control::author_link, share_link_for("v20_p10"));
  click();
  ASSERT_TRUE(ended());
  ASSERT_EQ(all.wait_for(30s), std::future_status::ready);
  all.get();

  // The new rows are the new collection's, untouched by the old downloads.
  ASSERT_EQ(window.row_count(), 20);
  for (const auto& row : window.rows()) EXPECT_EQ(row.cells[col_status], "") << row.cells[col_title];
  expect_only_complete_files(40000);
}

TEST_F(TableRaces, StartAndStopClicksWhileDownloadsRun) {
  collect("v12_p12_playtrickle4.size40000");
  auto all = std::async(std::launch::async, [this] { jobs->download_all(); });
  ASSERT_TRUE(window.wait_until([this](MemoryWindow&) { return any_downloading(); }, 10s));
  window.set_control_text(Control::author_link, share_link_for("v500_p5_playtrickle4.size40000"));
  for (int i = 0; i < 60; ++i) {
    click();
    EXPECT_TRUE(window.messages().empty()) << i;
  }
  ASSERT_TRUE(ended());
  ASSERT_EQ(all.wait_for(30s), std::future_status::ready);
  all.get();
  EXPECT_TRUE(window.messages().empty());
  expect_only_complete_files(40000);
}

}  // namespace
}  // namespace kestrano::faults
