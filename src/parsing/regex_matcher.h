#pragma once
// RegexMatcher: one regular expression run over one subject text, kept for later questions.
//
// Matching works on the subject as UTF-16 (the subject and pattern are converted from code page 936,
// results converted back), so counts such as {10,100} and match indexes count characters, not bytes.
// The dialect is ECMAScript-like: \d, \w and \s are ASCII classes, \uhhhh and \xhh escapes, "[]" matches
// nothing, a back reference to an unset group matches the empty text.
//
// Failures are silent: an invalid pattern makes `create` false and every question empty or 0; an index
// outside the matches or groups gives empty text. An instance belongs to one thread at a time; copies
// share the compiled pattern and the matches and keep their own subject.

#include <memory>

#include "text/text.h"

namespace kestrano {

struct CompiledPattern;
struct MatchList;

class RegexMatcher {
 public:
  RegexMatcher();
  ~RegexMatcher();
  RegexMatcher(const RegexMatcher& other);
  RegexMatcher& operator=(const RegexMatcher& other);

  // Compiles the pattern and runs it over subject. Matching ignores case unless case_sensitive; with
  // multiline "^" and "$" also match at line breaks; with global every match is found, else the first.
  // quote_marker turns every "#引号" in the pattern into a double quote first. True when the pattern
  // was accepted and matching ran, even if nothing matched.
  bool create(const Text& pattern_text, const Text& subject, bool case_sensitive = false,
              bool multiline = true, bool global = true, bool quote_marker = false);

  // The pattern in force after the quote substitution; empty before any `create`.
  Text pattern() const;
  // The subject with the matches replaced (every match, or the first without global). The replacement
  // may use $1..$99 (a group; empty when it did not take part), $& (the match) and $$ (a dollar sign).
  Text replace(const Text& replacement) const;
  int match_count() const;
  // Match index, 1-based.
  Text match_text(int index) const;
  // Group group_index (1-based) of match match_index (1-based); empty when the group did not take part.
  Text group_text(int match_index, int group_index) const;
  // Capture groups of the first match; 0 when nothing matched.
  int group_count() const;

 private:
  std::shared_ptr<const CompiledPattern> regex_object;
  std::shared_ptr<const MatchList> matches;
  Text subject;
};

}  // namespace kestrano
