// The share-link stage: whatever the user pastes goes through two percent-decodings and the "ext="
// search before anything is sent.

#include "collect/share_link.h"
#include "fuzz_support.h"

using namespace kestrano;
using fuzz::check;

namespace {

Text percent_encoded(const Text& text, bool lower_digits) {
  const char* digits = lower_digits ? "0123456789abcdef" : "0123456789ABCDEF";
  Text out;
  for (unsigned char c : text) {
    out += '%';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text link = fuzz::text_of(fuzz::bytes_view(data, size));

  const Text once = url_decode(link, false);
  check(once.find('\0') == Text::npos, "url_decode never makes a zero byte", once);
  check(once.size() <= link.size(), "url_decode never lengthens the text", link);
  if (link.find('%') == Text::npos) check(once == link, "a text without '%' decodes to itself", link);

  const Text converted = url_decode(link, true);
  check(converted.find('\0') == Text::npos, "url_decode with conversion never makes a zero byte", converted);
  check(converted == utf8_to_ansi(once), "conversion is utf8_to_ansi of the decoded bytes", link);

  // Every byte escaped, in either case of hexadecimal digits, decodes back to the link.
  check(url_decode(percent_encoded(link, size % 2 == 0), false) == link, "percent-encoding round trip", link);

  const Text twice = url_decode(url_decode(link, true), false);
  const Text after = text_after_last(twice, "ext=");
  check(after.size() <= twice.size() && twice.compare(twice.size() - after.size(), after.size(), after) == 0,
        "text_after_last gives a tail of the text", twice);

  const auto author_ext = parse_share_link(link);
  const bool names_present =
      contains(after, "authorId") && contains(after, "metiaId") && contains(after, "authorType");
  check(author_ext.has_value() == names_present, "a link is accepted exactly when the three names occur", link);
  if (author_ext) check(*author_ext == after, "author_ext is the text after the last \"ext=\"", link);
  return 0;
}
