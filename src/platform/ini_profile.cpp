#include "platform/ini_profile.h"

#include <optional>
#include <vector>

namespace kestrano {
namespace {

struct Line {
  std::string_view content;  // without the line break
  std::size_t begin = 0;     // offset of the line in the file's text
  std::size_t content_end = 0;
  std::size_t end = 0;       // after the line break, if any
  bool has_newline = false;  // a lone CR at the end of the file ends no line
};

std::vector<Line> lines_of(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t newline = text.find('\n', begin);
    std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
    std::size_t content_end = newline == std::string_view::npos ? text.size() : newline;
    if (content_end > begin && text[content_end - 1] == '\r') --content_end;
    lines.push_back({text.substr(begin, content_end - begin), begin, content_end, end,
                     newline != std::string_view::npos});
    begin = end;
  }
  return lines;
}

// Blanks are single-byte and below 0x40, so they can never be the trail byte of a GBK character.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

bool names_match(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  return a.empty() || find(a, b, {.start = 1, .ignore_case = true}) == 1;
}

// The section a header line opens, or nothing for any other line. "]" (5D) can be a GBK trail byte,
// so the closing bracket is searched character-wise.
std::optional<std::string_view> section_of(std::string_view content) {
  std::string_view t = trim_blanks(content);
  if (t.empty() || t.front() != '[') return std::nullopt;
  t.remove_prefix(1);
  int close = find(t, "]");
  if (close > 0) t = t.substr(0, static_cast<std::size_t>(close - 1));
  return trim_blanks(t);
}

struct Entry {
  std::string_view key;
  std::string_view value;
};

// "=" (3D) is below every GBK trail byte, so a plain byte search finds it.
std::optional<Entry> entry_of(std::string_view content) {
  std::size_t equals = content.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return Entry{trim_blanks(content.substr(0, equals)), trim_blanks(content.substr(equals + 1))};
}

// Where the wanted section and key sit among the lines.
struct Location {
  std::optional<std::size_t> section_line;
  std::optional<std::size_t> key_line;
  std::size_t last_filled_line = 0;  // the section's last non-blank line (its header at least)
};

Location locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  Location where;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto name = section_of(lines[i].content)) {
      if (where.section_line) break;  // the wanted section ends at the next header
      if (names_match(*name, section)) where.section_line = where.last_filled_line = i;
      continue;
    }
    if (!where.section_line) continue;
    if (!trim_blanks(lines[i].content).empty()) where.last_filled_line = i;
    if (auto entry = entry_of(lines[i].content); entry && names_match(entry->key, key)) {
      where.key_line = i;
      break;
    }
  }
  return where;
}

std::string_view without_quotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// The longest prefix of at most `limit` bytes that ends on a character boundary.
std::string_view cut_to(std::string_view value, std::size_t limit) {
  if (value.size() <= limit) return value;
  std::size_t i = 0;
  while (i < value.size()) {
    std::size_t width = is_lead_byte(static_cast<unsigned char>(value[i])) && i + 1 < value.size() ? 2 : 1;
    if (i + width > limit) break;
    i += width;
  }
  return value.substr(0, i);
}

// New lines follow the file's own line breaks; a file without any gets the Windows ones.
std::string_view line_break_of(std::string_view text) {
  std::size_t newline = text.find('\n');
  if (newline != std::string_view::npos && (newline == 0 || text[newline - 1] != '\r')) return "\n";
  return "\r\n";
}

}  // namespace

Text read_profile_string(std::string_view file_text, std::string_view section, std::string_view key) {
  auto lines = lines_of(file_text);
  Location where = locate(lines, section, key);
  if (!where.key_line) return {};
  std::string_view value = entry_of(lines[*where.key_line].content)->value;
  return Text(cut_to(without_quotes(value), profile_value_limit));
}

Text write_profile_string(std::string_view file_text, std::string_view section, std::string_view key,
                          std::string_view value) {
  value = value.substr(0, std::min(value.find('\r'), value.find('\n')));
  const std::string_view eol = line_break_of(file_text);
  Text entry = Text(key) + "=" + Text(value);

  auto lines = lines_of(file_text);
  Location where = locate(lines, section, key);
  Text out;
  if (where.key_line) {
    const Line& line = lines[*where.key_line];
    out.append(file_text.substr(0, line.begin)).append(entry).append(file_text.substr(line.content_end));
  } else if (where.section_line) {
    const Line& line = lines[where.last_filled_line];
    out.append(file_text.substr(0, line.end));
    if (!line.has_newline) out.append(eol);
    out.append(entry).append(eol).append(file_text.substr(line.end));
  } else {
    out.append(file_text);
    if (!file_text.empty() && file_text.back() != '\n') out.append(eol);
    out.append("[").append(section).append("]").append(eol).append(entry).append(eol);
  }
  return out;
}

}  // namespace kestrano
