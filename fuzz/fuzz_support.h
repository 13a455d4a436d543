#pragma once
// What the fuzz targets share: turning libFuzzer's bytes into the texts an entry point takes, and
// property checks whose failure libFuzzer reports as a crash (and keeps the input for).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/codepage.h"
#include "text/text.h"

namespace kestrano::fuzz {

// A broken property: say which, show the text it concerns, and abort so that libFuzzer stops with a
// crash and writes the input as an artifact.
[[noreturn]] inline void fail(const char* property, std::string_view detail = {}) {
  std::fprintf(stderr, "\n*** property failed: %s\n", property);
  if (!detail.empty()) {
    std::fprintf(stderr, "*** concerning (%zu bytes): ", detail.size());
    for (unsigned char c : detail.substr(0, 400)) {
      if (c >= 0x20 && c < 0x7F && c != '\\') {
        std::fputc(c, stderr);
      } else {
        std::fprintf(stderr, "\\x%02X", c);
      }
    }
    std::fputc('\n', stderr);
  }
  std::abort();
}

inline void check(bool ok, const char* property, std::string_view detail = {}) {
  if (!ok) fail(property, detail);
}

inline std::string_view bytes_view(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A Text as the system holds one: it ends at the first zero byte.
inline Text text_of(std::string_view bytes) { return Text(bytes.substr(0, bytes.find('\0'))); }

// The same bytes as every text that entered the system through a conversion holds them: valid code
// page 936, with "?" for what is not. Properties that only hold for such texts are checked on this.
inline Text canonical_gbk(std::string_view bytes) { return gbk_from_utf16(utf16_from_gbk(text_of(bytes))); }

// Splits at the first `count - 1` occurrences of `separator`; the last piece keeps the rest. Missing
// pieces are empty.
inline std::vector<std::string_view> pieces(std::string_view data, std::string_view separator, std::size_t count) {
  std::vector<std::string_view> out;
  while (out.size() + 1 < count) {
    std::size_t at = data.find(separator);
    if (at == std::string_view::npos) break;
    out.push_back(data.substr(0, at));
    data.remove_prefix(at + separator.size());
  }
  out.push_back(data);
  out.resize(count);
  return out;
}

// Calls visit(offset, width) for each character of a code page 936 text, by the text layer's rule: a
// lead byte and the byte after it are one character.
template <typename Visit>
void for_each_char(std::string_view text, Visit visit) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t width = is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    visit(i, width);
    i += width;
  }
}

// True when one of the characters of the text is a single byte found in `bytes`.
inline bool has_single_byte_char(std::string_view text, std::string_view bytes) {
  bool found = false;
  for_each_char(text, [&](std::size_t i, std::size_t width) {
    if (width == 1 && bytes.find(text[i]) != std::string_view::npos) found = true;
  });
  return found;
}

// True when `what` occurs starting at a character boundary of the text; `fold` compares the ASCII
// letters of single-byte characters ignoring case.
inline bool occurs_at_boundary(std::string_view text, std::string_view what, bool fold = false) {
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; };
  bool found = false;
  for_each_char(text, [&](std::size_t i, std::size_t) {
    if (found || i + what.size() > text.size()) return;
    bool same = true;
    bool trail = false;
    for (std::size_t k = 0; k < what.size() && same; ++k) {
      auto a = static_cast<unsigned char>(text[i + k]);
      auto b = static_cast<unsigned char>(what[k]);
      same = (fold && !trail) ? lower(a) == lower(b) : a == b;
      trail = !trail && is_lead_byte(a);
    }
    found = same;
  });
  return found;
}

}  // namespace kestrano::fuzz
