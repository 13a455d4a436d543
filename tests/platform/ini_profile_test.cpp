#include "platform/ini_profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace kestrano {
namespace {

const Text section = "配置文件"_t;
const Text key = "保存目录"_t;

struct ReadCase {
  const char* name;
  Text file;
  Text expected;
};

TEST(ReadProfileString, FindsTheValueAsWindowsProfilesDo) {
  const std::vector<ReadCase> cases = {
      {"empty file", "", ""},
      {"crlf file", "[配置文件]\r\n保存目录=E:\\videos\r\n"_t, "E:\\videos"},
      {"lf file", "[配置文件]\n保存目录=E:\\videos\n"_t, "E:\\videos"},
      {"no final line break", "[配置文件]\r\n保存目录=D:\\clips"_t, "D:\\clips"},
      {"empty value", "[配置文件]\r\n保存目录=\r\n"_t, ""},
      {"blanks around names and value", "  [ 配置文件 ]  \r\n \t保存目录 \t=  C:\\a b  \r\n"_t, "C:\\a b"},
      {"double quotes dropped", "[配置文件]\r\n保存目录=\"C:\\x\"\r\n"_t, "C:\\x"},
      {"single quotes dropped", "[配置文件]\r\n保存目录='C:\\x'\r\n"_t, "C:\\x"},
      {"unmatched quote kept", "[配置文件]\r\n保存目录=\"C:\\x\r\n"_t, "\"C:\\x"},
      {"everything after the first equals sign", "[配置文件]\r\n保存目录=a=b=c\r\n"_t, "a=b=c"},
      {"key in another section", "[其他]\r\n保存目录=X\r\n"_t, ""},
      {"key before any section", "保存目录=X\r\n[配置文件]\r\n"_t, ""},
      {"other keys skipped", "[配置文件]\r\n别的=1\r\n保存目录=Y\r\n"_t, "Y"},
      {"first of two keys", "[配置文件]\r\n保存目录=first\r\n保存目录=second\r\n"_t, "first"},
      {"first of two sections", "[配置文件]\r\n别的=1\r\n[配置文件]\r\n保存目录=later\r\n"_t, ""},
      {"section ends at the next header", "[配置文件]\r\n[下一节]\r\n保存目录=Z\r\n"_t, ""},
      {"a line without equals sign is no key", "[配置文件]\r\n保存目录\r\n保存目录=W\r\n"_t, "W"},
      {"value ending in a double-byte character", "[配置文件]\r\n保存目录=D:\\乗\r\n"_t, "D:\\乗"_t},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_profile_string(c.file, section, key), c.expected) << c.name;
  }
}

TEST(ReadProfileString, MatchesAsciiNamesIgnoringCase) {
  EXPECT_EQ(read_profile_string("[Settings]\r\nFolder=x\r\n", "SETTINGS", "folder"), "x");
  EXPECT_EQ(read_profile_string("[Settings]\r\nFolder=x\r\n", "Setting", "Folder"), "");
  EXPECT_EQ(read_profile_string("[Settings]\r\nFolder=x\r\n", "Settings", "Folde"), "");
}

// 81 5D is a GBK character whose trail byte looks like "]".
TEST(ReadProfileString, FindsTheClosingBracketCharacterWise) {
  EXPECT_EQ(read_profile_string("[\x81\x5D]\r\nk=v\r\n", "\x81\x5D", "k"), "v");
}

TEST(ReadProfileString, CutsLongValuesAtTheLimitOnACharacterBoundary) {
  Text ascii(20000, 'a');
  EXPECT_EQ(read_profile_string("[s]\nk=" + ascii + "\n", "s", "k"), Text(profile_value_limit, 'a'));

  // 10,238 bytes of ASCII then a double-byte character: its two bytes would end at 10,240, so it goes.
  Text split = Text(profile_value_limit - 1, 'a') + "中文"_t;
  EXPECT_EQ(read_profile_string("[s]\nk=" + split + "\n", "s", "k"), Text(profile_value_limit - 1, 'a'));

  Text exact = Text(profile_value_limit - 2, 'a') + "中"_t + "x";
  EXPECT_EQ(read_profile_string("[s]\nk=" + exact + "\n", "s", "k"), Text(profile_value_limit - 2, 'a') + "中"_t);
}

struct WriteCase {
  const char* name;
  Text before;
  Text value;
  Text after;
};

TEST(WriteProfileString, RewritesOnlyWhatItMust) {
  const std::vector<WriteCase> cases = {
      {"creates the file's content", "", "C:\\v", "[配置文件]\r\n保存目录=C:\\v\r\n"_t},
      {"replaces the value in place", "[配置文件]\r\n保存目录=old\r\n"_t, "new", "[配置文件]\r\n保存目录=new\r\n"_t},
      {"keeps other sections and keys",
       "; note\r\n[A]\r\nx=1\r\n[配置文件]\r\n前=1\r\n保存目录=old\r\n后=2\r\n[B]\r\ny=2\r\n"_t, "E:\\videos",
       "; note\r\n[A]\r\nx=1\r\n[配置文件]\r\n前=1\r\n保存目录=E:\\videos\r\n后=2\r\n[B]\r\ny=2\r\n"_t},
      {"adds a missing key after the section's last line", "[配置文件]\r\n别的=1\r\n\r\n[B]\r\ny=2\r\n"_t, "v",
       "[配置文件]\r\n别的=1\r\n保存目录=v\r\n\r\n[B]\r\ny=2\r\n"_t},
      {"adds a key to a header at the end without line break", "[配置文件]"_t, "v",
       "[配置文件]\r\n保存目录=v\r\n"_t},
      {"appends a missing section", "[A]\r\nx=1"_t, "v", "[A]\r\nx=1\r\n[配置文件]\r\n保存目录=v\r\n"_t},
      {"a lone CR at the end ends no line", "[配置文件]\r"_t, "v", "[配置文件]\r\r\n保存目录=v\r\n"_t},
      {"follows a file's LF line breaks", "[A]\nx=1\n"_t, "v", "[A]\nx=1\n[配置文件]\n保存目录=v\n"_t},
      {"writes an empty value", "[配置文件]\r\n保存目录=old\r\n"_t, "", "[配置文件]\r\n保存目录=\r\n"_t},
      {"a line break ends the value", "", "C:\\a\r\n[evil]\r\nk=v", "[配置文件]\r\n保存目录=C:\\a\r\n"_t},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(write_profile_string(c.before, section, key, c.value), c.after) << c.name;
  }
}

// Random files built from the pieces that make profiles tricky; the written key must read back as
// written, and every other key must read as before.
class ProfileFuzz {
 public:
  explicit ProfileFuzz(unsigned seed) : random_(seed) {}

  Text file() {
    static const std::vector<Text> pieces = {
        "[配置文件]"_t, "[A]", " [ a ] ", "[\x81\x5C\x81\x5D", "保存目录"_t, "保存目录="_t, "k=", "K = v ", "=", "\"", "'",
        "\r\n", "\n", "\r", " ", "\t", ";c", "x", "\x81\x5C", "]", "[", "\x81",
    };
    Text out;
    int n = pick(40);
    for (int i = 0; i < n; ++i) out += pieces[static_cast<std::size_t>(pick(static_cast<int>(pieces.size())))];
    return out;
  }

  Text value() {
    static const std::vector<Text> pieces = {"C:\\", "\x81\x5C", "videos", " ", "=", "[x]", "\"", "中文"_t};
    Text out;
    int n = pick(6);
    for (int i = 0; i < n; ++i) out += pieces[static_cast<std::size_t>(pick(static_cast<int>(pieces.size())))];
    return out;
  }

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

 private:
  std::mt19937 random_;
};

std::string hex(const Text& text) {
  std::string out;
  char buffer[4];
  for (unsigned char c : text) {
    std::snprintf(buffer, sizeof buffer, "%02x ", c);
    out += buffer;
  }
  return out;
}

// What a value reads back as: trimmed, and unquoted when quoted.
Text as_read_back(const Text& value) {
  Text file = "[s]\nk=" + value + "\n";
  return read_profile_string(file, "s", "k");
}

TEST(WriteProfileString, ReadsBackAndLeavesOtherKeysAlone) {
  ProfileFuzz fuzz(20240611);
  const std::vector<std::pair<Text, Text>> others = {
      {"A", "k"}, {"a", "K"}, {"配置文件"_t, "k"}, {"配置文件"_t, "前"_t}, {"\x81\x5C\x81\x5D", "保存目录"_t}, {"A", "保存目录"_t}};
  for (int round = 0; round < 5000; ++round) {
    Text before = fuzz.file();
    Text value = fuzz.value();
    Text after = write_profile_string(before, section, key, value);
    ASSERT_EQ(read_profile_string(after, section, key), as_read_back(value)) << "file: " << hex(before) << " value: " << hex(value);
    for (const auto& [s, k] : others) {
      ASSERT_EQ(read_profile_string(after, s, k), read_profile_string(before, s, k))
          << "file: " << before << " other: " << s << "/" << k;
    }
    // Writing the same value again changes nothing.
    ASSERT_EQ(write_profile_string(after, section, key, value), after) << "file: " << hex(before) << " value: " << hex(value);
  }
}

}  // namespace
}  // namespace kestrano
