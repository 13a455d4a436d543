#include "collect/share_link.h"

#include "text/codepage.h"

namespace kestrano {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Text url_decode(const Text& text, bool convert) {
  Text out;
  out.reserve(text.size());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == '%' && i + 2 < n) {
      int high = hex_digit(text[i + 1]);
      int low = hex_digit(text[i + 2]);
      if (high >= 0 && low >= 0) {
        char byte = static_cast<char>(high * 16 + low);
        if (byte != '\0') out += byte;
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return convert ? utf8_to_ansi(out) : out;
}

Text utf8_to_ansi(const Text& text) { return gbk_from_utf8(text); }

Text text_after_last(const Text& text, const Text& separator) {
  int p = find_last(text, separator);
  if (p == -1) return {};
  return right(text, static_cast<int>(text.size() - separator.size()) - p + 1);
}

std::optional<Text> parse_share_link(const Text& link) {
  Text decoded = url_decode(url_decode(link, true), false);
  Text author_ext = text_after_last(decoded, "ext=");
  for (const char* name : {"authorId", "metiaId", "authorType"}) {
    if (!contains(author_ext, name)) return std::nullopt;
  }
  return author_ext;
}

Text sample_share_link() {
  return "https://quanmin.baidu.com/feedvideoui/api?pd=author_share_mvideo&ucenter=ext%3D"
         "%257B%2522metiaId%2522%253A%25221642318903520147%2522%252C%2522authorType%2522%253A%2522media"
         "%2522%252C%2522authorId%2522%253A%2522Kq3vT8nWx2LcZp5RbY7hGd%2522%257D";
}

}  // namespace kestrano
