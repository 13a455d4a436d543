// Broken transfers seen through the download jobs: each row ends as "下载失败" within a bound that
// includes every retry, and leaves neither a file under its final name nor a temporary file.
#include <chrono>
#include <map>

#include "fault_fixture.h"
#include "video_content.h"

namespace kestrano::faults {
namespace {

class TransferFaults : public JobsFixture {
 protected:
  int requests_for(const std::string& name) {
    int n = 0;
    for (const auto& r : server.requests()) n += r.path.ends_with("/" + name + ".mp4");
    return n;
  }
};

TEST_F(TransferFaults, EveryFaultEndsAsAFailureWithinItsBoundAndLeavesNothing) {
  options.max_bytes = 200000;  // the size cap, lowered from 4 GiB
  struct Case {
    const char* modes;
    int min_requests;  // the retries really happened
  } cases[] = {
      {"cut1000.size5000", 4},
      {"stall0", 4},
      {"stall3000.size50000", 4},
      {"trickle2000.size100000", 4},  // 1 KiB per 2 s: below the least rate
      {"badlen9000.size5000", 4},     // announces more than it sends
      {"endless", 1},                 // never ends: stopped at the cap
      {"size300000", 1},              // over the cap
      {"size300000.norange", 1},
      {"redirectloop", 1},
      {"redirectfile", 1},
      {"redirectftp", 1},
      {"status500", 4},
      {"status404", 1},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    add_row("故障" + std::to_string(i), std::string("/video/") + cases[i].modes + "/f" + std::to_string(i) + ".mp4");
  }
  add_row("好的", "/video/size199999/good.mp4");
  // Announcing less than it sends cannot be told from a shorter file: the announced length is the
  // file, and nothing past it is ever written.
  add_row("短", "/video/badlen10.size5000/short.mp4");
  make_jobs();

  // The slowest row: 4 attempts, each ended by the stall window, plus the pauses; the rows run six at
  // once, so three rounds of them, with generous slack for a loaded machine.
  const auto started = std::chrono::steady_clock::now();
  jobs->download_all();
  const auto took = std::chrono::steady_clock::now() - started;
  const auto per_row = 4 * (options.stall_window + 300ms) + 30ms;
  EXPECT_LT(took, 3 * per_row + 5s);

  std::vector<Text> expected(std::size(cases), status_failed());
  expected.push_back(status_succeeded());
  expected.push_back(status_succeeded());
  EXPECT_EQ(statuses(), expected);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_GE(requests_for("f" + std::to_string(i)), cases[i].min_requests) << cases[i].modes;
  }
  EXPECT_EQ(tree(root), (std::vector<std::string>{"out", "out/好的.mp4", "out/短.mp4"}));
  EXPECT_EQ(read_all(out / "好的.mp4"), standin::video_bytes("good", 0, 199999));
  EXPECT_EQ(read_all(out / "短.mp4"), standin::video_bytes("short", 0, 10));
}

TEST_F(TransferFaults, AFailureNeverReplacesAnEarlierCompleteFile) {
  // The same row downloaded again, this time cut short: the first, complete file stays as it was.
  add_row("再来", "/video/size4000/again.mp4");
  make_jobs();
  jobs->download_all();
  ASSERT_EQ(statuses(), std::vector<Text>{status_succeeded()});
  window.set_cell(0, col_address, base64_encode(to_bytes(server.origin() + "/video/cut100.size4000/again.mp4")));
  jobs->download_all();
  EXPECT_EQ(statuses(), std::vector<Text>{status_failed()});
  EXPECT_EQ(tree(root), (std::vector<std::string>{"out", "out/再来.mp4"}));
  EXPECT_EQ(read_all(out / "再来.mp4"), standin::video_bytes("again", 0, 4000));
}

TEST_F(TransferFaults, ASelectedRowThatStallsFailsWithinTheBound) {
  add_row("停住", "/video/stall0/s.mp4");
  window.select(0);
  make_jobs();
  const auto started = std::chrono::steady_clock::now();
  jobs->download_selected();
  ASSERT_TRUE(window.wait_until([](MemoryWindow& w) { return w.cell(0, col_status) == status_failed(); }, 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 4 * (options.stall_window + 300ms) + 3s);
  EXPECT_EQ(tree(root), std::vector<std::string>{"out"});
}

}  // namespace
}  // namespace kestrano::faults
