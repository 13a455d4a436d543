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

enum class JsonScalar { string, number, boolean, null };

// What a scan meets, in document order. A member's value follows its `key`; an empty container is an
// `open` followed at once by its `close`.
class JsonEvents {
 public:
  virtual ~JsonEvents() = default;
  virtual void open(bool object) = 0;
  virtual void close() = 0;
  virtual void key(std::string_view name) = 0;
  // Asked before each string value: reading out a string costs a copy, checking it does not.
  virtual bool wants_string() const = 0;
  // `text` is the string's UTF-8 text when it was wanted, else empty; `number` the value of a number,
  // 1 for true, else 0.
  virtual void scalar(JsonScalar kind, std::string_view text, double number) = 0;
};

// Walks the text with read_json's grammar and limits without building anything: true exactly when
// read_json would read it. Events may already have arrived when it turns out false.
bool scan_json(std::string_view utf8, JsonEvents& events);

}  // namespace kestrano
