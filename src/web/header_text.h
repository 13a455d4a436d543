#pragma once
// Small text helpers for header lines and marked-up answers.

#include <string_view>

#include "text/text.h"

namespace kestrano {

// The part of a header line before its first ":", trimmed; empty when the line has no ":".
Text header_name(std::string_view line);
// The part after the first ":", trimmed; empty when the line has no ":". "Referer: a:b" gives "a:b".
Text header_value(std::string_view line);

// The text between the first `left_marker` found from `start` (1-based) and the first `right_marker`
// after it; empty when either is missing. "#引号" in a marker stands for a double quote.
Text text_between(std::string_view text, std::string_view left_marker, std::string_view right_marker,
                  int start = 1, bool ignore_case = false);

}  // namespace kestrano
