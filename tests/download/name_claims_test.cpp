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
