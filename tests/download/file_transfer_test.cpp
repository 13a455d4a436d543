// Downloads against the stand-in: whole or absent, retried and resumed on transient faults.
#include "download/file_transfer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "standin_server.h"
#include "support/temp_folder.h"
#include "video_content.h"

using namespace kestrano;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

using kestrano::testing::read_file;

namespace {

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start());
    fs::create_directories(folder);
    options.stall_window = 300ms;
    options.retry_pauses = {10ms, 20ms, 40ms};
    options.max_retry_after = 1500ms;
  }

  std::string url(const std::string& modes, const std::string& name = "v1") {
    return server.origin() + "/video/" + modes + "/" + name + ".mp4";
  }
  TransferResult fetch(const std::string& u, const fs::path& target, AbortCheck abort = {}) {
    return download_file(u, target, options, {}, abort);
  }
  // Nothing but the given files in the folder: no temporary file is ever left behind.
  std::vector<std::string> folder_entries() { return temp.entries(); }
  int requests_for(const std::string& name) {
    int n = 0;
    for (const auto& r : server.requests()) n += r.path.find("/" + name + ".mp4") != std::string::npos;
    return n;
  }

  standin::StandinServer server;
  kestrano::testing::TempFolder temp{"kestrano-transfer"};
  const fs::path folder = temp.path();
  TransferOptions options;
};

}  // namespace

TEST_F(Transfer, CompleteFilesAreIdenticalToWhatWasServed) {
  struct Case {
    const char* modes;
    std::size_t size;
  } cases[] = {{"size0", 0}, {"size1", 1}, {"size3000000", 3000000}, {"redirect3.size5000", 5000}};
  for (const auto& c : cases) {
    const fs::path target = folder / "out.mp4";
    TransferResult r = fetch(url(c.modes), target);
    ASSERT_TRUE(r.ok) << c.modes << ": " << r.detail;
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(read_file(target), standin::video_bytes("v1", 0, c.size)) << c.modes;
    EXPECT_EQ(folder_entries(), std::vector<std::string>{"out.mp4"});
  }
}

TEST_F(Transfer, FailuresLeaveNoFileAndNoTemporaryFile) {
  options.max_bytes = 200000;
  struct Case {
    const char* modes;
    TransferError error;
    int attempts;  // 4 = retried to the end
  } cases[] = {
      {"status404", TransferError::http_status, 1},
      {"status403", TransferError::http_status, 1},
      {"status500", TransferError::http_status, 4},
      {"cut1000.size5000", TransferError::incomplete, 4},
      {"stall0", TransferError::stalled, 4},
      {"stall100.size5000", TransferError::stalled, 4},
      {"trickle2000.size100000", TransferError::stalled, 4},  // 1 KiB every 2 s: below 1 KiB per window
      {"endless", TransferError::too_large, 1},
      {"size300000", TransferError::too_large, 1},
      // Each resume meets 416 (the range is past the real end) and starts over at once: 4 + 3 requests.
      {"badlen9000.size5000", TransferError::incomplete, 7},
      {"redirectloop", TransferError::network, 1},
      {"redirectfile", TransferError::network, 1},
      {"redirectftp", TransferError::network, 1},
  };
  for (const auto& c : cases) {
    const fs::path target = folder / "out.mp4";
    TransferResult r = fetch(url(c.modes), target);
    EXPECT_FALSE(r.ok) << c.modes;
    EXPECT_EQ(r.error, c.error) << c.modes << ": " << r.detail;
    EXPECT_EQ(r.attempts, c.attempts) << c.modes;
    EXPECT_TRUE(folder_entries().empty()) << c.modes;
  }
  // A refused connection and an address of another scheme fail the same way.
  EXPECT_FALSE(fetch("http://127.0.0.1:1/v.mp4", folder / "x.mp4").ok);
  EXPECT_FALSE(fetch("file:///etc/passwd", folder / "x.mp4").ok);
  EXPECT_TRUE(folder_entries().empty());
}

TEST_F(Transfer, AFailureLeavesAnEarlierFileAtTheTargetAsItWas) {
  const fs::path target = folder / "keep.mp4";
  std::ofstream(target) << "earlier";
  EXPECT_FALSE(fetch(url("cut10.size5000"), target).ok);
  EXPECT_EQ(read_file(target), "earlier");
  EXPECT_EQ(folder_entries(), std::vector<std::string>{"keep.mp4"});
  ASSERT_TRUE(fetch(url("size5000"), target).ok);
  EXPECT_EQ(read_file(target), standin::video_bytes("v1", 0, 5000));
}

TEST_F(Transfer, ACutTransferResumesWithIfRange) {
  const fs::path target = folder / "out.mp4";
  TransferResult r = fetch(url("cut70000.size200000.times1", "r1"), target);
  ASSERT_TRUE(r.ok) << r.detail;
  EXPECT_EQ(r.attempts, 2);
  EXPECT_EQ(read_file(target), standin::video_bytes("r1", 0, 200000));
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].header("Range"), "bytes=70000-");
  EXPECT_FALSE(requests[1].header("If-Range").empty());
}

TEST_F(Transfer, AServerThatIgnoresRangeIsReadFromTheStart) {
  const fs::path target = folder / "out.mp4";
  TransferResult r = fetch(url("cut70000.size200000.times1.norange", "r2"), target);
  ASSERT_TRUE(r.ok) << r.detail;
  EXPECT_EQ(read_file(target), standin::video_bytes("r2", 0, 200000));
}

TEST_F(Transfer, TransientStatusesAreRetriedAndRetryAfterIsHonoured) {
  TransferResult r = fetch(url("status503.times2.size1000", "s1"), folder / "a.mp4");
  ASSERT_TRUE(r.ok) << r.detail;
  EXPECT_EQ(r.attempts, 3);
  const auto start = std::chrono::steady_clock::now();
  r = fetch(url("busy1.times1.size1000", "s2"), folder / "b.mp4");
  ASSERT_TRUE(r.ok) << r.detail;
  EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);  // Retry-After: 1 replaced the 10 ms pause
  EXPECT_EQ(requests_for("s2"), 2);
}

TEST_F(Transfer, AbortEndsAtOnceAndRemovesTheTemporaryFile) {
  std::atomic<bool> abort{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(200ms);
    abort = true;
  });
  const auto start = std::chrono::steady_clock::now();
  options.stall_window = 10s;
  TransferResult r = fetch(url("trickle50.size1000000"), folder / "out.mp4", [&] { return abort.load(); });
  stopper.join();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, TransferError::aborted);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_TRUE(folder_entries().empty());
}
