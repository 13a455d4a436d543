#include "download/file_name.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

using namespace kestrano;

namespace {

Text repeat(const Text& piece, int times) {
  Text out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

struct Case {
  Text title;
  Text name;
};

void expect_sanitized(const Case& c) {
  SCOPED_TRACE(c.title);
  Text title = c.title;
  const Text name = sanitize_file_name(title);
  EXPECT_EQ(name, c.name);
  EXPECT_EQ(title, name);  // the caller's variable holds the result too
}

}  // namespace

TEST(SanitizeFileName, RemovesAndReplacesInOrder) {
  const Case cases[] = {
      {"a_b c\\d/e|f", "abcdef"},
      {"标题：测试？"_t, "标题测试"_t},
      {"好……看…吧"_t, "好看，吧"_t},       // two ellipses vanish, a single one becomes a comma
      {"他说“好”，走"_t, "他说“好”走"_t},
      {"他说“好”…走"_t, "他说“好”走"_t},   // the comma made from "…" is shortened after "”" too
      {"A——B—C"_t, "AB—C"_t},
      {"A-B", "AB"},
      {"（）（x）()(y)"_t, "（x）(y)"_t},
      {"(_)", ""},                           // the underscore goes first; then "()" is a pair
      {"（ ）"_t, ""},
      {"看{uid123,nick%E5%B0%8F}视频"_t, "看视频"_t},
      {"{UID1,NICK_a}", ""},                 // the underscore goes before the marker is matched
      {"{uid1,nick中}"_t, "{uid1,nick中}"_t},  // not a marker: \w is ASCII
      {"a{uid,nickb}c", "a{uid,nickb}c"},
      {"line1\r\nline2\rline3\nline4\tend", "line1line2line3line4end"},
      {"a:b?c*d<e>f\"g#h@i!j~k", "abcdefghijk"},
      {"！。￣～全角"_t, "全角"_t},
      {"……"_t, ""},
      {"………"_t, "，"_t},
      {"—"_t, "—"_t},
      {"（"_t, "（"_t},
      {"中　文"_t, "中　文"_t},               // the ideographic space stays
      {"", ""},
      {"__  ？？_ ？"_t, ""},
      {"_ \\/|:?*<>\"：？#@!！。~（）-——￣……～\r\n()\t\r\n"_t, ""},
  };
  for (const auto& c : cases) expect_sanitized(c);
}

TEST(SanitizeFileName, MatchesOnlyAtCharacterBoundaries) {
  // Double-byte characters whose second byte is one of the removed ASCII characters survive whole.
  const Text trails[] = {"\x81\x5C", "\x81\x7C", "\x81\x40", "\x81\x5F", "\x81\x7E"};
  for (const auto& ch : trails) {
    if (utf16_from_gbk(ch).size() != 1) continue;  // not one character of the code page
    expect_sanitized({"_" + ch + "_", ch});
  }
  // A trail byte A1 followed by AD must not be read as the start of "…" (A1 AD).
  expect_sanitized({"\xB0\xA1\xAD\x40", "\xB0\xA1\xAD\x40"});
}

TEST(SanitizeFileName, LongTitlesKeepTheirFirstHundredCharacters) {
  const Case cases[] = {
      {repeat("字"_t, 150), repeat("字"_t, 100)},
      {repeat("字"_t, 100), repeat("字"_t, 100)},   // exactly 200 bytes stay whole
      {repeat("字"_t, 101), repeat("字"_t, 100)},
      {repeat("a", 201), repeat("a", 100)},
      {repeat("a", 200), repeat("a", 200)},
      {"a" + repeat("字"_t, 100), "a" + repeat("字"_t, 99)},  // 201 bytes
      {repeat("_a", 150), repeat("a", 150)},          // the length counts after the removals
      {repeat("字"_t, 90) + repeat("{uid1,nickx}", 10), repeat("字"_t, 90)},
  };
  for (const auto& c : cases) expect_sanitized(c);
}
