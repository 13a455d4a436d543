// JsonDocument: every works-list answer is parsed and read by path. Input: optional path lines (UTF-8,
// any of the forms), a blank line, then the answer as it comes off the wire (UTF-8). Without a blank
// line the whole input is the answer. Besides the given paths, every value of the document is visited
// through paths of each form (dotted names, "['name']", ["name"], "[n]") built from its member names.

#include <deque>

#include "fuzz_support.h"
#include "parsing/json_document.h"
#include "web/encoding.h"

using namespace kestrano;
using fuzz::check;

namespace {

constexpr std::size_t kMaxVisits = 256;
constexpr std::size_t kMaxNamesPerValue = 64;

// A JavaScript string literal's body for a name in code page 936: only single-byte characters need
// escapes (a trail byte may be a backslash or a quote without being one).
Text quoted_name(const Text& name, char quote) {
  Text out;
  fuzz::for_each_char(name, [&](std::size_t i, std::size_t width) {
    const char c = name[i];
    if (width == 2) {
      out.append(name, i, 2);
    } else if (c == '\\' || c == quote) {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  });
  return out;
}

bool is_identifier(const Text& name) {
  if (name.empty()) return false;
  bool ok = true;
  bool first = true;
  fuzz::for_each_char(name, [&](std::size_t i, std::size_t width) {
    const auto c = static_cast<unsigned char>(name[i]);
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$';
    const bool digit = c >= '0' && c <= '9';
    if (width == 1 && !(letter || (digit && !first) || c >= 0x80)) ok = false;
    first = false;
  });
  return ok;
}

// Reading one path: every operation answers without throwing, and the answers agree with each other.
void read_path(const JsonDocument& doc, const Text& path) {
  const Text json = doc.get_member_json(path);
  check(doc.get_text(path, true) == json, "get_text as JSON is get_member_json", path);
  const Text text = doc.get_text(path);
  (void)doc.get_number(path);
  const int type = doc.type_of(path);
  const int count = doc.count(path);
  std::vector<Text> names{"stale"};
  const int named = doc.member_names(names, path);
  check(named == static_cast<int>(names.size()), "member_names counts what it returns", path);
  if (type == json_type::object || type == json_type::array) {
    check(count == named, "count is the number of member names", path);
  } else {
    check(named == 0, "only objects and arrays have member names", path);
  }
  if (type == json_type::string || type == json_type::number || type == json_type::other) {
    check(count == 0, "a string, number or boolean counts 0", path);
  }
  if (path.empty()) return;  // the root: get_text and friends fail there, type_of and count take it

  check(doc.has_member(path) == (type != json_type::null_or_absent), "has_member agrees with type_of", path);
  if (type == json_type::object) check(text == "[object Object]", "an object reads as [object Object]", path);
  if (json.empty()) {
    check(type == json_type::null_or_absent && text.empty(), "what has no JSON is absent", path);
    return;
  }
  const JsonDocument copy = doc.get_document(path);
  check(copy.to_json() == json, "get_document holds a copy of the value", path);
}

// Visits the values of the document breadth-first, reaching each member through every path form and
// checking that the forms name the same value.
void visit_all(const JsonDocument& doc) {
  std::deque<Text> queue{Text()};
  std::size_t visits = 0;
  while (!queue.empty() && visits++ < kMaxVisits) {
    const Text path = queue.front();
    queue.pop_front();
    read_path(doc, path);
    const int type = doc.type_of(path);
    if (type != json_type::object && type != json_type::array) continue;

    std::vector<Text> names;
    doc.member_names(names, path);
    // A name with a character code page 936 lacks, or cut at a "\u0000", names some other member.
    const Text parent_json = path.empty() ? doc.to_json() : doc.get_member_json(path);
    const bool names_exact = parent_json.find("\\u0000") == Text::npos;
    for (std::size_t i = 0; i < names.size() && i < kMaxNamesPerValue; ++i) {
      const Text& name = names[i];
      const Text single = path + "['" + quoted_name(name, '\'') + "']";
      const Text dbl = path + "[\"" + quoted_name(name, '"') + "\"]";
      const Text json = doc.get_member_json(single);
      check(doc.get_member_json(dbl) == json, "['name'] and [\"name\"] name the same value", dbl);
      if (is_identifier(name)) {
        const Text dotted = path.empty() ? name : path + "." + name;
        check(doc.get_member_json(dotted) == json, "a dotted name and ['name'] name the same value", dotted);
      }
      if (type == json_type::array) {
        const Text indexed = path + "[" + name + "]";
        check(doc.get_member_json(indexed) == json, "[n] and ['n'] name the same element", indexed);
      }
      if (names_exact && name.find('?') == Text::npos) {
        check(!json.empty(), "every member name leads to its value", single);
      }
      queue.push_back((i % 2) ? dbl : single);
    }
  }
}

// The document written out reads back as the same document. Names that differ only in characters code
// page 936 lacks are written alike ("?") and read back as one member, so where the text holds a "?" the
// first round may lose such a member; from the second round on the text must be stable.
void check_reparse(const JsonDocument& doc) {
  const Text json = doc.to_json();
  if (json == "null") return;  // a root that is null (1e400 is written as null too) does not parse
  JsonDocument again;
  check(again.parse(json), "to_json output parses", json);
  const Text second = again.to_json();
  if (json.find('?') == Text::npos) check(second == json, "to_json of the reparsed document is the same", json);
  JsonDocument third;
  check(third.parse(second), "to_json output of a reparsed document parses", second);
  check(third.to_json() == second, "to_json is stable after one round", second);
}

std::vector<Text> lines_of(std::string_view text) {
  std::vector<Text> lines;
  for (std::string_view line : fuzz::pieces(text, "\n", 64)) {
    if (line.empty()) continue;
    if (line.back() == '\r') line.remove_suffix(1);
    lines.push_back(gbk_from_utf8(line));
  }
  return lines;
}

// Changes through the given paths on a document of its own; what comes out must still be JSON.
void change(JsonDocument& doc, const std::vector<Text>& paths) {
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const Text& path = paths[k];
    const Text& value = paths[(k + 1) % paths.size()];
    switch (k % 6) {
      case 0: doc.set_member(path, value, false); break;
      case 1: doc.set_member(path, value, true); break;
      case 2: doc.set_member_json(path, value); break;
      case 3: doc.push(value, path, k % 4 == 3); break;
      case 4: doc.set_member_number(path, static_cast<double>(k) / 3); break;
      case 5:
        doc.delete_member(path);
        check(!doc.has_member(path), "a deleted member is gone", path);
        break;
    }
    (void)doc.get_element_text(static_cast<int>(k) - 1, path);
  }
  doc.remove_element(-1);
  doc.set_element(0, "元素"_t);
  (void)doc.to_json();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::bytes_view(data, size);
  const std::size_t blank = input.find("\n\n");
  const std::string_view path_text = blank == std::string_view::npos ? std::string_view() : input.substr(0, blank);
  const std::string_view answer = blank == std::string_view::npos ? input : input.substr(blank + 2);

  // Whatever bytes reach parse, as they are.
  JsonDocument raw;
  if (raw.parse(fuzz::text_of(answer))) check_reparse(raw);

  // The collector's way: the UTF-8 answer taken into code page 936, then parsed and read.
  const Text gbk = to_text(convert_charset(to_bytes(answer)));
  JsonDocument doc;
  const bool parsed = doc.parse(gbk);
  const std::vector<Text> paths = lines_of(path_text);
  for (const Text& path : paths) read_path(doc, path);
  if (!parsed) {
    check(doc.to_json() == "null" && doc.type_of() == json_type::null_or_absent, "a failed parse leaves null");
    return 0;
  }
  check_reparse(doc);
  visit_all(doc);

  if (!paths.empty()) {
    const Text before = doc.to_json();
    JsonDocument changed;
    changed.parse(gbk);
    const JsonDocument alias = changed;  // copies share one root
    change(changed, paths);
    check(alias.to_json() == changed.to_json(), "a copy sees the changes made through the other", before);
    check(doc.to_json() == before, "a document parsed on its own is not changed", before);
  }
  return 0;
}
