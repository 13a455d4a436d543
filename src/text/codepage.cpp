#include "text/codepage.h"

#include "text/icu_converter.h"

namespace kestrano {
namespace {

// ICU converters are not thread-safe; each thread keeps its own, opened once. "windows-936-2000" is
// the Windows code page 936 table itself (euro sign at 80 and the other Windows additions), not the
// GB 18030 superset.
UConverter* gbk() {
  thread_local IcuConverter c = open_icu_converter("windows-936-2000");
  return c.get();
}
UConverter* utf8() {
  thread_local IcuConverter c = open_icu_converter("UTF-8");
  return c.get();
}

std::u16string to_utf16(UConverter* from, std::string_view in) {
  std::u16string out;
  if (in.empty() || !from) return out;
  ucnv_resetToUnicode(from);
  out.resize(in.size() * 2 + 2);
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(from, out.data(), static_cast<int32_t>(out.size()), in.data(),
                            static_cast<int32_t>(in.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string from_utf16(UConverter* to, std::u16string_view in) {
  std::string out;
  if (in.empty() || !to) return out;
  ucnv_resetFromUnicode(to);
  out.resize(in.size() * 4 + 4);
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(to, out.data(), static_cast<int32_t>(out.size()), in.data(),
                              static_cast<int32_t>(in.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// A text holds no NUL: an embedded zero ends it, as a C string would.
Text cut_at_nul(std::string s) {
  auto z = s.find('\0');
  if (z != std::string::npos) s.resize(z);
  return s;
}

// Code page 936 and UTF-8 both write ASCII as ASCII, so only the stretches between ASCII characters
// need a converter; the answers and paths that cross here are mostly ASCII. `run_end(text, i)` gives
// the end of the stretch of other characters that starts at i, always at a character boundary, so the
// converter sees the same characters stretch by stretch as in one piece.
template <typename RunEnd, typename Convert>
std::string convert_between_ascii(std::string_view text, RunEnd run_end, Convert convert) {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t other = i;
    while (other < text.size() && static_cast<unsigned char>(text[other]) < 0x80) ++other;
    out.append(text, i, other - i);
    if (other == text.size()) break;
    const std::size_t end = run_end(text, other);
    out += convert(text.substr(other, end - other));
    i = end;
  }
  return out;
}

// In UTF-8 every byte of a character beyond ASCII is 0x80 or above.
std::size_t utf8_run_end(std::string_view text, std::size_t i) {
  while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x80) ++i;
  return i;
}

// In code page 936 a lead byte takes the next byte with it, whatever it is (a trail byte may be ASCII).
std::size_t gbk_run_end(std::string_view text, std::size_t i) {
  while (i < text.size() && static_cast<unsigned char>(text[i]) >= 0x80) {
    i += (is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return i;
}

}  // namespace

std::u16string utf16_from_gbk(std::string_view gbk_text) { return to_utf16(gbk(), gbk_text); }

Text gbk_from_utf16(std::u16string_view utf16) { return cut_at_nul(from_utf16(gbk(), utf16)); }

Text gbk_from_utf8(std::string_view utf8_text) {
  return cut_at_nul(convert_between_ascii(utf8_text, utf8_run_end, [](std::string_view run) {
    return from_utf16(gbk(), to_utf16(utf8(), run));
  }));
}

std::string utf8_from_gbk(std::string_view gbk_text) {
  return convert_between_ascii(gbk_text, gbk_run_end, [](std::string_view run) {
    return from_utf16(utf8(), to_utf16(gbk(), run));
  });
}

bool gbk_can_hold(std::u16string_view utf16) {
  return utf16_from_gbk(gbk_from_utf16(utf16)) == utf16;
}

Text operator""_t(const char* utf8_text, std::size_t length) {
  return gbk_from_utf8(std::string_view(utf8_text, length));
}

}  // namespace kestrano
