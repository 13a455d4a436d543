#pragma once
// What a response's header lines give the caller: the header text it reads and the cookies it set.
// Pure functions of the received bytes, so they can be tested and fuzzed without a network.

#include <string_view>

#include "text/text.h"

namespace kestrano {

// `received` is every header line the client received during one call, in order and with their line
// ends: the status line and header lines of each response (interim 100 answers and redirects
// included), each response closed by an empty line. The result is the header lines of the last
// response, without its status line and empty lines, joined by CR LF, taken from UTF-8 into code page
// 936, with every letter-case variant of "Set-Cookie" written "Set-Cookie".
Text response_header_text(std::string_view received);

// Every letter-case variant of "Set-Cookie" replaced by "Set-Cookie".
Text normalise_set_cookie(std::string_view headers);

// The cookies that header lines (CR LF separated, already normalised) set, "name=value" joined by
// "; ": of a line holding "Set-Cookie" the part between "Set-Cookie:" and the first ";", or, when the
// line has no ";", the line without its "Set-Cookie:". Empty when no line holds "Set-Cookie".
Text cookies_from_headers(std::string_view response_headers);

}  // namespace kestrano
