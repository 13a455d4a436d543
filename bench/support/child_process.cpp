#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

extern char** environ;

namespace kestrano::bench {

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env) {
  int pipe_fds[2];
  if (argv.empty() || pipe2(pipe_fds, O_CLOEXEC) != 0) return;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The extra variables replace ours of the same name.
  auto name_of = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  std::vector<std::string> env_text = extra_env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& x : extra_env) replaced |= name_of(x) == name_of(entry);
    if (!replaced) env_text.push_back(entry);
  }
  std::vector<char*> env;
  for (auto& e : env_text) env.push_back(e.data());
  env.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (rc != 0) {
    close(pipe_fds[0]);
    return;
  }
  pid_ = pid;
  out_fd_ = pipe_fds[0];
}

Child::~Child() {
  terminate();
  if (out_fd_ >= 0) close(out_fd_);
}

std::optional<std::string> Child::read_line(std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto newline = pending_.find('\n');
    if (newline != std::string::npos) {
      std::string line = pending_.substr(0, newline);
      pending_.erase(0, newline + 1);
      return line;
    }
    if (out_fd_ < 0) return std::nullopt;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd p{out_fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(out_fd_, buffer, sizeof buffer);
    if (n <= 0) {
      close(out_fd_);
      out_fd_ = -1;
      continue;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

int Child::reap() {
  if (pid_ <= 0 || reaped_) return -1;
  int status = 0;
  rusage usage{};
  while (wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  max_rss_kib_ = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Child::finish(std::string* output) {
  std::string all = std::move(pending_);
  pending_.clear();
  while (out_fd_ >= 0) {
    char buffer[4096];
    const ssize_t n = read(out_fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(out_fd_);
      out_fd_ = -1;
      break;
    }
    all.append(buffer, static_cast<std::size_t>(n));
  }
  if (output) *output = std::move(all);
  return reap();
}

void Child::terminate() {
  if (pid_ <= 0 || reaped_) return;
  kill(pid_, SIGTERM);
  reap();
}

ChildRun run_child(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env) {
  ChildRun run;
  const auto start = std::chrono::steady_clock::now();
  Child child(argv, extra_env);
  if (!child.started()) return run;
  run.exit_code = child.finish(&run.output);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.max_rss_kib = child.max_rss_kib();
  return run;
}

std::string own_executable() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

}  // namespace kestrano::bench
