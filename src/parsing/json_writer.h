#pragma once
// Texts made from a JSON value, both in UTF-8 and both without recursion (a document built up through
// the setters may nest deeper than any parse would accept).

#include <string>

#include "parsing/json_value.h"

namespace kestrano {

// Compact JSON as JavaScript's JSON.stringify writes it: no blanks, members in document order,
// numbers in JavaScript's form, NaN and the infinities as null, control characters escaped.
std::string write_json(const JsonValue& value);

// The value read as text, as a script engine renders a value to a string: a string as it is; true and
// false as words; an object as "[object Object]"; an array as its elements' texts joined by "," with
// null elements empty (nested arrays flattened the same way); numbers in JavaScript's form; null as "".
std::string display_text(const JsonValue& value);

}  // namespace kestrano
