#include "text/text.h"

#include <algorithm>

namespace kestrano {
namespace {

unsigned char fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

// Compares `what` with `text` at byte offset `at`. With ignore_case only the ASCII letters of
// single-byte characters fold: a trail byte (after a lead byte) is compared exactly, since 0x41..0x7A
// are valid GBK trail bytes.
bool matches_at(std::string_view text, std::size_t at, std::string_view what, bool ignore_case) {
  if (!ignore_case) return text.compare(at, what.size(), what) == 0;
  bool trail = false;
  for (std::size_t i = 0; i < what.size(); ++i) {
    auto a = static_cast<unsigned char>(text[at + i]);
    auto b = static_cast<unsigned char>(what[i]);
    if (trail) {
      if (a != b) return false;
      trail = false;
    } else {
      if (fold(a) != fold(b)) return false;
      trail = is_lead_byte(a);
    }
  }
  return true;
}

// Walks character starts from byte offset 0 and calls `visit(offset)` for each one at or after
// `from`; `visit` returns false to stop.
template <typename Visit>
void for_each_char_start(std::string_view text, std::size_t from, Visit visit) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (i >= from && !visit(i)) return;
    i += (is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
}

std::size_t find_offset(std::string_view text, std::string_view what, std::size_t from, bool ignore_case) {
  std::size_t found = std::string_view::npos;
  if (what.empty() || what.size() > text.size()) return found;
  if (!ignore_case) {
    // The library's search finds the byte matches; the first that begins a character is the answer
    // (a match may begin at a trail byte). The walk over character starts only runs up to each match.
    std::size_t start = 0;  // a character start
    for (std::size_t at = text.find(what, from); at != std::string_view::npos; at = text.find(what, at + 1)) {
      while (start < at) start += (is_lead_byte(static_cast<unsigned char>(text[start])) && start + 1 < text.size()) ? 2 : 1;
      if (start == at) return at;
    }
    return found;
  }
  for_each_char_start(text, from, [&](std::size_t i) {
    if (i + what.size() > text.size()) return false;
    if (matches_at(text, i, what, ignore_case)) {
      found = i;
      return false;
    }
    return true;
  });
  return found;
}

bool is_blank_at(std::string_view text, std::size_t i, std::size_t& width) {
  if (text[i] == ' ') {
    width = 1;
    return true;
  }
  if (i + 1 < text.size() && static_cast<unsigned char>(text[i]) == 0xA1 &&
      static_cast<unsigned char>(text[i + 1]) == 0xA1) {
    width = 2;
    return true;
  }
  width = is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
  return false;
}

}  // namespace

Bytes to_bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Text to_text(const Bytes& bytes) {
  auto end = std::find(bytes.begin(), bytes.end(), 0);
  return Text(bytes.begin(), end);
}

int find(std::string_view text, std::string_view what, Search options) {
  if (options.start < 1) options.start = 1;
  auto at = find_offset(text, what, static_cast<std::size_t>(options.start - 1), options.ignore_case);
  return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

int find_last(std::string_view text, std::string_view what, bool ignore_case) {
  if (what.empty() || what.size() > text.size()) return -1;
  int last = -1;
  for_each_char_start(text, 0, [&](std::size_t i) {
    if (i + what.size() > text.size()) return false;
    if (matches_at(text, i, what, ignore_case)) last = static_cast<int>(i) + 1;
    return true;
  });
  return last;
}

bool contains(std::string_view text, std::string_view what, bool ignore_case) {
  return find(text, what, {1, ignore_case}) != -1;
}

Text replace_all(std::string_view text, std::string_view what, std::string_view with, bool ignore_case) {
  if (what.empty()) return Text(text);
  Text out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + what.size() <= text.size() && matches_at(text, i, what, ignore_case)) {
      out.append(with);
      i += what.size();
      continue;
    }
    std::size_t width = is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    out.append(text.substr(i, width));
    i += width;
  }
  return out;
}

std::vector<Text> split(std::string_view text, std::string_view separator) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t from = 0;
  while (from < text.size()) {
    auto at = find_offset(text, separator, from, false);
    if (at == std::string_view::npos) {
      pieces.emplace_back(text.substr(from));
      return pieces;
    }
    pieces.emplace_back(text.substr(from, at - from));
    from = at + separator.size();
  }
  return pieces;  // a final separator adds no empty last piece
}

Text join(const std::vector<Text>& pieces, std::string_view separator) {
  Text out;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i) out.append(separator);
    out.append(pieces[i]);
  }
  return out;
}

Text trim(std::string_view text) {
  // Leading blanks: walk characters from the start.
  std::size_t begin = 0, width = 0;
  while (begin < text.size() && is_blank_at(text, begin, width)) begin += width;
  // Trailing blanks: find the end of the last non-blank character, walking forward so that an A1 A1
  // pair is never mistaken inside a double-byte character.
  std::size_t end = begin;
  for (std::size_t i = begin; i < text.size(); i += width) {
    if (!is_blank_at(text, i, width)) end = i + width;
  }
  return Text(text.substr(begin, end - begin));
}

Text remove_spaces(std::string_view text) {
  Text out;
  out.reserve(text.size());
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size(); i += width) {
    if (!is_blank_at(text, i, width)) out.append(text.substr(i, width));
  }
  return out;
}

Text left(std::string_view text, int count) {
  if (count <= 0) return {};
  return Text(text.substr(0, std::min<std::size_t>(static_cast<std::size_t>(count), text.size())));
}

Text right(std::string_view text, int count) {
  if (count <= 0) return {};
  auto n = std::min<std::size_t>(static_cast<std::size_t>(count), text.size());
  return Text(text.substr(text.size() - n));
}

Text expand_quote_marker(std::string_view text) {
  // "#引号" in code page 936: '#' D2 FD BA C5.
  static const Text marker = "#\xD2\xFD\xBA\xC5";
  return replace_all(text, marker, "\"");
}

}  // namespace kestrano
