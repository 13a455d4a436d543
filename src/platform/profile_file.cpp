#include "platform/profile_file.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/ini_profile.h"

namespace kestrano {
namespace {

std::string file_content(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

Text read_profile_value(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  return read_profile_string(file_content(file), section, key);
}

bool write_profile_value(const std::filesystem::path& file, std::string_view section, std::string_view key,
                         std::string_view value) {
  std::error_code error;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
  Text content = write_profile_string(file_content(file), section, key, value);

  std::filesystem::path temporary = file;
  temporary += ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temporary, error);
      return false;
    }
  }
  std::filesystem::rename(temporary, file, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace kestrano
