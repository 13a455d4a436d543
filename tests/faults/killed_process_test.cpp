// A process killed with SIGKILL in the middle of its downloads: whatever it left, no file under a
// final name is shorter than (or different from) what the server sent. Only temporary files may be
// partial.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <map>

#include "fault_fixture.h"
#include "video_content.h"

extern char** environ;

namespace kestrano::faults {
namespace {

constexpr int kRows = 12;
constexpr int kSize = 200000;  // ~200 ms per file at 1 KiB a millisecond

class KilledProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    root = scratch_folder();
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override {
    if (server) server->stop();
    fs::remove_all(root);
  }
  pid_t spawn(const fs::path& folder) {
    std::vector<std::string> args = {KESTRANO_FAULTS_DRIVER, server->origin(), folder.string(), std::to_string(kRows),
                                     std::to_string(kSize)};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return 0;
    return pid;
  }
  int final_files(const fs::path& folder) {
    int n = 0;
    for (const auto& e : tree(folder)) n += !is_temporary_name(e);
    return n;
  }
  // Waits, with a bound, for `done`; polls because the condition is in another process.
  static bool poll_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

  std::unique_ptr<standin::StandinServer> server;
  fs::path root;
};

TEST_F(KilledProcess, NoFileUnderAFinalNameIsIncomplete) {
  std::map<std::string, std::string> expected;
  for (int k = 0; k < kRows; ++k) expected["k" + std::to_string(k) + ".mp4"] = standin::video_bytes("k" + std::to_string(k), 0, kSize);

  // Killed at different moments: as the first transfers start, once some files are complete, and
  // while the second wave (six at once) runs.
  const int kill_after_files[] = {0, 1, 3, 6, 7};
  int partial_seen = 0, complete_seen = 0;
  for (int round = 0; round < static_cast<int>(std::size(kill_after_files)); ++round) {
    // A fresh stand-in each round, so the once-cut videos are cut again.
    if (server) server->stop();
    server = std::make_unique<standin::StandinServer>();
    ASSERT_TRUE(server->start());
    const fs::path folder = root / ("round" + std::to_string(round));
    const pid_t pid = spawn(folder);
    ASSERT_GT(pid, 0);
    const int wanted = kill_after_files[round];
    const bool reached = poll_until(
        [&] { return server->active_transfers() > 0 && final_files(folder) >= wanted; }, 20s);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(reached) << "round " << round;
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "round " << round << " ended by itself";

    for (const auto& entry : tree(folder)) {
      const std::string name = fs::path(entry).filename().string();
      const std::string content = read_all(folder / entry);
      if (is_temporary_name(name)) {
        ++partial_seen;
        continue;
      }
      ++complete_seen;
      ASSERT_TRUE(expected.count(name)) << name;
      EXPECT_EQ(content.size(), expected[name].size()) << "round " << round << ": " << name;
      EXPECT_TRUE(content == expected[name]) << "round " << round << ": " << name;
    }
  }
  // The kills really fell in the middle of transfers, and after some had finished.
  EXPECT_GT(partial_seen, 0);
  EXPECT_GT(complete_seen, 0);
}

}  // namespace
}  // namespace kestrano::faults
