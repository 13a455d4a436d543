#pragma once
// Code page 936 <-> UTF-8 for texts that may be tens of megabytes (whole works-list answers and their
// JSON output). The text layer converts in one piece through a UTF-16 buffer several times the input's
// size; these convert in slices cut at character boundaries, so the only large buffer is the result.

#include <string>
#include <string_view>

#include "text/text.h"

namespace kestrano {

std::string utf8_from_gbk_large(std::string_view gbk);
// Stops at the first NUL, as a Text does.
Text gbk_from_utf8_large(std::string_view utf8);

}  // namespace kestrano
