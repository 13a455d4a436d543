#include "web/request_headers.h"

#include <algorithm>
#include <string>

#include "web/header_text.h"

namespace kestrano {
namespace {

const char* const kCrLf = "\r\n";

// RFC 9110 token characters.
bool is_token_char(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool valid_name(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return is_token_char(static_cast<unsigned char>(c));
  });
}

bool has_line_break(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

Text complete_header_block(Text headers, std::string_view url) {
  if (headers.empty()) {
    headers = "Accept: */*";
  } else if (!contains(headers, "Accept:")) {
    headers += kCrLf;
    headers += "Accept: */*";
  }
  struct Default {
    const char* test;
    std::string line;
  };
  const Default defaults[] = {
      {"Referer:", "Referer: " + std::string(url)},
      {"Accept-Language:", "Accept-Language: zh-cn"},
      {"User-Agent:", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
      {"Content-Type:", "Content-Type: application/x-www-form-urlencoded"},
  };
  for (const auto& d : defaults) {
    if (contains(headers, d.test)) continue;
    headers += kCrLf;
    headers += d.line;
  }
  return headers;
}

std::vector<HeaderLine> header_lines(std::string_view block) {
  std::vector<HeaderLine> lines;
  for (const Text& line : split(block, kCrLf)) {
    if (line.empty() || line.find(':') == Text::npos) continue;
    HeaderLine h{header_name(line), header_value(line)};
    if (!valid_name(h.name) || has_line_break(h.value)) continue;
    lines.push_back(std::move(h));
  }
  return lines;
}

}  // namespace kestrano
