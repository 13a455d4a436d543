#include "web/encoding.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace kestrano;

namespace {
Bytes b(std::string_view s) { return Bytes(s.begin(), s.end()); }
}  // namespace

TEST(ConvertCharset, Table) {
  struct Case {
    const char* name;
    Bytes data;
    Text from, to;
    std::optional<int> skip;
    Bytes expected;
  } cases[] = {
      {"utf8 to gbk by default", b("\xE4\xB8\xAD\xE6\x96\x87"), "", "", {}, b("\xD6\xD0\xCE\xC4")},
      {"explicit names", b("\xE4\xB8\xAD\xE6\x96\x87"), "UTF-8", "GBK", {}, b("\xD6\xD0\xCE\xC4")},
      {"cp936 alias", b("\xD6\xD0"), "CP936", "UTF-8", {}, b("\xE4\xB8\xAD")},
      {"empty", {}, "", "", {}, {}},
      {"emoji narrowed", b("a\xF0\x9F\x98\x80"), "", "", {}, b("a?")},
      {"emoji narrowed even to utf8", b("a\xF0\x9F\x98\x80"), "UTF-8", "UTF-8", {}, b("a?")},
      {"euro sign of code page 936", b("\xE2\x82\xAC"), "", "", {}, b("\x80")},
      {"skip 0", b("abcd"), "", "", 0, b("abcd")},
      {"skip 2", b("abcd"), "", "", 2, b("cd")},
      {"skip past the end", b("abcd"), "", "", 9, {}},
      {"byte-order mark dropped", b("\xEF\xBB\xBF{}"), "", "", {}, b("{}")},
      {"unknown charset", b("abc"), "no-such-charset", "", {}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(convert_charset(c.data, c.from, c.to, c.skip), c.expected) << c.name;
  }
}

TEST(Base64, EncodeTable) {
  struct Case {
    Bytes in;
    Text out;
  } cases[] = {
      {{}, ""},
      {b("f"), "Zg=="},
      {b("fo"), "Zm8="},
      {b("foo"), "Zm9v"},
      {b("user:"), "dXNlcjo="},
      {Bytes{0xFF, 0xFE, 0x00}, "//4A"},
  };
  for (const auto& c : cases) EXPECT_EQ(base64_encode(c.in), c.out);
}

TEST(Base64, LongInputIsOneLineAndEveryBufferRoundTrips) {
  Bytes data(300);
  std::iota(data.begin(), data.end(), 0);
  Text encoded = base64_encode(data);
  EXPECT_EQ(encoded.size(), 400u);
  EXPECT_EQ(encoded.find_first_of("\r\n"), Text::npos);
  for (std::size_t n = 0; n <= data.size(); ++n) {
    Bytes part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    ASSERT_EQ(base64_decode(to_bytes(base64_encode(part))), part) << n;
  }
}

TEST(Base64, InvalidInputGivesEmpty) {
  for (const char* bad : {"Zg=a", "Z", "Zm9v!", "=Zg=", "Zg===", "Zm9vZ", "\xD6\xD0"}) {
    EXPECT_TRUE(base64_decode(b(bad)).empty()) << bad;
  }
  EXPECT_EQ(base64_decode(b("Zm9v\r\nYmFy")), b("foobar"));  // line breaks are skipped
  EXPECT_EQ(base64_decode(b("Zg")), b("f"));                 // missing padding is tolerated
}
