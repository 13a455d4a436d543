#include "web/cookies.h"

#include <gtest/gtest.h>

using namespace kestrano;

TEST(Cookies, MergeTable) {
  struct Case {
    Text old_cookies, new_cookies, merged;
  } cases[] = {
      {"a=1; b=2", "b=3", "b=3; a=1"},
      {"a=1; b=2", "a=deleted", "b=2"},
      {"", "c=1; d=2", "c=1; d=2"},
      {"a=1", "", "a=1"},
      {"", "", ""},
      {"", "c=1;c=1", "c=1"},
      {"", "c=1;c=2", "c=1; c=2"},
      {"x = 1", "", "x=1"},
      {"x=a\xA1\xA1" "b", "", "x=ab"},       // the ideographic space goes too
      {"a=1", "z=deleted", "a=1"},           // a deletion with no old cookie is dropped
      {"a=1;;b=2", "", "a=1; ; b=2"},        // an empty piece survives once
      {"a=1; a=2", "b=1", "b=1; a=1"},       // of two old entries with one name the first is taken
  };
  for (const auto& c : cases) {
    Text cookies = c.old_cookies;
    EXPECT_EQ(merge_cookies(cookies, c.new_cookies), c.merged) << c.old_cookies << " + " << c.new_cookies;
    EXPECT_EQ(cookies, c.merged);
  }
}

TEST(Cookies, NameAndDuplicates) {
  EXPECT_EQ(cookie_name(" sid = 5"), "sid");
  EXPECT_EQ(cookie_name(" flag "), "flag");
  EXPECT_EQ(cookie_name("a=b=c"), "a");
  EXPECT_EQ(remove_duplicates("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(remove_duplicates("", "; "), "");
}
