#pragma once
// Turning the author share link the user pastes into the author object every works-list request
// carries.

#include <optional>

#include "text/text.h"

namespace kestrano {

// Percent-decoding; then UTF-8 -> code page 936 when `convert` is true. A "%" not followed by two
// hexadecimal digits stays as it is; an escape of the byte 0 adds nothing.
Text url_decode(const Text& text, bool convert);

// Reads the bytes as UTF-8 and writes the same characters in code page 936; characters it cannot hold
// and bytes that are not UTF-8 become "?".
Text utf8_to_ansi(const Text& text);

// The bytes after the last occurrence of `separator`, or empty text when it does not occur.
Text text_after_last(const Text& text, const Text& separator);

// The link decoded twice; the text after its last "ext=" when it names "authorId", "metiaId" and
// "authorType", otherwise nothing (the caller shows the format message).
std::optional<Text> parse_share_link(const Text& link);

// The example link the window shows at start, telling the user what to paste.
Text sample_share_link();

}  // namespace kestrano
