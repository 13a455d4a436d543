// What arrives from the server before the body: the header lines of every response of one call. The
// header text the caller reads, the cookies it set and the header-line helpers must cope with any bytes.

#include <algorithm>

#include "fuzz_support.h"
#include "web/cookies.h"
#include "web/header_text.h"
#include "web/response_headers.h"

using namespace kestrano;
using fuzz::check;

namespace {

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// Every spelling of Set-Cookie that starts at a character is the canonical one.
bool set_cookie_normalised(std::string_view text) {
  bool ok = true;
  fuzz::for_each_char(text, [&](std::size_t i, std::size_t width) {
    if (width == 1 && equal_ignoring_case(text.substr(i, 10), "Set-Cookie")) ok = ok && text.substr(i, 10) == "Set-Cookie";
  });
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view received = fuzz::bytes_view(data, size);

  const Text normalised = normalise_set_cookie(received);
  check(equal_ignoring_case(normalised, received), "normalising changes only letter case", normalised);
  check(set_cookie_normalised(normalised), "every Set-Cookie is spelt the one way", normalised);

  const Text headers = response_header_text(received);
  check(set_cookie_normalised(headers), "the header text spells Set-Cookie one way", headers);
  check(headers.find("\r\n\r\n") == Text::npos && headers.rfind("\r\n", 0) != 0,
        "the header text holds no empty line", headers);
  check(headers.find('\0') == Text::npos, "the header text holds no zero byte", headers);

  std::size_t cookie_lines = 0;
  for (const Text& line : split(headers, "\r\n")) {
    check(line.rfind("HTTP/", 0) != 0, "no status line is left", headers);
    if (contains(line, "Set-Cookie")) ++cookie_lines;
    const Text name = header_name(line);
    const Text value = header_value(line);
    check(name.find(':') == Text::npos, "a header name holds no colon", line);
    if (line.find(':') != Text::npos) check(value.size() + name.size() < line.size(), "name and value are parts of the line", line);
  }

  // One cookie per Set-Cookie line, none of which holds a ";" of its own.
  const Text cookies = cookies_from_headers(headers);
  check(static_cast<std::size_t>(std::count(cookies.begin(), cookies.end(), ';')) ==
            (cookie_lines == 0 ? 0 : cookie_lines - 1),
        "one cookie per Set-Cookie line", headers);

  // As the request routine does: the cookies fold into what the caller carried.
  Text carried = "BAIDUID=1:FG=1; a=deleted";
  merge_cookies(carried, cookies);

  // text_between gives a piece of the text that follows the left marker.
  const std::size_t start = size == 0 ? 1 : data[0] % 16 + 1;
  const Text between = text_between(headers, "#引号"_t, ";", static_cast<int>(start));
  check(headers.find(between) != Text::npos, "text_between gives a piece of the text", headers);
  const Text quoted = text_between(headers, "\"", "\"", 1, true);
  check(quoted.find('"') == Text::npos, "text_between stops at the first right marker", headers);
  return 0;
}
