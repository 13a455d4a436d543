#pragma once
// The in-memory form of a JSON document: nlohmann's insertion-ordered value, so members keep the order
// of the answer. Every number is held as a double, as a JavaScript engine holds it. Strings are UTF-8.
// Only the files of this folder include this header; the rest of the system sees JsonDocument.

#include <nlohmann/json.hpp>

namespace kestrano {

using JsonValue = nlohmann::ordered_json;
using JsonObject = JsonValue::object_t;
using JsonArray = JsonValue::array_t;
// The vector beneath an ordered object: appending through it skips the linear duplicate search.
using JsonMembers = JsonObject::Container;

// The members of an object value in order, indexable by position (the object's own [] takes a name).
inline const JsonMembers& members_of(const JsonValue& object) { return object.get_ref<const JsonObject&>(); }
inline JsonMembers& members_of(JsonValue& object) { return object.get_ref<JsonObject&>(); }

// Deepest nesting of arrays and objects that a parse accepts.
inline constexpr std::size_t kMaxJsonDepth = 512;

}  // namespace kestrano
