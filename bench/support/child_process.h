#pragma once
// Programs a benchmark starts: the stand-in, the baseline clients (curl, aria2c), the windows of the
// start-up benchmark, and the benchmark itself in a second role. Each child is owned by one object
// that ends it (SIGTERM, then waits) when it goes.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kestrano::bench {

class Child {
 public:
  // Starts argv[0] (looked up in PATH when it has no slash) with this process's environment, where
  // `extra_env` ("NAME=value") adds or replaces variables. Its stdout comes to us through a pipe; its stderr is ours.
  explicit Child(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // One line of its stdout without the newline; nullopt at its end or after `limit`.
  std::optional<std::string> read_line(std::chrono::milliseconds limit);
  // Reads its stdout to the end and waits for it. Exit status (-1 when it did not exit normally).
  int finish(std::string* output = nullptr);
  // The most memory it held resident, in KiB, once finish() has reaped it.
  long max_rss_kib() const { return max_rss_kib_; }
  void terminate();

 private:
  int reap();

  pid_t pid_ = -1;
  int out_fd_ = -1;
  std::string pending_;
  long max_rss_kib_ = 0;
  bool reaped_ = false;
};

struct ChildRun {
  int exit_code = -1;
  std::string output;
  double seconds = 0;  // from just before the start to the reaping
  long max_rss_kib = 0;
};

// Runs a program to its end.
ChildRun run_child(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env = {});

// This program's own path, for starting it again in another role.
std::string own_executable();

}  // namespace kestrano::bench
