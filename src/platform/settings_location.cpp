#include "platform/settings_location.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/run_directory.h"

namespace kestrano {

namespace {

std::filesystem::path settings_file_name() { return std::filesystem::path("配置文件.ini"); }

}  // namespace

std::filesystem::path settings_file_path(const std::filesystem::path& run_directory, bool run_directory_writable,
                                         const char* xdg_config_home, const char* home) {
  if (run_directory_writable) return run_directory / settings_file_name();
  std::filesystem::path config;
  if (xdg_config_home && std::filesystem::path(xdg_config_home).is_absolute()) {
    config = xdg_config_home;
  } else {
    config = std::filesystem::path(home ? home : "") / ".config";
  }
  return config / "Kestrano" / settings_file_name();
}

std::filesystem::path settings_file_path() {
  std::filesystem::path run = run_directory();
  return settings_file_path(run, directory_writable(run), std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

bool directory_writable(const std::filesystem::path& directory) {
  if (directory.empty()) return false;
  std::string probe = (directory / ".kestrano-write-probe-XXXXXX").string();
  int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace kestrano
