#pragma once
// The directory that holds the running executable.

#include <filesystem>

namespace kestrano {

// Empty when the platform cannot tell.
std::filesystem::path run_directory();

}  // namespace kestrano
