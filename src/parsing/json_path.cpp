#include "parsing/json_path.h"

#include <charconv>

#include "parsing/json_number.h"
#include "parsing/utf8_append.h"

namespace kestrano {
namespace {

bool is_name_start(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '$' || c >= 0x80;
}
bool is_name_char(unsigned char c) { return is_name_start(c) || (c >= '0' && c <= '9'); }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class PathReader {
 public:
  explicit PathReader(std::string_view s) : s_(s) {}

  std::optional<JsonPath> read() {
    JsonPath steps;
    if (s_.empty()) return steps;
    if (s_[0] != '[' && !name(steps)) return std::nullopt;
    while (i_ < s_.size()) {
      if (s_[i_] == '.') {
        ++i_;
        if (!name(steps)) return std::nullopt;
      } else if (s_[i_] == '[') {
        if (!bracket(steps)) return std::nullopt;
      } else {
        return std::nullopt;
      }
    }
    return steps;
  }

 private:
  unsigned char at(std::size_t i) const { return static_cast<unsigned char>(s_[i]); }

  bool name(JsonPath& steps) {
    std::size_t start = i_;
    if (i_ >= s_.size() || !is_name_start(at(i_))) return false;
    while (i_ < s_.size() && is_name_char(at(i_))) ++i_;
    steps.emplace_back(s_.substr(start, i_ - start));
    return true;
  }

  bool bracket(JsonPath& steps) {
    ++i_;  // '['
    if (i_ >= s_.size()) return false;
    char c = s_[i_];
    std::string key;
    if (c == '\'' || c == '"') {
      if (!quoted(c, key)) return false;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      std::size_t start = i_;
      if (c == '-') ++i_;
      std::size_t digits = i_;
      while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
      if (i_ == digits) return false;
      double n = 0;
      std::from_chars(s_.data() + start, s_.data() + i_, n);
      key = js_number_text(n);  // the member name JavaScript makes of the number
    } else {
      return false;
    }
    if (i_ >= s_.size() || s_[i_] != ']') return false;
    ++i_;
    steps.push_back(std::move(key));
    return true;
  }

  long hex(std::size_t at, std::size_t count) const {
    if (at + count > s_.size()) return -1;
    long v = 0;
    for (std::size_t k = 0; k < count; ++k) {
      int h = hex_value(s_[at + k]);
      if (h < 0) return -1;
      v = v * 16 + h;
    }
    return v;
  }

  // A JavaScript string literal, at its opening quote.
  bool quoted(char quote, std::string& out) {
    ++i_;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == quote) return true;
      if (c == '\n' || c == '\r') return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'v': out += '\v'; break;
        case '0': out += '\0'; break;
        case '\r':
          if (i_ < s_.size() && s_[i_] == '\n') ++i_;
          break;  // a line continuation adds nothing
        case '\n':
          break;
        case 'x': {
          long v = hex(i_, 2);
          if (v < 0) return false;
          i_ += 2;
          append_utf8(out, static_cast<unsigned long>(v));
          break;
        }
        case 'u': {
          long v = hex(i_, 4);
          if (v < 0) return false;
          i_ += 4;
          if (v >= 0xD800 && v <= 0xDBFF && i_ + 1 < s_.size() && s_[i_] == '\\' && s_[i_ + 1] == 'u') {
            long low = hex(i_ + 2, 4);
            if (low >= 0xDC00 && low <= 0xDFFF) {
              i_ += 6;
              append_utf8(out, 0x10000 + ((static_cast<unsigned long>(v) - 0xD800) << 10) +
                                   (static_cast<unsigned long>(low) - 0xDC00));
              break;
            }
          }
          // A lone surrogate names what the document stored for one: "?".
          if (v >= 0xD800 && v <= 0xDFFF) {
            out += '?';
          } else {
            append_utf8(out, static_cast<unsigned long>(v));
          }
          break;
        }
        default:
          out += e;  // \' \" \\ and any other escaped character stand for themselves
      }
    }
    return false;  // unterminated
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

// The element index a member name stands for: "0" or digits without a leading zero, below 2^32 - 1.
std::optional<std::size_t> array_index(const std::string& key) {
  if (key.empty() || key.size() > 10 || (key.size() > 1 && key[0] == '0')) return std::nullopt;
  unsigned long long v = 0;
  for (char c : key) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v >= 4294967295ull) return std::nullopt;
  return static_cast<std::size_t>(v);
}

JsonMembers::iterator find_member(JsonValue& object, const std::string& key) {
  auto& members = members_of(object);
  for (auto it = members.begin(); it != members.end(); ++it) {
    if (it->first == key) return it;
  }
  return members.end();
}

// The member `key` of `parent`, or nullptr when there is none (also for strings, numbers and booleans,
// whose members read as undefined).
JsonValue* child(JsonValue& parent, const std::string& key) {
  if (parent.is_object()) {
    auto it = find_member(parent, key);
    return it == members_of(parent).end() ? nullptr : &it->second;
  }
  if (parent.is_array()) {
    auto& elements = parent.get_ref<JsonArray&>();
    auto index = array_index(key);
    return (index && *index < elements.size()) ? &elements[*index] : nullptr;
  }
  return nullptr;
}

// Follows the first `steps` steps of the path.
Lookup follow(JsonValue& root, const JsonPath& path, std::size_t steps) {
  JsonValue* current = &root;
  for (std::size_t i = 0; i < steps; ++i) {
    if (current == nullptr || current->is_null()) return {Reach::failed, nullptr};
    current = child(*current, path[i]);
  }
  return current ? Lookup{Reach::found, current} : Lookup{Reach::absent, nullptr};
}

// The existing, non-null parent of the last step, or nullptr.
JsonValue* parent_of(JsonValue& root, const JsonPath& path) {
  if (path.empty()) return nullptr;
  Lookup parent = follow(root, path, path.size() - 1);
  if (parent.reach != Reach::found || parent.value->is_null()) return nullptr;
  return parent.value;
}

}  // namespace

std::optional<JsonPath> parse_path(std::string_view utf8) { return PathReader(utf8).read(); }

Lookup find_value(JsonValue& root, const JsonPath& path) { return follow(root, path, path.size()); }

bool assign_value(JsonValue& root, const JsonPath& path, JsonValue value) {
  JsonValue* parent = parent_of(root, path);
  if (!parent) return false;
  const std::string& key = path.back();
  if (parent->is_object()) {
    auto it = find_member(*parent, key);
    if (it != members_of(*parent).end()) {
      it->second = std::move(value);
    } else {
      members_of(*parent).emplace_back(key, std::move(value));
    }
    return true;
  }
  if (parent->is_array()) {
    auto index = array_index(key);
    auto& elements = parent->get_ref<JsonArray&>();
    if (!index) return false;
    if (*index < elements.size()) {
      elements[*index] = std::move(value);
      return true;
    }
    if (*index - elements.size() > kMaxArrayGap) return false;
    elements.resize(*index);
    elements.push_back(std::move(value));
    return true;
  }
  return false;
}

bool erase_value(JsonValue& root, const JsonPath& path) {
  JsonValue* parent = parent_of(root, path);
  if (!parent) return false;
  if (parent->is_object()) {
    auto it = find_member(*parent, path.back());
    if (it == members_of(*parent).end()) return false;
    parent->get_ref<JsonObject&>().erase(it);
    return true;
  }
  if (JsonValue* element = parent->is_array() ? child(*parent, path.back()) : nullptr) {
    *element = nullptr;
    return true;
  }
  return false;
}

}  // namespace kestrano
