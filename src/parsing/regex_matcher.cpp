#include "parsing/regex_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <string>
#include <vector>

#include "text/codepage.h"

namespace kestrano {

struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct ContextFree {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

struct CompiledPattern {
  Text text;  // after the quote substitution
  std::unique_ptr<pcre2_code, CodeFree> code;  // null when the pattern is invalid
  bool global = true;
  std::uint32_t groups = 0;
};

struct Span {
  std::size_t begin = 0, end = 0;
  bool set = false;
};

struct MatchList {
  std::u16string subject;
  // Per match: the whole match first, then one span per capture group.
  std::vector<std::vector<Span>> matches;
};

namespace {

const char16_t* units(const std::u16string& s) { return s.c_str(); }

std::unique_ptr<pcre2_code, CodeFree> compile(const std::u16string& pattern, bool case_sensitive,
                                              bool multiline) {
  // UTF mode: text from code page 936 is always well-formed UTF-16 and lies in the Basic Multilingual
  // Plane, so characters and code units count alike, and case folding covers non-ASCII letters too.
  // Without UCP, \d \w \s keep their ASCII meaning.
  std::uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS | PCRE2_MATCH_UNSET_BACKREF |
                          PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_BACKSLASH_C;
  if (!case_sensitive) options |= PCRE2_CASELESS;
  if (multiline) options |= PCRE2_MULTILINE;
  std::unique_ptr<pcre2_compile_context, ContextFree> context(pcre2_compile_context_create(nullptr));
  if (!context) return nullptr;
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_ANYCRLF);
  int error = 0;
  PCRE2_SIZE offset = 0;
  std::unique_ptr<pcre2_code, CodeFree> code(
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(units(pattern)), pattern.size(), options, &error, &offset,
                    context.get()));
  // The JIT is only faster; where it is missing or refuses the pattern the interpreter runs it.
  if (code) pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);
  return code;
}

int match_at(const pcre2_code* code, const std::u16string& subject, std::size_t offset, pcre2_match_data* data) {
  auto s = reinterpret_cast<PCRE2_SPTR>(units(subject));
  int rc = pcre2_match(code, s, subject.size(), offset, 0, data, nullptr);
  if (rc == PCRE2_ERROR_JIT_STACKLIMIT) rc = pcre2_match(code, s, subject.size(), offset, PCRE2_NO_JIT, data, nullptr);
  return rc;
}

// All matches (or the first), found as an ECMAScript engine finds them: after an empty match the search
// goes on one character later.
std::vector<std::vector<Span>> run(const CompiledPattern& p, const std::u16string& subject) {
  std::vector<std::vector<Span>> found;
  std::unique_ptr<pcre2_match_data, MatchDataFree> data(pcre2_match_data_create_from_pattern(p.code.get(), nullptr));
  if (!data) return found;
  std::size_t offset = 0;
  while (offset <= subject.size()) {
    // No match ends the search, and so does a matching error (a backtracking limit): the matches found
    // so far stand.
    if (match_at(p.code.get(), subject, offset, data.get()) < 0) break;
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
    std::vector<Span> spans(p.groups + 1);
    for (std::uint32_t g = 0; g <= p.groups; ++g) {
      if (ov[2 * g] == PCRE2_UNSET) continue;
      spans[g] = {ov[2 * g], std::max(ov[2 * g], ov[2 * g + 1]), true};
    }
    const Span whole = spans[0];
    found.push_back(std::move(spans));
    if (!p.global) break;
    offset = whole.end > whole.begin ? whole.end : whole.end + 1;
  }
  return found;
}

Text span_text(const MatchList& list, const Span& span) {
  if (!span.set) return {};
  return gbk_from_utf16(std::u16string_view(list.subject).substr(span.begin, span.end - span.begin));
}

// ECMAScript's GetSubstitution for $n, $nn, $& and $$; any other "$" stays as it is.
void substitute(std::u16string& out, const std::u16string& replacement, const MatchList& list,
                const std::vector<Span>& spans) {
  const std::size_t groups = spans.size() - 1;
  auto append_span = [&](const Span& s) {
    if (s.set) out.append(list.subject, s.begin, s.end - s.begin);
  };
  auto digit = [&](std::size_t i) -> int {
    return (i < replacement.size() && replacement[i] >= u'0' && replacement[i] <= u'9') ? replacement[i] - u'0' : -1;
  };
  for (std::size_t i = 0; i < replacement.size(); ++i) {
    char16_t c = replacement[i];
    if (c != u'$' || i + 1 >= replacement.size()) {
      out += c;
      continue;
    }
    char16_t next = replacement[i + 1];
    if (next == u'$') {
      out += u'$';
      ++i;
    } else if (next == u'&') {
      append_span(spans[0]);
      ++i;
    } else if (int d1 = digit(i + 1); d1 >= 0) {
      int d2 = digit(i + 2);
      std::size_t two = d2 >= 0 ? static_cast<std::size_t>(d1 * 10 + d2) : 0;
      if (two >= 1 && two <= groups) {
        append_span(spans[two]);
        i += 2;
      } else if (d1 >= 1 && static_cast<std::size_t>(d1) <= groups) {
        append_span(spans[static_cast<std::size_t>(d1)]);
        i += 1;
      } else {
        out += c;
      }
    } else {
      out += c;
    }
  }
}

}  // namespace

RegexMatcher::RegexMatcher() = default;
RegexMatcher::~RegexMatcher() = default;
RegexMatcher::RegexMatcher(const RegexMatcher& other) = default;
RegexMatcher& RegexMatcher::operator=(const RegexMatcher& other) = default;

bool RegexMatcher::create(const Text& pattern_text, const Text& subject_text, bool case_sensitive, bool multiline,
                          bool global, bool quote_marker) {
  regex_object.reset();
  matches.reset();
  try {
    auto compiled = std::make_shared<CompiledPattern>();
    compiled->text = quote_marker ? expand_quote_marker(pattern_text) : pattern_text;
    compiled->global = global;
    compiled->code = compile(utf16_from_gbk(compiled->text), case_sensitive, multiline);
    regex_object = compiled;
    subject = subject_text;
    if (!compiled->code) return false;
    pcre2_pattern_info(compiled->code.get(), PCRE2_INFO_CAPTURECOUNT, &compiled->groups);
    auto list = std::make_shared<MatchList>();
    list->subject = utf16_from_gbk(subject);
    list->matches = run(*compiled, list->subject);
    matches = std::move(list);
    return true;
  } catch (...) {  // out of memory: report it as a failed create
    matches.reset();
    return false;
  }
}

Text RegexMatcher::pattern() const { return regex_object ? regex_object->text : Text(); }

Text RegexMatcher::replace(const Text& replacement) const {
  if (!matches) return {};
  // Nothing to replace: the subject as it is, without a round trip through UTF-16 that would turn
  // bytes which are no character of code page 936 into "?".
  if (matches->matches.empty()) return subject;
  try {
    const std::u16string with = utf16_from_gbk(replacement);
    std::u16string out;
    std::size_t done = 0;
    for (const auto& spans : matches->matches) {
      if (spans[0].begin < done) continue;  // cannot happen for matches found left to right
      out.append(matches->subject, done, spans[0].begin - done);
      substitute(out, with, *matches, spans);
      done = spans[0].end;
    }
    out.append(matches->subject, done);
    return gbk_from_utf16(out);
  } catch (...) {
    return {};
  }
}

int RegexMatcher::match_count() const { return matches ? static_cast<int>(matches->matches.size()) : 0; }

Text RegexMatcher::match_text(int index) const {
  if (!matches || index < 1 || static_cast<std::size_t>(index) > matches->matches.size()) return {};
  return span_text(*matches, matches->matches[static_cast<std::size_t>(index) - 1][0]);
}

Text RegexMatcher::group_text(int match_index, int group_index) const {
  if (!matches || match_index < 1 || static_cast<std::size_t>(match_index) > matches->matches.size()) return {};
  const auto& spans = matches->matches[static_cast<std::size_t>(match_index) - 1];
  if (group_index < 1 || static_cast<std::size_t>(group_index) >= spans.size()) return {};
  return span_text(*matches, spans[static_cast<std::size_t>(group_index)]);
}

int RegexMatcher::group_count() const {
  if (!matches || matches->matches.empty()) return 0;
  return static_cast<int>(matches->matches.front().size() - 1);
}

}  // namespace kestrano
