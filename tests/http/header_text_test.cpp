// Header lines, text_between and the request header block: pure text, no network.

#include <gtest/gtest.h>

#include "text/codepage.h"
#include "web/header_text.h"
#include "web/request_headers.h"

using namespace kestrano;

TEST(HeaderText, NameAndValueSplitAtTheFirstColonAndTrim) {
  struct Case {
    Text line, name, value;
  } cases[] = {
      {"Referer: a:b", "Referer", "a:b"},
      {"  Host  :  h  ", "Host", "h"},
      {"X:", "X", ""},
      {":v", "", "v"},
      {"NoColon", "", ""},
      {"", "", ""},
      {"X:\xA1\xA1v w\xA1\xA1", "X", "v w"},  // the ideographic space is a blank too
      {"X-Tab:\tv", "X-Tab", "\tv"},           // only spaces count as blanks
  };
  for (const auto& c : cases) {
    EXPECT_EQ(header_name(c.line), c.name) << c.line;
    EXPECT_EQ(header_value(c.line), c.value) << c.line;
  }
}

TEST(HeaderText, TextBetween) {
  const Text quote_marker = "#引号"_t;
  struct Case {
    Text text, left, right;
    int start;
    bool ignore_case;
    Text expected;
  } cases[] = {
      {"Set-Cookie: a=1; path=/", "Set-Cookie:", ";", 1, false, " a=1"},
      {"abcabc", "b", "b", 1, false, "ca"},                    // the right marker is searched after the left
      {"abcabc", "a", "c", 2, false, "b"},                     // the search for the left marker starts at 2
      {"xAy", "a", "y", 1, true, ""},                          // markers side by side enclose nothing
      {"xAyz", "a", "z", 1, true, "y"},
      {"xAyz", "a", "z", 1, false, ""},
      {"<a><b>", "<", ">", 3, false, "b"},
      {"no markers", "[", "]", 1, false, ""},
      {"[open only", "[", "]", 1, false, ""},
      {"k=\"v1\" j=\"v2\"", "j=" + quote_marker, quote_marker, 1, false, "v2"},
      {"\xB0\xA1\xA1\xB0]x]", "\xA1\xA1", "]", 1, false, ""},  // no match across a character boundary
      {"ab", "", "b", 1, false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_between(c.text, c.left, c.right, c.start, c.ignore_case), c.expected)
        << c.text << " | " << c.left << " | " << c.right;
  }
}

TEST(RequestHeaders, DefaultsAreAppendedInOrderWhenTheirTestFails) {
  const Text url = "https://h/p?q=1";
  struct Case {
    Text given, expected;
  } cases[] = {
      // The worked example.
      {"User-Agent: X\r\nHost: h",
       "User-Agent: X\r\nHost: h\r\nAccept: */*\r\nReferer: https://h/p?q=1\r\nAccept-Language: zh-cn\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      {"",
       "Accept: */*\r\nReferer: https://h/p?q=1\r\nAccept-Language: zh-cn\r\n"
       "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)\r\n"
       "Content-Type: application/x-www-form-urlencoded"},
      // Lower case does not count; a test text inside another header's value does.
      {"referer: x\r\nX-Note: Accept: Accept-Language: User-Agent: Content-Type:",
       "referer: x\r\nX-Note: Accept: Accept-Language: User-Agent: Content-Type:\r\nReferer: https://h/p?q=1"},
      // "Accept-Language:" does not contain "Accept:".
      {"Accept-Language: en\r\nReferer: r\r\nUser-Agent: u\r\nContent-Type: t",
       "Accept-Language: en\r\nReferer: r\r\nUser-Agent: u\r\nContent-Type: t\r\nAccept: */*"},
  };
  for (const auto& c : cases) EXPECT_EQ(complete_header_block(c.given, url), c.expected) << c.given;
}

TEST(RequestHeaders, LinesThatMakeHeaders) {
  auto names_values = [](const Text& block) {
    std::vector<std::pair<Text, Text>> out;
    for (const auto& h : header_lines(block)) out.emplace_back(h.name, h.value);
    return out;
  };
  using Lines = std::vector<std::pair<Text, Text>>;
  EXPECT_EQ(names_values("Referer: a:b"), (Lines{{"Referer", "a:b"}}));  // one line, no CR LF
  EXPECT_EQ(names_values("A: 1\r\n\r\nno colon\r\n: nameless\r\nB:\r\nC: 3\r\n"),
            (Lines{{"A", "1"}, {"B", ""}, {"C", "3"}}));
  // Lone line breaks would split one header into two on the wire; such lines send nothing.
  EXPECT_EQ(names_values("A: 1\nInjected: x\r\nB: 2\rC: 3\r\nD: 4"), (Lines{{"D", "4"}}));
  // Names that are not header tokens (a space, a GBK character) send nothing either.
  EXPECT_EQ(names_values("Bad Name: 1\r\n" + "名字"_t + ": 2\r\nX-Ok_1.~: 3"), (Lines{{"X-Ok_1.~", "3"}}));
  EXPECT_TRUE(header_lines("").empty());
}
