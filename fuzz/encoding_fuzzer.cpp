// Base64 (play addresses kept in the results list) and convert_charset (every answer body).
// Input: two control bytes (charset pair, skip count), then the data.

#include <optional>

#include "fuzz_support.h"
#include "web/encoding.h"

using namespace kestrano;
using fuzz::check;

namespace {

bool in_alphabet(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

std::string_view view(const Bytes& b) { return {reinterpret_cast<const char*>(b.data()), b.size()}; }

void base64(const Bytes& data) {
  const Text encoded = base64_encode(data);
  check(encoded.size() == (data.size() + 2) / 3 * 4, "encoded length is 4 per 3 bytes", encoded);
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const bool padding = encoded[i] == '=' && i + 2 >= encoded.size();
    check(padding || in_alphabet(static_cast<unsigned char>(encoded[i])), "encoding uses the alphabet", encoded);
  }
  check(base64_decode(to_bytes(encoded)) == data, "decode(encode(x)) == x", view(data));

  // The same bytes read as Base64: when accepted, they are the encoding of what they decode to, up to
  // blanks, padding and the unused low bits of the last character.
  const Bytes decoded = base64_decode(data);
  if (decoded.empty()) return;
  check(base64_decode(to_bytes(base64_encode(decoded))) == decoded, "decoded bytes round-trip", view(data));
  Text given;
  for (unsigned char c : data) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '=') given += static_cast<char>(c);
  }
  Text canonical = base64_encode(decoded);
  canonical.erase(canonical.find_last_not_of('=') + 1);
  check(given.size() == canonical.size() && given.compare(0, given.size() - 1, canonical, 0, canonical.size() - 1) == 0,
        "accepted Base64 is the encoding of its decoded bytes", view(data));
}

constexpr const char* kCharsets[] = {"", "UTF-8", "GBK", "cp936", "UTF-16LE", "UTF-16BE", "ISO-8859-1", "Big5", "no-such-charset"};
constexpr std::size_t kCharsetCount = sizeof kCharsets / sizeof kCharsets[0];

void charsets(unsigned char pair, unsigned char skip, const Bytes& data) {
  const Text from = kCharsets[(pair >> 4) % kCharsetCount];
  const Text to = kCharsets[(pair & 15) % kCharsetCount];
  const Bytes whole = convert_charset(data, from, to);
  if (from == "no-such-charset" || to == "no-such-charset") check(whole.empty(), "an unknown charset gives nothing");

  // skip_bytes drops exactly that many bytes from the front of the result.
  const int count = static_cast<int>(skip % 8) - 2;
  const Bytes skipped = convert_charset(data, from, to, count);
  const std::size_t drop = static_cast<std::size_t>(std::max(0, count));
  const Bytes expected = drop >= whole.size() ? Bytes() : Bytes(whole.begin() + static_cast<std::ptrdiff_t>(drop), whole.end());
  check(skipped == expected, "skip_bytes drops bytes from the front", view(data));

  // What reached code page 936 survives the way out to UTF-8 and back unchanged.
  const Bytes gbk = convert_charset(data, from, "GBK");
  if (gbk.empty()) return;
  const Bytes utf8 = convert_charset(gbk, "GBK", "UTF-8");
  check(convert_charset(utf8, "UTF-8", "GBK") == gbk, "GBK -> UTF-8 -> GBK keeps the text", view(gbk));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const Bytes payload(data + 2, data + size);
  base64(payload);
  charsets(data[0], data[1], payload);
  return 0;
}
