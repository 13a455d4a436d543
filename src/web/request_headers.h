#pragma once
// The request header block: the caller's lines completed with browser-like defaults, and the headers
// that block sends.

#include <string_view>
#include <vector>

#include "text/text.h"

namespace kestrano {

// Appends each default whose presence test fails. The tests search the whole block, case-sensitively,
// so "Referer:" inside another header's value counts as present and "referer:" does not. An empty
// block starts with "Accept: */*"; the default Referer is `url`.
Text complete_header_block(Text headers, std::string_view url);

struct HeaderLine {
  Text name;
  Text value;
};

// The headers a block sends, in its order: one per non-empty CR LF separated line that has a colon and
// a name. A line whose name is not a valid header name, or whose name or value holds a lone CR or LF,
// sends nothing: sent as it stands it would break the request apart or smuggle in another header.
std::vector<HeaderLine> header_lines(std::string_view block);

}  // namespace kestrano
