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
