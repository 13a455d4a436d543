#include "platform/run_directory.h"

#include <system_error>

namespace kestrano {

std::filesystem::path run_directory() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path();
}

}  // namespace kestrano
