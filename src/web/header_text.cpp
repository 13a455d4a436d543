#include "web/header_text.h"

namespace kestrano {

Text header_name(std::string_view line) {
  auto colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return trim(line.substr(0, colon));
}

Text header_value(std::string_view line) {
  auto colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return trim(line.substr(colon + 1));
}

Text text_between(std::string_view text, std::string_view left_marker, std::string_view right_marker,
                  int start, bool ignore_case) {
  const Text left_text = expand_quote_marker(left_marker);
  const Text right_text = expand_quote_marker(right_marker);
  int from = find(text, left_text, {start, ignore_case});
  if (from == -1) return {};
  int inner = from + static_cast<int>(left_text.size());
  int to = find(text, right_text, {inner, ignore_case});
  if (to == -1) return {};
  return Text(text.substr(static_cast<std::size_t>(inner - 1), static_cast<std::size_t>(to - inner)));
}

}  // namespace kestrano
