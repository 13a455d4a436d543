#pragma once
// A folder of the running test's own under the system's temporary directory, emptied at the start and
// removed at the end, and the bytes of a file in it.

#include <filesystem>
#include <string>
#include <vector>

namespace kestrano::testing {

class TempFolder {
 public:
  // `prefix` names the test program; the running test's name and the process id make it unique.
  explicit TempFolder(const std::string& prefix);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The names of the entries directly inside, sorted; empty when the folder does not exist.
  std::vector<std::string> entries() const;

 private:
  std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& file);

}  // namespace kestrano::testing
