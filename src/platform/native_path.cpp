#include "platform/native_path.h"

#include <algorithm>

#include "text/codepage.h"

namespace kestrano {

std::filesystem::path native_path(std::string_view text) {
  std::string utf8 = utf8_from_gbk(text);
  std::replace(utf8.begin(), utf8.end(), '\\', '/');
  return std::filesystem::path(utf8);
}

bool is_root_folder(std::string_view folder) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < folder.size();) {
    last = i;
    i += is_lead_byte(static_cast<unsigned char>(folder[i])) && i + 1 < folder.size() ? 2 : 1;
  }
  if (last == std::string_view::npos || last + 1 != folder.size()) return false;
  return folder[last] == '\\' || folder[last] == '/';
}

}  // namespace kestrano
