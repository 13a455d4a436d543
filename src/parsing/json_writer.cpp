#include "parsing/json_writer.h"

#include <cmath>
#include <vector>

#include "parsing/json_number.h"

namespace kestrano {
namespace {

void append_quoted(std::string& out, const std::string& s) {
  static const char* const kHex = "0123456789abcdef";
  out += '"';
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xF];
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

std::string number_json(double d) { return std::isfinite(d) ? js_number_text(d) : "null"; }

// A container being written and the index of its next child.
struct Open {
  const JsonValue* container;
  std::size_t next;
};

std::size_t child_count(const JsonValue& v) {
  return v.is_object() ? v.get_ref<const JsonObject&>().size() : v.get_ref<const JsonArray&>().size();
}

}  // namespace

std::string write_json(const JsonValue& value) {
  std::string out;
  std::vector<Open> open;
  // Writes a scalar whole, or the opening of a container (pushed to be continued).
  auto start = [&](const JsonValue& v) {
    switch (v.type()) {
      case JsonValue::value_t::object:
      case JsonValue::value_t::array:
        out += v.is_object() ? '{' : '[';
        open.push_back({&v, 0});
        break;
      case JsonValue::value_t::string:
        append_quoted(out, v.get_ref<const std::string&>());
        break;
      case JsonValue::value_t::boolean:
        out += v.get<bool>() ? "true" : "false";
        break;
      case JsonValue::value_t::number_float:
      case JsonValue::value_t::number_integer:
      case JsonValue::value_t::number_unsigned:
        out += number_json(v.get<double>());
        break;
      default:
        out += "null";
    }
  };
  start(value);
  while (!open.empty()) {
    Open& top = open.back();
    const JsonValue& c = *top.container;
    if (top.next == child_count(c)) {
      out += c.is_object() ? '}' : ']';
      open.pop_back();
      continue;
    }
    const std::size_t i = top.next++;
    if (i) out += ',';
    if (c.is_object()) {
      const auto& member = members_of(c)[i];
      append_quoted(out, member.first);
      out += ':';
      start(member.second);
    } else {
      start(c.get_ref<const JsonArray&>()[i]);
    }
  }
  return out;
}

std::string display_text(const JsonValue& value) {
  std::string out;
  std::vector<Open> open;
  auto start = [&](const JsonValue& v) {
    switch (v.type()) {
      case JsonValue::value_t::array:
        open.push_back({&v, 0});
        break;
      case JsonValue::value_t::object:
        out += "[object Object]";
        break;
      case JsonValue::value_t::string:
        out += v.get_ref<const std::string&>();
        break;
      case JsonValue::value_t::boolean:
        out += v.get<bool>() ? "true" : "false";
        break;
      case JsonValue::value_t::number_float:
      case JsonValue::value_t::number_integer:
      case JsonValue::value_t::number_unsigned:
        out += js_number_text(v.get<double>());
        break;
      default:
        break;  // null: empty
    }
  };
  start(value);
  while (!open.empty()) {
    Open& top = open.back();
    const auto& elements = top.container->get_ref<const JsonArray&>();
    if (top.next == elements.size()) {
      open.pop_back();
      continue;
    }
    const std::size_t i = top.next++;
    if (i) out += ',';
    start(elements[i]);
  }
  return out;
}

}  // namespace kestrano
