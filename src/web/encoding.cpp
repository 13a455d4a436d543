#include "web/encoding.h"

#include <algorithm>
#include <array>

#include "text/codepage.h"
#include "text/icu_converter.h"

namespace kestrano {
namespace {

bool equals_ignore_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// "GBK" and "CP936" mean the Windows code page 936 table, as they do on Windows; every other name is
// looked up as ICU knows it.
IcuConverter open_charset(const Text& name) {
  const bool code_page_936 = equals_ignore_case(name, "GBK") || equals_ignore_case(name, "CP936");
  return open_icu_converter(code_page_936 ? "windows-936-2000" : name.c_str());
}

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64_value(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

Bytes skip_front(const std::string& out, std::optional<int> skip_bytes) {
  std::size_t skip = skip_bytes ? static_cast<std::size_t>(std::max(0, *skip_bytes)) : 0;
  if (skip >= out.size()) return {};
  return Bytes(out.begin() + static_cast<std::ptrdiff_t>(skip), out.end());
}

}  // namespace

Bytes convert_charset(const Bytes& data, const Text& from_charset, const Text& to_charset,
                      std::optional<int> skip_bytes) {
  if (data.empty()) return {};
  // A UTF-8 byte-order mark is not part of the text (the stream object dropped it too).
  const std::string_view bom = "\xEF\xBB\xBF";
  std::string_view in(reinterpret_cast<const char*>(data.data()), data.size());
  if (from_charset.empty() && to_charset.empty()) {
    // UTF-8 to code page 936, the conversion of every answer the system reads, in one pass: narrowing
    // to code page 936 and writing code page 936 again would give the same bytes.
    if (in.substr(0, 3) == bom) in.remove_prefix(3);
    return skip_front(gbk_from_utf8(in), skip_bytes);
  }
  IcuConverter from = open_charset(from_charset.empty() ? Text("UTF-8") : from_charset);
  IcuConverter to = open_charset(to_charset.empty() ? Text("GBK") : to_charset);
  if (!from || !to) return {};

  // Decode.
  if (ucnv_getType(from.get()) == UCNV_UTF8 && in.substr(0, 3) == bom) in.remove_prefix(3);
  std::u16string wide(in.size() + 1, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_toUChars(from.get(), wide.data(), static_cast<int32_t>(wide.size()), in.data(),
                            static_cast<int32_t>(in.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    wide.assign(static_cast<std::size_t>(n) + 1, u'\0');
    status = U_ZERO_ERROR;
    n = ucnv_toUChars(from.get(), wide.data(), static_cast<int32_t>(wide.size()), in.data(),
                      static_cast<int32_t>(in.size()), &status);
  }
  if (U_FAILURE(status)) return {};
  wide.resize(static_cast<std::size_t>(n));

  // Every text entering the system passes through code page 936, whatever the target charset.
  std::u16string narrowed = utf16_from_gbk(gbk_from_utf16(wide));

  std::string out(narrowed.size() * 4 + 8, '\0');
  status = U_ZERO_ERROR;
  n = ucnv_fromUChars(to.get(), out.data(), static_cast<int32_t>(out.size()), narrowed.data(),
                      static_cast<int32_t>(narrowed.size()), &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<std::size_t>(n));
  return skip_front(out, skip_bytes);
}

Text base64_encode(const Bytes& data) {
  Text out;
  out.reserve((data.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < data.size(); i += 3) {
    unsigned b0 = data[i];
    unsigned b1 = i + 1 < data.size() ? data[i + 1] : 0;
    unsigned b2 = i + 2 < data.size() ? data[i + 2] : 0;
    out += kAlphabet[b0 >> 2];
    out += kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    out += i + 1 < data.size() ? kAlphabet[((b1 & 15) << 2) | (b2 >> 6)] : '=';
    out += i + 2 < data.size() ? kAlphabet[b2 & 63] : '=';
  }
  return out;
}

Bytes base64_decode(const Bytes& data) {
  // Line breaks and blanks are skipped, as the platform decoder skipped them; any other character
  // outside the alphabet, or padding anywhere but at the end, makes the input invalid.
  std::array<int, 4> quad{};
  int filled = 0, padding = 0;
  Bytes out;
  out.reserve(data.size() / 4 * 3);
  for (unsigned char c : data) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    if (c == '=') {
      if (filled < 2 || filled + padding >= 4) return {};
      ++padding;
      continue;
    }
    int v = base64_value(c);
    if (v < 0 || padding) return {};
    quad[static_cast<std::size_t>(filled++)] = v;
    if (filled == 4) {
      out.push_back(static_cast<unsigned char>((quad[0] << 2) | (quad[1] >> 4)));
      out.push_back(static_cast<unsigned char>(((quad[1] & 15) << 4) | (quad[2] >> 2)));
      out.push_back(static_cast<unsigned char>(((quad[2] & 3) << 6) | quad[3]));
      filled = 0;
    }
  }
  if (padding && filled + padding != 4) return {};
  if (filled == 1) return {};
  if (filled >= 2) out.push_back(static_cast<unsigned char>((quad[0] << 2) | (quad[1] >> 4)));
  if (filled == 3) out.push_back(static_cast<unsigned char>(((quad[1] & 15) << 4) | (quad[2] >> 2)));
  return out;
}

}  // namespace kestrano
