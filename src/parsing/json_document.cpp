#include "parsing/json_document.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <string>

#include "parsing/json_number.h"
#include "parsing/json_path.h"
#include "parsing/json_reader.h"
#include "parsing/json_value.h"
#include "parsing/json_writer.h"
#include "parsing/large_text.h"
#include "text/codepage.h"

namespace kestrano {

struct JsonEngine {
  JsonValue root = JsonValue::object();
};

namespace {

// How a path joins the root. A script engine wrote `da.` + path, so an empty path was a syntax error
// there, except for the operations that used the root itself for an empty path.
enum class Empty { fails, is_root };

Lookup locate(JsonValue& root, const Text& path, Empty empty) {
  if (path.empty()) {
    return empty == Empty::is_root ? Lookup{Reach::found, &root} : Lookup{Reach::failed, nullptr};
  }
  auto steps = parse_path(utf8_from_gbk(path));
  if (!steps) return {Reach::failed, nullptr};
  return find_value(root, *steps);
}

std::optional<JsonPath> steps_of(const Text& path) {
  if (path.empty()) return std::nullopt;
  return parse_path(utf8_from_gbk(path));
}

// The value a setter stores: the text as a JSON string, or (raw) the JSON value it holds.
std::optional<JsonValue> value_of(const Text& text, bool raw) {
  if (raw) return read_json(utf8_from_gbk_large(text));
  return JsonValue(utf8_from_gbk_large(text));
}

Text text_of(const JsonValue& v) {
  if (v.is_number()) return g13_number_text(v.get<double>());
  return gbk_from_utf8_large(display_text(v));
}

Text render(const Lookup& found, bool as_json) {
  if (found.reach != Reach::found) return {};
  return as_json ? gbk_from_utf8_large(write_json(*found.value)) : text_of(*found.value);
}

Text element_key(int index) { return "[" + std::to_string(index) + "]"; }

// Failures are values: nothing the JSON library or an allocation throws leaves the class.
template <typename R, typename F>
R guarded(R fallback, F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    return fallback;
  }
}

template <typename F>
void guarded_change(F&& f) noexcept {
  try {
    f();
  } catch (...) {
  }
}

double number_in(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r\n");
  std::size_t e = s.find_last_not_of(" \t\r\n");
  if (b == std::string::npos) return 0;
  double v = 0;
  auto res = std::from_chars(s.data() + b, s.data() + e + 1, v);
  return (res.ec == std::errc() && res.ptr == s.data() + e + 1) ? v : 0;
}

}  // namespace

JsonDocument::JsonDocument() : root_name("da") { create_engine(); }

JsonDocument::~JsonDocument() = default;

JsonDocument::JsonDocument(const JsonDocument& other) = default;

JsonDocument& JsonDocument::operator=(const JsonDocument& other) = default;

void JsonDocument::create_engine() { engine = std::make_shared<JsonEngine>(); }

bool JsonDocument::parse(const Text& text) {
  return guarded(false, [&] {
    create_engine();
    engine->root = nullptr;
    if (text.empty()) return false;
    auto value = read_json(utf8_from_gbk_large(text));
    if (!value) return false;
    engine->root = std::move(*value);
    return !engine->root.is_null();
  });
}

Text JsonDocument::to_json() const {
  return guarded(Text(), [&] { return gbk_from_utf8_large(write_json(engine->root)); });
}

void JsonDocument::set_member(const Text& key, Text& value, bool raw) {
  guarded_change([&] {
    if (raw && value.empty()) value = "{}";
    auto steps = steps_of(key);
    auto v = value_of(value, raw);
    if (steps && v) assign_value(engine->root, *steps, std::move(*v));
  });
}

void JsonDocument::set_member(const Text& key, const Text& value, bool raw) {
  Text copy = value;
  set_member(key, copy, raw);
}

void JsonDocument::set_member_json(const Text& key, const Text& expression) {
  guarded_change([&] {
    auto steps = steps_of(key);
    auto v = value_of(expression, true);
    if (steps && v) assign_value(engine->root, *steps, std::move(*v));
  });
}

void JsonDocument::set_member_number(const Text& key, double number) {
  guarded_change([&] {
    if (auto steps = steps_of(key)) assign_value(engine->root, *steps, JsonValue(number));
  });
}

double JsonDocument::get_number(const Text& path) const {
  return guarded(0.0, [&] {
    Lookup found = locate(engine->root, path, Empty::fails);
    if (found.reach != Reach::found) return 0.0;
    const JsonValue& v = *found.value;
    if (v.is_number()) return v.get<double>();
    if (v.is_string()) return number_in(v.get_ref<const std::string&>());
    if (v.is_boolean()) return v.get<bool>() ? 1.0 : 0.0;
    return 0.0;
  });
}

Text JsonDocument::get_member_json(const Text& path) const {
  return guarded(Text(), [&] { return render(locate(engine->root, path, Empty::fails), true); });
}

Text JsonDocument::get_text(const Text& path, bool as_json) const {
  return guarded(Text(), [&] { return render(locate(engine->root, path, Empty::fails), as_json); });
}

JsonDocument JsonDocument::get_document(const Text& path) const { return document_at(path); }

// The copy is written out and read back, as the script engine made it: it shares nothing with this
// document, and a value nested deeper than a parse accepts leaves it null.
JsonDocument JsonDocument::document_at(const Text& path) const {
  JsonDocument doc;
  doc.engine->root = nullptr;
  guarded_change([&] {
    Lookup found = locate(engine->root, path, Empty::fails);
    if (found.reach != Reach::found) return;
    if (auto copy = read_json(write_json(*found.value))) doc.engine->root = std::move(*copy);
  });
  return doc;
}

int JsonDocument::count(const Text& path) const {
  return guarded(0, [&] {
    Lookup found = locate(engine->root, path, Empty::is_root);
    if (found.reach == Reach::failed) return 0;
    if (found.reach == Reach::absent || found.value->is_null()) return -2;
    const JsonValue& v = *found.value;
    std::size_t n = v.is_object() ? members_of(v).size() : v.is_array() ? v.get_ref<const JsonArray&>().size() : 0;
    return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
  });
}

void JsonDocument::push(const Text& value, Text& path, bool raw) {
  Text given = path;
  path = given.empty() ? root_name : root_name + "." + given;
  push(value, static_cast<const Text&>(given), raw);
}

void JsonDocument::push(const Text& value, const Text& path, bool raw) {
  guarded_change([&] {
    auto v = value_of(value, raw);
    if (!v) return;
    Lookup found = locate(engine->root, path, Empty::is_root);
    if (found.reach == Reach::found && found.value->is_array()) {
      found.value->get_ref<JsonArray&>().push_back(std::move(*v));
      return;
    }
    JsonValue fresh = JsonValue::array();
    fresh.get_ref<JsonArray&>().push_back(std::move(*v));
    if (path.empty()) {
      engine->root = std::move(fresh);
    } else if (auto steps = steps_of(path)) {
      assign_value(engine->root, *steps, std::move(fresh));
    }
  });
}

// The element of the value at path is the value at path + "[index]"; an empty path leaves "[index]",
// which the path reader applies to the root.
JsonDocument JsonDocument::get_element_document(int index, const Text& path) const {
  return document_at(path + element_key(index));
}

Text JsonDocument::get_element_text(int index, const Text& path, bool as_json) const {
  return get_text(path + element_key(index), as_json);
}

void JsonDocument::set_element(int index, const Text& value, bool raw) {
  guarded_change([&] {
    auto v = value_of(value, raw);
    auto steps = steps_of(element_key(index));
    if (steps && v) assign_value(engine->root, *steps, std::move(*v));
  });
}

void JsonDocument::remove_element(int index) {
  guarded_change([&] {
    if (!engine->root.is_array()) return;
    auto& elements = engine->root.get_ref<JsonArray&>();
    const long long n = static_cast<long long>(elements.size());
    long long start = index < 0 ? std::max(n + index, 0LL) : std::min<long long>(index, n);
    if (start < n) elements.erase(elements.begin() + start);
  });
}

void JsonDocument::delete_member(const Text& key) {
  guarded_change([&] {
    if (auto steps = steps_of(key)) erase_value(engine->root, *steps);
  });
}

void JsonDocument::reset_as(int type_code) {
  guarded_change([&] {
    if (type_code == json_type::null_or_absent || type_code == json_type::object) {
      engine->root = JsonValue::object();
    } else if (type_code == json_type::array) {
      engine->root = JsonValue::array();
    }
  });
}

void JsonDocument::set_root(const Text& value, bool raw) {
  guarded_change([&] {
    if (auto v = value_of(value, raw)) engine->root = std::move(*v);
  });
}

bool JsonDocument::has_member(const Text& key) const {
  return guarded(false, [&] {
    Lookup found = locate(engine->root, key, Empty::fails);
    return found.reach == Reach::found && !found.value->is_null();
  });
}

int JsonDocument::member_names(std::vector<Text>& names, const Text& path) const {
  names.clear();
  guarded_change([&] {
    Lookup found = locate(engine->root, path, Empty::is_root);
    if (found.reach != Reach::found) return;
    const JsonValue& v = *found.value;
    if (v.is_object()) {
      for (const auto& m : members_of(v)) names.push_back(gbk_from_utf8(m.first));
    } else if (v.is_array()) {
      const std::size_t n = v.get_ref<const JsonArray&>().size();
      for (std::size_t i = 0; i < n; ++i) names.push_back(std::to_string(i));
    }
  });
  return static_cast<int>(std::min<std::size_t>(names.size(), INT_MAX));
}

int JsonDocument::type_of(const Text& path) const {
  return guarded(json_type::null_or_absent, [&] {
    Lookup found = locate(engine->root, path, Empty::is_root);
    if (found.reach != Reach::found) return json_type::null_or_absent;
    switch (found.value->type()) {
      case JsonValue::value_t::null: return json_type::null_or_absent;
      case JsonValue::value_t::object: return json_type::object;
      case JsonValue::value_t::array: return json_type::array;
      case JsonValue::value_t::string: return json_type::string;
      case JsonValue::value_t::number_float:
      case JsonValue::value_t::number_integer:
      case JsonValue::value_t::number_unsigned: return json_type::number;
      default: return json_type::other;
    }
  });
}

void JsonDocument::clear() {
  guarded_change([&] { engine->root = JsonValue::object(); });
}

}  // namespace kestrano
