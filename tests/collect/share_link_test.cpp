#include "collect/share_link.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

using namespace kestrano;

namespace {
const Text kObject =
    R"({"metiaId":"1642318903520147","authorType":"media","authorId":"Kq3vT8nWx2LcZp5RbY7hGd"})";

Text percent_encode(const Text& text, bool lower = false) {
  static const char* upper_digits = "0123456789ABCDEF";
  static const char* lower_digits = "0123456789abcdef";
  const char* digits = lower ? lower_digits : upper_digits;
  Text out;
  for (unsigned char c : text) {
    if (std::isalnum(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}
const Text kPrefix = "https://quanmin.baidu.com/feedvideoui/api?pd=author_share_mvideo&ucenter=ext%3D";
}  // namespace

TEST(UrlDecode, Table) {
  struct Case {
    Text in;
    bool convert;
    Text out;
  } cases[] = {
      {"%7B%7b", false, "{{"},
      {"a+b", false, "a+b"},
      {"%%41", false, "%A"},          // a stray "%" stays and decoding goes on at the next byte
      {"100%", false, "100%"},
      {"%4", false, "%4"},
      {"%zz%41", false, "%zzA"},
      {"a%00b", false, "ab"},          // an escape of 0 adds nothing
      {"%E4%B8%AD", true, "中"_t},
      {"%E4%B8%AD", false, "\xE4\xB8\xAD"},
      {"\xD6\xD0", true, "??"},       // GBK bytes are not UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(url_decode(c.in, c.convert), c.out) << c.in;
}

TEST(TextAfterLast, Table) {
  EXPECT_EQ(text_after_last("a ext=1 ext=2", "ext="), "2");
  EXPECT_EQ(text_after_last("no marker", "ext="), "");
  EXPECT_EQ(text_after_last("ends ext=", "ext="), "");
  // 5C as the trail byte of a double-byte character is no backslash.
  EXPECT_EQ(text_after_last("a\\b\x95\x5C" "c", "\\"), "b\x95\x5C" "c");
}

TEST(ShareLink, AcceptedForms) {
  struct Case {
    const char* name;
    Text link;
    Text expected;
  } cases[] = {
      {"sample link, encoded twice", sample_share_link(), kObject},
      {"encoded twice by hand", kPrefix + percent_encode(percent_encode(kObject)), kObject},
      {"encoded once", kPrefix + percent_encode(kObject), kObject},
      {"lower-case hex digits", kPrefix + percent_encode(percent_encode(kObject, true), true), kObject},
      // The box holds GBK: Chinese text around the link is not UTF-8 and turns into "?", while the
      // ASCII object after "ext=" stays intact.
      {"share text around it", "看看这个作者 "_t + sample_share_link() + " 备注"_t, kObject + " ???"},
      {"last of two ext=", "ext=other&" + kPrefix + percent_encode(kObject), kObject},
  };
  for (const auto& c : cases) {
    auto ext = parse_share_link(c.link);
    ASSERT_TRUE(ext.has_value()) << c.name;
    EXPECT_EQ(*ext, c.expected) << c.name;
  }
}

TEST(ShareLink, Refused) {
  const Text no_type = R"({"metiaId":"1","authorId":"2"})";
  const Text no_meta = R"({"authorType":"media","authorId":"2"})";
  for (const Text& link : {Text("https://example.com/"), Text(""), kPrefix + percent_encode(no_type),
                           kPrefix + percent_encode(no_meta),
                           kPrefix + percent_encode(kObject) + "&ext=later"}) {
    EXPECT_FALSE(parse_share_link(link).has_value()) << link;
  }
}
