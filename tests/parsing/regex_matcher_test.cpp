#include "parsing/regex_matcher.h"

#include <gtest/gtest.h>

#include "text/codepage.h"

using namespace kestrano;

namespace {

const Text kMarker = R"(\{uid\d+,nick[%\w]+\})";

Text repeat(const Text& piece, int times) {
  Text out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

}  // namespace

TEST(RegexMatcher, MatchesAndReplacesWithTheDefaultOptions) {
  struct Case {
    Text pattern;
    Text subject;
    int count;
    Text removed;  // replace with the empty text
  } cases[] = {
      {kMarker, "a{uid12,nick%E5%A5}b", 1, "ab"},
      {kMarker, "a{UID12,NICK%E5%A5}b", 1, "ab"},  // case is ignored by default
      {kMarker, "{uid1,nick_x}看{uid22,nickAb9}视频{uid,nickx}"_t, 2, "看视频{uid,nickx}"_t},
      {kMarker, "no marker here", 0, "no marker here"},
      {kMarker, "cut inside a character \xD6", 0, "cut inside a character \xD6"},
      {kMarker, "{uid12,nick中}"_t, 0, "{uid12,nick中}"_t},  // \w is ASCII only
      {"^b", "a\nb\r\nb", 2, "a\n\r\n"},           // multiline by default
      {"a$", "a\na", 2, "\n"},
      {"视."_t, "看视频视"_t, 1, "看视"_t},            // one Chinese character is one character
      {"\\u4e2d+", "中中文"_t, 1, "文"_t},
      {"\\x41", "aAb", 2, "b"},
      {"α"_t, "ΑΒα"_t, 2, "Β"_t},                    // case folding beyond ASCII
      {"\\s+", "a \t\r\n\v\fb　c"_t, 1, "ab　c"_t},   // \s: ASCII blanks; the ideographic space stays
      {"\\d+", "a1b22c", 2, "abc"},
      {"[]", "abc", 0, "abc"},                     // an empty class matches nothing
      {"x*", "abc", 4, "abc"},                     // empty matches between the characters
      {"", "ab", 3, "ab"},
      {"(a)|b\\1", "b", 1, ""},                    // a reference to an unset group matches empty
      {"", "", 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern + " / " + c.subject);
    RegexMatcher m;
    ASSERT_TRUE(m.create(c.pattern, c.subject));
    EXPECT_EQ(m.match_count(), c.count);
    EXPECT_EQ(m.replace(""), c.removed);
    EXPECT_EQ(m.pattern(), c.pattern);
  }
}

TEST(RegexMatcher, OptionsChangeWhatMatches) {
  struct Case {
    Text pattern;
    Text subject;
    bool case_sensitive, multiline, global, quote_marker;
    int count;
    Text replaced;  // replace with "<$&>"
  } cases[] = {
      {kMarker, "{UID1,NICKa}", true, true, true, false, 0, "{UID1,NICKa}"},
      {kMarker, "{uid1,nicka}", true, true, true, false, 1, "<{uid1,nicka}>"},
      {"^b", "a\nb", false, false, true, false, 0, "a\nb"},
      {"a$", "a\n", false, false, true, false, 0, "a\n"},  // "$" without multiline: the very end only
      {"a", "aXa", false, true, false, false, 1, "<a>Xa"},  // not global: the first match only
      {"a", "aXa", false, true, true, false, 2, "<a>X<a>"},
      {"a#引号b"_t, "a\"b", false, true, true, true, 1, "<a\"b>"},
      {"a#引号b"_t, "a\"b", false, true, true, false, 0, "a\"b"},
      {"a#引号b"_t, "a#引号b"_t, false, true, true, false, 1, "<a#引号b>"_t},
      {"#引号"_t, "\"x\"", false, true, true, true, 2, "<\">x<\">"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern + " / " + c.subject);
    RegexMatcher m;
    ASSERT_TRUE(m.create(c.pattern, c.subject, c.case_sensitive, c.multiline, c.global, c.quote_marker));
    EXPECT_EQ(m.match_count(), c.count);
    EXPECT_EQ(m.replace("<$&>"), c.replaced);
  }
  RegexMatcher m;
  m.create("a#引号b"_t, "", false, true, true, true);
  EXPECT_EQ(m.pattern(), "a\"b");
}

TEST(RegexMatcher, InvalidPatternsAndUnaskedQuestionsGiveNothing) {
  RegexMatcher fresh;
  EXPECT_EQ(fresh.pattern(), "");
  EXPECT_EQ(fresh.replace("x"), "");
  EXPECT_EQ(fresh.match_count(), 0);
  EXPECT_EQ(fresh.match_text(1), "");
  EXPECT_EQ(fresh.group_text(1, 1), "");
  EXPECT_EQ(fresh.group_count(), 0);

  for (const Text pattern : {"[abc", "(a", "a)", "*a", "a{2,1}", "\\", "(?<n>a)(?<n>b)", "\\uD800"}) {
    SCOPED_TRACE(pattern);
    RegexMatcher m;
    ASSERT_TRUE(m.create("(a)", "a"));  // the results of an earlier create go too
    EXPECT_FALSE(m.create(pattern, "abc a"));
    EXPECT_EQ(m.replace(""), "");
    EXPECT_EQ(m.match_count(), 0);
    EXPECT_EQ(m.match_text(1), "");
    EXPECT_EQ(m.group_text(1, 1), "");
    EXPECT_EQ(m.group_count(), 0);
    EXPECT_EQ(m.pattern(), pattern);  // the object was made; its pattern just did not compile
  }
}

TEST(RegexMatcher, BoundedCountsTakeTheFirstCharacters) {
  struct Case {
    Text subject;
    Text first_match;
  } cases[] = {
      {repeat("字"_t, 150), repeat("字"_t, 100)},  // 200 bytes of code page 936
      {repeat("字"_t, 5), ""},
      {repeat("字"_t, 10), repeat("字"_t, 10)},
      {repeat("a", 201), repeat("a", 100)},
      {"a" + repeat("字"_t, 120), "a" + repeat("字"_t, 99)},
      {repeat("\r\n", 60), repeat("\r\n", 50)},  // [\s\S] takes line breaks too
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subject.size());
    RegexMatcher m;
    ASSERT_TRUE(m.create(R"([\s\S]{10,100})", c.subject));
    EXPECT_EQ(m.match_text(1), c.first_match);
  }
}

TEST(RegexMatcher, MatchesAndGroupsByOneBasedIndex) {
  RegexMatcher m;
  ASSERT_TRUE(m.create(R"((\d+)-(\w+)?(x)?)", "12-ab 3- 中45-z"_t));
  ASSERT_EQ(m.match_count(), 3);
  EXPECT_EQ(m.group_count(), 3);
  struct Case {
    int match, group;
    Text text;
  } cases[] = {
      {1, 1, "12"}, {1, 2, "ab"}, {1, 3, ""},  {2, 1, "3"}, {2, 2, ""},  {3, 1, "45"}, {3, 2, "z"},
      {0, 1, ""},   {4, 1, ""},   {1, 0, ""},  {1, 4, ""},  {-1, 1, ""}, {1, -1, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(m.group_text(c.match, c.group), c.text) << c.match << "," << c.group;
  }
  EXPECT_EQ(m.match_text(1), "12-ab");
  EXPECT_EQ(m.match_text(2), "3-");
  EXPECT_EQ(m.match_text(3), "45-z");
  EXPECT_EQ(m.match_text(0), "");
  EXPECT_EQ(m.match_text(4), "");

  ASSERT_TRUE(m.create("(a)(b)", "xyz"));
  EXPECT_EQ(m.group_count(), 0);  // counted on the first match, and there is none
}

TEST(RegexMatcher, ReplacementsReferToTheMatch) {
  struct Case {
    Text pattern, subject, replacement, result;
  } cases[] = {
      {"(\\w+)@(\\w+)", "ann@site bob@home", "$2:$1", "site:ann home:bob"},
      {"(a)", "a", "[$&][$$][$0][$2][$]$", "[a][$][$0][$2][$]$"},
      {"(a)", "a", "$10 $01 $1$1", "a0 a aa"},       // $10 with one group: $1 then "0"
      {"(a)(b)?", "a", "<$2>", "<>"},                 // a group that did not take part
      {"(1)(2)(3)(4)(5)(6)(7)(8)(9)(0)", "1234567890", "$10$9", "09"},
      {"字"_t, "一字二字"_t, "[$&]", "一[字]二[字]"_t},
      {"x*", "ab", "-", "-a-b-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern + " / " + c.replacement);
    RegexMatcher m;
    ASSERT_TRUE(m.create(c.pattern, c.subject));
    EXPECT_EQ(m.replace(c.replacement), c.result);
    EXPECT_EQ(m.replace(c.replacement), c.result);  // replace leaves the matches as they were
  }
}

TEST(RegexMatcher, CopiesShareTheMatchesAndKeepTheirOwnResults) {
  RegexMatcher original;
  ASSERT_TRUE(original.create("(b)", "abcb"));
  RegexMatcher copy(original);
  EXPECT_EQ(copy.match_count(), 2);
  EXPECT_EQ(copy.replace("X"), "aXcX");
  EXPECT_EQ(copy.group_text(2, 1), "b");
  ASSERT_TRUE(copy.create("c", "ccc"));
  EXPECT_EQ(copy.match_count(), 3);
  EXPECT_EQ(original.match_count(), 2);
  EXPECT_EQ(original.replace("X"), "aXcX");
  EXPECT_EQ(original.pattern(), "(b)");
  copy = original;
  EXPECT_EQ(copy.pattern(), "(b)");
  EXPECT_EQ(copy.match_text(1), "b");
}

TEST(RegexMatcher, RunawayPatternsEndWithoutHanging) {
  // Catastrophic backtracking hits the engine's match limit: the search stops, the call returns.
  RegexMatcher m;
  ASSERT_TRUE(m.create("(a+)+$", repeat("a", 40) + "!"));
  EXPECT_EQ(m.match_count(), 0);
  EXPECT_EQ(m.replace(""), repeat("a", 40) + "!");
}
