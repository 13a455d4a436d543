#include "download/name_claims.h"

#include <gtest/gtest.h>

#include "download/file_transfer.h"
#include "text/codepage.h"

using namespace kestrano;

TEST(NameClaims, EachAddressKeepsItsOwnName) {
  NameClaims claims;
  EXPECT_EQ(claims.claim("/out", "标题"_t, "http://a"), "标题.mp4"_t);
  EXPECT_EQ(claims.claim("/out", "标题"_t, "http://b"), "标题 (2).mp4"_t);
  EXPECT_EQ(claims.claim("/out", "标题"_t, "http://c"), "标题 (3).mp4"_t);
  EXPECT_EQ(claims.claim("/out", "标题"_t, "http://b"), "标题 (2).mp4"_t);  // downloading again rewrites its own
  EXPECT_EQ(claims.claim("/elsewhere", "标题"_t, "http://b"), "标题.mp4"_t);
  EXPECT_EQ(claims.claim("/out", "", "http://d"), "未命名视频.mp4"_t);
  EXPECT_EQ(claims.claim("/out", "", "http://e"), "未命名视频 (2).mp4"_t);
}

TEST(NameClaims, LongNamesAreCutAtACharacterBoundaryToFitTheFileSystem) {
  NameClaims claims;
  Text long_title;
  for (int i = 0; i < 100; ++i) long_title += "视"_t;  // 300 bytes in UTF-8
  for (int n = 1; n <= 1200; ++n) {
    Text name = claims.claim("/out", long_title, "http://v/" + std::to_string(n));
    std::string utf8 = utf8_from_gbk(name);
    ASSERT_LE(utf8.size() + temporary_suffix_bytes, 255u) << n;
    ASSERT_EQ(gbk_from_utf8(utf8), name) << "cut inside a character";
  }
  EXPECT_EQ(fit_file_base("a\x01" "b\x7F" "c\td", 100), "abcd");
  EXPECT_EQ(fit_file_base("中文"_t, 5), "中"_t);  // 中 is 3 bytes in UTF-8; 文 would make 6
}

// Bytes that are not code page 936 (a lead byte before a byte that cannot end a character) become two
// characters in UTF-8, U+FFFD and that byte: counted as one 3-byte character they made names too long,
// and a control byte after a lead byte stayed in the name.
TEST(NameClaims, BrokenDoubleByteCharactersStillFitAndLoseControlBytes) {
  struct Case {
    Text base;
    std::size_t limit;
    Text fitted;
  } cases[] = {
      {"\xB3$\xB3$", 6, "\xB3$"},         // 4 bytes in UTF-8; the next "\xB3" would make 7
      {"\xB3$\xB3$", 8, "\xB3$\xB3$"},
      {"a\x81\nb", 100, "a\x81" "b"},     // the line feed goes even after a lead byte
      {"\x81\x7F\x81\x01", 100, "\x81\x81"},
      {"\x81", 2, ""},                    // a lone lead byte is U+FFFD: 3 bytes
      {"a\x81/..b", 100, "a\x81..b"},        // no "/" survives to make the name a path
  };
  for (const auto& c : cases) {
    const Text fitted = fit_file_base(c.base, c.limit);
    EXPECT_EQ(fitted, c.fitted) << c.base;
    EXPECT_LE(utf8_from_gbk(fitted).size(), c.limit) << c.base;
  }
}
