#include "web/response_headers.h"

#include "text/codepage.h"
#include "web/header_text.h"

namespace kestrano {

Text response_header_text(std::string_view received) {
  std::string lines;  // UTF-8, the last response's header lines so far
  std::size_t from = 0;
  while (from < received.size()) {
    std::size_t end = received.find('\n', from);
    std::size_t next = end == std::string_view::npos ? received.size() : end + 1;
    std::string_view line = received.substr(from, next - from);
    from = next;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.substr(0, 5) == "HTTP/") {
      lines.clear();  // a new response begins: only the last one counts
      continue;
    }
    if (line.empty()) continue;
    if (!lines.empty()) lines += "\r\n";
    lines += line;
  }
  return normalise_set_cookie(gbk_from_utf8(lines));
}

Text normalise_set_cookie(std::string_view headers) {
  return replace_all(headers, "Set-Cookie", "Set-Cookie", /*ignore_case=*/true);
}

Text cookies_from_headers(std::string_view response_headers) {
  Text cookies;
  for (const Text& line : split(response_headers, "\r\n")) {
    if (!contains(line, "Set-Cookie")) continue;
    Text piece = contains(line, ";") ? text_between(line, "Set-Cookie:", ";")
                                     : replace_all(line, "Set-Cookie:", "", /*ignore_case=*/true);
    cookies += trim(piece);
    cookies += "; ";
  }
  return left(cookies, static_cast<int>(cookies.size()) - 2);
}

}  // namespace kestrano
