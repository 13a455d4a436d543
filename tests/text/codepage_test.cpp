#include "text/codepage.h"

#include <gtest/gtest.h>

using namespace kestrano;

TEST(Codepage, Utf8ToGbkAndBack) {
  struct Case {
    std::string utf8;
    std::string gbk;
  } cases[] = {
      {"\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},  // 中文
      {"abc", "abc"},
      {"", ""},
      {"\xE2\x82\xAC", "\x80"},                      // euro sign: a Windows addition to code page 936
      {"\xF0\x9F\x98\x80", "?"},                     // an emoji GBK cannot hold
      {"a\xFF" "b", "a?b"},                          // a byte that is not UTF-8
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gbk_from_utf8(c.utf8), c.gbk) << c.utf8;
    if (c.gbk.find('?') == std::string::npos) {
      EXPECT_EQ(utf8_from_gbk(c.gbk), c.utf8);
    }
  }
}

TEST(Codepage, LiteralHelperAndUtf16) {
  EXPECT_EQ("中文"_t, "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(utf16_from_gbk("\xD6\xD0\xCE\xC4"), u"中文");
  EXPECT_TRUE(gbk_can_hold(u"中文 abc"));
  EXPECT_FALSE(gbk_can_hold(u"\U0001F600"));
  EXPECT_EQ(gbk_from_utf16(u"a\xD800" u"b"), "a?b");  // lone surrogate
}

// ASCII stretches are copied and only the stretches between them are converted; the result must be the
// one a conversion of the whole text gives, also where a stretch ends in a broken character or a GBK
// lead byte takes an ASCII byte as its trail.
TEST(Codepage, AsciiMixedWithOtherCharacters) {
  struct Case {
    std::string utf8;
    std::string gbk;
  } to_gbk[] = {
      {"a\xE4\xB8\xAD" "b\xE6\x96\x87" "c", "a\xD6\xD0" "b\xCE\xC4" "c"},
      {"x\xE4\xB8y", "x?y"},          // a character cut short before an ASCII one
      {"x\xE4y\xFFz", "x?y?z"},
      {"path.a[3]", "path.a[3]"},
      {std::string("a\0b", 3), "a"},  // a text ends at NUL
  };
  for (const auto& c : to_gbk) EXPECT_EQ(gbk_from_utf8(c.utf8), c.gbk) << c.utf8;

  struct Back {
    std::string gbk;
    std::string utf8;
  } to_utf8[] = {
      {"\x81\x40" "a", "\xE4\xB8\x82" "a"},  // 丂: its trail byte 0x40 is "@" on its own
      {"x\x81 y", "x\xEF\xBF\xBD y"},        // a lead byte whose trail is no trail
      {"ab\x81", "ab\xEF\xBF\xBD"},          // a lead byte at the end
      {"\x80" "a", "\xE2\x82\xAC" "a"},      // euro sign
  };
  for (const auto& c : to_utf8) EXPECT_EQ(utf8_from_gbk(c.gbk), c.utf8) << c.gbk;
}
