// The settings file's reader and writer: any file text, any value.
// Input: the value on the first line, then the file's text.

#include <array>
#include <utility>

#include "fuzz_support.h"
#include "platform/ini_profile.h"

using namespace kestrano;
using fuzz::check;

namespace {

struct Name {
  Text section;
  Text key;
};

// The program's own names and a few others, ASCII ones in two letter cases (names match ignoring it).
const std::array<Name, 4>& names() {
  static const std::array<Name, 4> list = {{
      {"配置文件"_t, "保存目录"_t},
      {"Main", "Folder"},
      {"mAIN", "folder"},
      {"Main", "Other key"},
  }};
  return list;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

// What a read gives back for a written value: up to its first line break, without blanks around it,
// without enclosing quotes, at most profile_value_limit bytes cut at a character.
Text read_back(std::string_view value) {
  value = value.substr(0, std::min(value.find('\r'), value.find('\n')));
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  std::size_t end = 0;
  fuzz::for_each_char(value, [&](std::size_t i, std::size_t width) {
    if (i == end && i + width <= profile_value_limit) end = i + width;
  });
  return Text(value.substr(0, end));
}

void write_and_read(std::string_view file, const Name& name, std::string_view value) {
  const Text written = write_profile_string(file, name.section, name.key, value);
  check(read_profile_string(written, name.section, name.key) == read_back(value), "a written value reads back",
        written);
  check(write_profile_string(written, name.section, name.key, value) == written, "writing twice changes nothing",
        written);
  for (const Name& other : names()) {
    if (same_ignoring_case(other.section, name.section) && same_ignoring_case(other.key, name.key)) continue;
    check(read_profile_string(written, other.section, other.key) ==
              read_profile_string(file, other.section, other.key),
          "writing one key leaves the others as they were", written);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::pieces(fuzz::bytes_view(data, size), "\n", 2);
  const std::string_view value = parts[0];
  const std::string_view file = parts[1];

  for (const Name& name : names()) {
    const Text read = read_profile_string(file, name.section, name.key);
    check(read.size() <= profile_value_limit, "a read value is at most the limit", read);
    write_and_read(file, name, value);
  }
  // A value that would add a line of its own ends at the line break.
  const std::string two_lines = std::string(value) + "\n[Main]\nFolder=injected";
  write_and_read(file, names()[0], two_lines);
  return 0;
}
