#include "text/text.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

using namespace kestrano;

// Every case here is one where a naive byte search would match across a character boundary: the
// needle's bytes occur, but starting on the trail byte of a double-byte character.
TEST(TextSearch, NeverMatchesAcrossDoubleByteBoundary) {
  struct Case {
    Text text, what;
    int first;  // expected find(); find_last must agree when there is a single candidate
  } cases[] = {
      {"\xB0\xA1\xA1\xB0", "\xA1\xA1", -1},      // 啊 + 〖: A1 A1 spans two characters
      {"\xD6\xD0\x5C", "\x5C", 3},               // a real backslash after 中 is found
      {"\x95\x5C", "\x5C", -1},                  // 昞's trail byte is 5C, not a backslash
      {"\x81\x41" "A", "A", 3},                  // trail byte 41 is not the letter A
      {"\xCE\xC4\xD6\xD0", "\xC4\xD6", -1},      // 文中: C4 D6 straddles the two characters
      {"ab\xB0\xA1" "ab", "ab", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find(c.text, c.what), c.first) << testing::PrintToString(c.text);
    EXPECT_EQ(contains(c.text, c.what), c.first != -1);
  }
  EXPECT_EQ(find_last("\x81\x41" "A" "\x81\x41", "A"), 3);
  EXPECT_EQ(replace_all("\x95\x5C\x5C", "\x5C", "/"), "\x95\x5C/");
  EXPECT_EQ(split("\x95\x5C" "a\\b", "\\"), (std::vector<Text>{"\x95\x5C" "a", "b"}));
}

TEST(TextSearch, PositionsAndCaseFolding) {
  EXPECT_EQ(find("abcabc", "c"), 3);
  EXPECT_EQ(find("abcabc", "c", {4}), 6);
  EXPECT_EQ(find("abcabc", "x"), -1);
  EXPECT_EQ(find("abc", ""), -1);
  EXPECT_EQ(find_last("ext=1ext=2", "ext="), 6);
  EXPECT_EQ(find("Set-COOKIE", "cookie", {1, true}), 5);
  EXPECT_EQ(find("Set-COOKIE", "cookie"), -1);
  // Case folding never touches a trail byte: 81 61 ("a" as trail) does not match 81 41.
  EXPECT_EQ(find("\x81\x61", "\x81\x41", {1, true}), -1);
}

TEST(TextEdit, ReplaceSplitTrimParts) {
  EXPECT_EQ(replace_all("aaa", "a", "aa"), "aaaaaa");  // inserted text is not re-examined
  EXPECT_EQ(replace_all("a-b-c", "-", ""), "abc");
  EXPECT_EQ(replace_all("xAbyab", "ab", "_", true), "x_y_");

  EXPECT_EQ(split("a;;b;", ";"), (std::vector<Text>{"a", "", "b"}));
  EXPECT_EQ(split("", ";"), std::vector<Text>{});
  EXPECT_EQ(split(";", ";"), std::vector<Text>{""});
  EXPECT_EQ(split("a; b", "; "), (std::vector<Text>{"a", "b"}));

  const Text wide_space = "\xA1\xA1";
  EXPECT_EQ(trim(wide_space + "  a b " + wide_space), "a b");
  EXPECT_EQ(trim("\xB0\xA1\xA1"), "\xB0\xA1\xA1");  // A1 A1 here straddles 啊 and a lone A1
  EXPECT_EQ(remove_spaces("x = a" + wide_space + "b"), "x=ab");
  EXPECT_EQ(trim("   "), "");

  EXPECT_EQ(left("abc", 2), "ab");
  EXPECT_EQ(left("abc", 0), "");
  EXPECT_EQ(left("abc", -1), "");
  EXPECT_EQ(left("abc", 9), "abc");
  EXPECT_EQ(right("abc", 2), "bc");
  EXPECT_EQ(right("abc", -3), "");
}

TEST(TextEdit, QuoteMarkerAndBytes) {
  EXPECT_EQ(expand_quote_marker("a#引号b#引号"_t), "a\"b\"");
  EXPECT_EQ(expand_quote_marker("#引"_t), "#引"_t);
  Bytes with_zero{'a', 'b', 0, 'c'};
  EXPECT_EQ(to_text(with_zero), "ab");
  EXPECT_EQ(to_bytes("ab"), (Bytes{'a', 'b'}));
}
