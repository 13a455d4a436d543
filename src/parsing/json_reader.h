#pragma once
// Reads one JSON value (RFC 8259) from UTF-8 text, as JavaScript's JSON.parse reads it: numbers become
// doubles, a repeated member name keeps its first place and takes the last value, and a "\u" escape of
// a lone surrogate is accepted and stored as "?" (one broken emoji must not make a page unreadable).
// The reader keeps its own stack instead of recursing and refuses nesting deeper than kMaxJsonDepth,
// so no input can exhaust the call stack; its time is linear in the input. (nlohmann's own parser is not
// used because it refuses lone surrogates and numbers beyond a double, which JSON.parse accepts, and
// its ordered objects search all members for every new name.)

#include <optional>
#include <string_view>

#include "parsing/json_value.h"

namespace kestrano {

// nullopt when the text is not exactly one JSON value (surrounding JSON whitespace allowed).
std::optional<JsonValue> read_json(std::string_view utf8);

}  // namespace kestrano
