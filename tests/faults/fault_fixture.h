#pragma once
// What the fault tests share: a stand-in, an in-memory window with download jobs behind it, and a
// look at everything below a scratch folder, so a file written outside the output folder is seen too.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "download/download_jobs.h"
#include "download/thread_pool.h"
#include "standin_server.h"
#include "support/memory_window.h"
#include "text/codepage.h"
#include "web/encoding.h"

namespace kestrano::faults {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using kestrano::testing::MemoryWindow;

inline std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scratch folder per test: <tmp>/kestrano-faults-<pid>-<test>/, with the output folder inside it
// at out/ (so names that climb out of it stay within the scratch folder, where they are seen).
inline fs::path scratch_folder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return fs::temp_directory_path() / ("kestrano-faults-" + std::to_string(::getpid()) + "-" + name);
}

// Every path below `root`, relative to it.
// Every entry below `root`, relative to it. Another process may be renaming files meanwhile: an entry
// that vanishes while the walk reads it is simply not listed.
inline std::vector<std::string> tree(const fs::path& root) {
  std::vector<std::string> out;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
    out.push_back(it->path().lexically_relative(root).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

inline bool is_temporary_name(const std::string& name) {
  return name.size() >= temporary_suffix_bytes && name.ends_with(".part") &&
         name.compare(name.size() - temporary_suffix_bytes, 2, ".~") == 0;
}

class JobsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    root = scratch_folder();
    fs::remove_all(root);
    fs::create_directories(root);
    out = root / "out";
    window.set_control_text(Control::output_folder, gbk_from_utf8(out.string()));
    options.stall_window = 300ms;
    options.retry_pauses = {10ms, 10ms, 10ms};
    options.connect_timeout = 2000ms;
  }
  void TearDown() override {
    if (jobs) jobs->shutdown(5s);
    jobs.reset();
    pool.stop(0, 5000);
    server.stop();
    fs::remove_all(root);
  }
  void make_jobs() { jobs = std::make_unique<DownloadJobs>(window, pool, gbk_from_utf8((root / "default").string()), options); }

  // A row as the collector adds it; the title is given in code page 936 (any bytes at all).
  void add_row_gbk(const Text& title, const std::string& url) {
    window.append_filled_row({Text(), title, "2024-01-01", "10", base64_encode(to_bytes(url))}, false);
  }
  void add_row(const std::string& title_utf8, const std::string& path) {
    add_row_gbk(gbk_from_utf8(title_utf8), server.origin() + path);
  }
  std::vector<Text> statuses() {
    std::vector<Text> s;
    for (const auto& row : window.rows()) s.push_back(row.cells[col_status]);
    return s;
  }

  standin::StandinServer server;
  MemoryWindow window;
  ThreadPool pool;
  TransferOptions options;
  fs::path root, out;
  std::unique_ptr<DownloadJobs> jobs;
};

}  // namespace kestrano::faults
