#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace kestrano::testing {

TempFolder::TempFolder(const std::string& prefix) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  path_ = std::filesystem::temp_directory_path() /
          (prefix + "-" + std::to_string(::getpid()) + "-" + (test ? test->name() : "none"));
  std::filesystem::remove_all(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::entries() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(path_, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kestrano::testing
