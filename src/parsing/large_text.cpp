#include "parsing/large_text.h"

#include "text/codepage.h"

namespace kestrano {
namespace {

constexpr std::size_t kSlice = 64 * 1024;

// A GBK slice may only end after a whole character. A lead byte always takes the next byte with it:
// the bytes that can follow a lead byte without forming a pair (below 0x40, 0x7F, 0xFF) are never lead
// bytes themselves, so the converter sees the same characters in slices as in one piece.
std::size_t gbk_slice_end(std::string_view text, std::size_t from) {
  std::size_t i = from;
  const std::size_t limit = from + kSlice;
  while (i < text.size() && i < limit) {
    i += (is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return i;
}

// A UTF-8 slice ends before a byte that starts a character (anything but 10xxxxxx).
std::size_t utf8_slice_end(std::string_view text, std::size_t from) {
  std::size_t i = from + kSlice;
  if (i >= text.size()) return text.size();
  while (i > from && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  return i == from ? from + kSlice : i;
}

}  // namespace

std::string utf8_from_gbk_large(std::string_view gbk) {
  if (gbk.size() <= kSlice) return utf8_from_gbk(gbk);
  std::string out;
  out.reserve(gbk.size() + gbk.size() / 2);
  for (std::size_t from = 0; from < gbk.size();) {
    std::size_t end = gbk_slice_end(gbk, from);
    out += utf8_from_gbk(gbk.substr(from, end - from));
    from = end;
  }
  return out;
}

Text gbk_from_utf8_large(std::string_view utf8) {
  utf8 = utf8.substr(0, utf8.find('\0'));
  if (utf8.size() <= kSlice) return gbk_from_utf8(utf8);
  Text out;
  out.reserve(utf8.size());
  for (std::size_t from = 0; from < utf8.size();) {
    std::size_t end = utf8_slice_end(utf8, from);
    out += gbk_from_utf8(utf8.substr(from, end - from));
    from = end;
  }
  return out;
}

}  // namespace kestrano
