#pragma once
// The paths of JsonDocument: the JavaScript member-access text that follows the root variable, such as
// workspage.data.worksList[3].videoInfo['publish_time']. Accepted forms: dotted names (letters, digits,
// "_", "$" and any non-ASCII character, not starting with a digit), "[n]" indexes, and "['name']" or
// ["name"] with JavaScript's string escapes. A path may begin with a bracket.
//
// Each step is kept as the member name it stands for: "[n]" becomes the decimal text of n, because in
// JavaScript a[0] and a['0'] are the same member and an array's elements are its members "0", "1", ...

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parsing/json_value.h"

namespace kestrano {

using JsonPath = std::vector<std::string>;

// nullopt for a text that is not a path (the script engine's syntax error). The empty text gives no steps.
std::optional<JsonPath> parse_path(std::string_view utf8);

enum class Reach {
  found,   // the value exists (it may be null)
  absent,  // the last step names nothing: JavaScript's undefined
  failed,  // a step before the last met nothing or null: the engine's TypeError
};

struct Lookup {
  Reach reach;
  JsonValue* value;  // set when found
};

Lookup find_value(JsonValue& root, const JsonPath& path);

// Growing an array by writing far past its end fills the gap with nulls; a gap wider than this is
// refused, so one call cannot ask for gigabytes.
inline constexpr std::size_t kMaxArrayGap = 1u << 20;

// Stores value at the last step of a non-empty path. The parent must exist and be an object (any name)
// or an array (an element index, within kMaxArrayGap of its end). False, changing nothing, otherwise.
bool assign_value(JsonValue& root, const JsonPath& path, JsonValue value);

// Removes the member named by the last step; an array element becomes null, as JavaScript's delete
// leaves a hole that JSON.stringify writes as null. False when there is nothing to remove.
bool erase_value(JsonValue& root, const JsonPath& path);

}  // namespace kestrano
