#include "download/file_name.h"

#include <utility>
#include <vector>

#include "parsing/regex_matcher.h"
#include "text/codepage.h"

namespace kestrano {
namespace {

struct Replacement {
  Text what;
  Text with;
};

// The plain replacements, in their order: later ones see what earlier ones made ("……" goes before "…",
// and "…" -> "，" may form the "”，" that a later step shortens).
const std::vector<Replacement>& replacements() {
  static const std::vector<Replacement> list = {
      {"_", ""},
      {" ", ""},  // the ASCII space only; the ideographic space stays
      {"\\", ""},
      {"/", ""},
      {"|", ""},
      {":", ""},
      {"?", ""},
      {"*", ""},
      {"<", ""},
      {">", ""},
      {"\"", ""},
      {"："_t, ""},
      {"？"_t, ""},
      {"#", ""},
      {"@", ""},
      {"!", ""},
      {"！"_t, ""},
      {"。"_t, ""},
      {"~", ""},
      {"（）"_t, ""},
      {"-", ""},
      {"——"_t, ""},
      {"￣"_t, ""},
      {"……"_t, ""},
      {"…"_t, "，"_t},
      {"～"_t, ""},
      {"”，"_t, "”"_t},
      {"\r\n", ""},
      {"()", ""},
      {"\t", ""},
      {"\r", ""},
      {"\n", ""},
  };
  return list;
}

}  // namespace

Text sanitize_file_name(Text& title) {
  RegexMatcher matcher;
  for (const auto& r : replacements()) title = replace_all(title, r.what, r.with);

  // Mention markers; with the default options case is ignored and every marker goes.
  matcher.create(R"(\{uid\d+,nick[%\w]+\})", title);
  title = matcher.replace("");

  // Over 200 bytes the title has more than 100 characters; keep the first 100 (UTF-16 code units).
  if (title.size() > 200) {
    matcher.create(R"([\s\S]{10,100})", title);
    title = matcher.match_text(1);
  }
  return title;
}

}  // namespace kestrano
