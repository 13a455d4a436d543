#include "parsing/json_reader.h"

#include <charconv>
#include <limits>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "parsing/utf8_append.h"

namespace kestrano {
namespace {

// Objects up to this size find a repeated name by a linear scan; larger ones keep a hash index while
// they are being read, so an object with a million members still reads in linear time.
constexpr std::size_t kLinearScanMembers = 16;

// Builds the document: the receiver of the whole document's parse.
class Builder {
 public:
  void open(bool object) {
    const std::size_t depth = stack_.size();
    if (members_.size() <= depth) {
      members_.resize(depth + 1);
      elements_.resize(depth + 1);
    }
    Frame f;
    f.object = object;
    stack_.push_back(std::move(f));
  }
  void key(std::string&& name) { stack_.back().key = std::move(name); }
  static constexpr bool wants_string() { return true; }
  void string(std::string&& text) { value(JsonValue(std::move(text))); }
  void number(double v) { value(JsonValue(v)); }
  void boolean(bool v) { value(JsonValue(v)); }
  void null() { value(JsonValue(nullptr)); }
  void empty(bool object) { value(object ? JsonValue::object() : JsonValue::array()); }
  void close() { value(close_frame()); }

  JsonValue take() { return std::move(done_); }

 private:
  struct Frame {
    bool object = false;
    std::string key;  // the name read for the next member (objects)
    std::unique_ptr<std::unordered_map<std::string, std::size_t>> index;
  };

  void value(JsonValue&& v) {
    if (stack_.empty()) {
      done_ = std::move(v);
    } else {
      attach(std::move(v));
    }
  }

  // A container's members are gathered in a buffer kept for its depth and moved into the container
  // once it closes, at their final count: the buffers keep their capacity from one container to the
  // next, so a page of small objects is not a run of growing and copying vectors.
  JsonValue close_frame() {
    const std::size_t depth = stack_.size() - 1;
    JsonValue value;
    if (stack_.back().object) {
      auto& gathered = members_[depth];
      value = JsonValue::object();
      auto& members = members_of(value);
      members.reserve(gathered.size());
      for (auto& [name, member] : gathered) members.emplace_back(std::move(name), std::move(member));
      gathered.clear();
    } else {
      auto& gathered = elements_[depth];
      value = JsonValue::array();
      auto& elements = value.get_ref<JsonArray&>();
      elements.reserve(gathered.size());
      for (auto& element : gathered) elements.push_back(std::move(element));
      gathered.clear();
    }
    stack_.pop_back();
    return value;
  }

  void attach(JsonValue&& v) {
    const std::size_t depth = stack_.size() - 1;
    Frame& f = stack_.back();
    if (!f.object) {
      elements_[depth].push_back(std::move(v));
      return;
    }
    auto& members = members_[depth];
    // A repeated name keeps its first place and takes the last value, as JSON.parse does.
    if (f.index) {
      auto [it, fresh] = f.index->try_emplace(f.key, members.size());
      if (!fresh) {
        members[it->second].second = std::move(v);
        return;
      }
    } else {
      for (auto& m : members) {
        if (m.first == f.key) {
          m.second = std::move(v);
          return;
        }
      }
    }
    members.emplace_back(std::move(f.key), std::move(v));
    f.key.clear();
    if (!f.index && members.size() >= kLinearScanMembers) {
      f.index = std::make_unique<std::unordered_map<std::string, std::size_t>>();
      for (std::size_t i = 0; i < members.size(); ++i) f.index->emplace(members[i].first, i);
    }
  }

  std::vector<Frame> stack_;
  std::vector<std::vector<std::pair<std::string, JsonValue>>> members_;  // by depth
  std::vector<std::vector<JsonValue>> elements_;                         // by depth
  JsonValue done_;
};

// Hands a scan's values to its caller's events.
class EventSink {
 public:
  explicit EventSink(JsonEvents& events) : events_(events) {}
  void open(bool object) { events_.open(object); }
  void key(std::string&& name) { events_.key(name); }
  bool wants_string() const { return events_.wants_string(); }
  void string(std::string&& text) { events_.scalar(JsonScalar::string, text, 0); }
  void number(double v) { events_.scalar(JsonScalar::number, {}, v); }
  void boolean(bool v) { events_.scalar(JsonScalar::boolean, {}, v ? 1 : 0); }
  void null() { events_.scalar(JsonScalar::null, {}, 0); }
  void empty(bool object) {
    events_.open(object);
    events_.close();
  }
  void close() { events_.close(); }

 private:
  JsonEvents& events_;
};

// The grammar, once for every receiver, so a scan accepts exactly the texts a parse accepts. The
// reader keeps its own stack of open containers (objects or arrays) instead of recursing.
template <typename Sink>
class Reader {
 public:
  Reader(std::string_view in, Sink& sink) : in_(in), sink_(sink) {}

  bool read() {
    skip_ws();
    for (;;) {
      // Expecting a value.
      if (at_end()) return false;
      char c = in_[pos_];
      if (c == '{' || c == '[') {
        if (open_.size() >= kMaxJsonDepth) return false;
        ++pos_;
        skip_ws();
        if (!at_end() && in_[pos_] == (c == '{' ? '}' : ']')) {
          ++pos_;
          sink_.empty(c == '{');
        } else {
          open_.push_back(c == '{');
          sink_.open(c == '{');
          if (c == '{' && !read_key()) return false;
          continue;
        }
      } else if (!read_scalar()) {
        return false;
      }
      // A value is complete: closing containers as they end.
      for (;;) {
        if (open_.empty()) {
          skip_ws();
          return at_end();
        }
        skip_ws();
        if (at_end()) return false;
        const bool is_object = open_.back();
        char d = in_[pos_++];
        if (d == ',') {
          skip_ws();
          if (is_object && !read_key()) return false;
          break;  // next value
        }
        if (d != (is_object ? '}' : ']')) return false;
        open_.pop_back();
        sink_.close();
      }
    }
  }

 private:
  bool at_end() const { return pos_ >= in_.size(); }

  void skip_ws() {
    while (!at_end()) {
      char c = in_[pos_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
      ++pos_;
    }
  }

  // At a member name: reads it, the colon and the blanks before the value.
  bool read_key() {
    if (at_end() || in_[pos_] != '"') return false;
    std::string name;
    if (!read_string(&name)) return false;
    sink_.key(std::move(name));
    skip_ws();
    if (at_end() || in_[pos_] != ':') return false;
    ++pos_;
    skip_ws();
    return true;
  }

  bool read_scalar() {
    char c = in_[pos_];
    if (c == '"') {
      if (!sink_.wants_string()) {
        // Still an arrival the receiver must see, only without its text.
        if (!read_string(nullptr)) return false;
        sink_.string({});
        return true;
      }
      std::string s;
      if (!read_string(&s)) return false;
      sink_.string(std::move(s));
      return true;
    }
    if (c == '-' || (c >= '0' && c <= '9')) return read_number();
    if (literal("true")) {
      sink_.boolean(true);
      return true;
    }
    if (literal("false")) {
      sink_.boolean(false);
      return true;
    }
    if (literal("null")) {
      sink_.null();
      return true;
    }
    return false;
  }

  bool literal(std::string_view word) {
    if (in_.compare(pos_, word.size(), word) != 0) return false;
    pos_ += word.size();
    return true;
  }

  static bool is_digit(char c) { return c >= '0' && c <= '9'; }

  bool read_number() {
    const std::size_t start = pos_;
    bool negative = false;
    if (in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    if (at_end() || !is_digit(in_[pos_])) return false;
    // Decimal exponent of the first significant digit, to tell overflow from underflow below.
    long long magnitude = 0;
    bool significant = false;
    if (in_[pos_] == '0') {
      ++pos_;
    } else {
      while (!at_end() && is_digit(in_[pos_])) {
        ++pos_;
        ++magnitude;
      }
      significant = true;
      --magnitude;
    }
    if (!at_end() && in_[pos_] == '.') {
      ++pos_;
      if (at_end() || !is_digit(in_[pos_])) return false;
      long long place = -1;
      while (!at_end() && is_digit(in_[pos_])) {
        if (!significant && in_[pos_] != '0') {
          significant = true;
          magnitude = place;
        }
        --place;
        ++pos_;
      }
    }
    if (!at_end() && (in_[pos_] == 'e' || in_[pos_] == 'E')) {
      ++pos_;
      bool exp_negative = false;
      if (!at_end() && (in_[pos_] == '+' || in_[pos_] == '-')) exp_negative = in_[pos_++] == '-';
      if (at_end() || !is_digit(in_[pos_])) return false;
      long long exponent = 0;
      while (!at_end() && is_digit(in_[pos_])) {
        if (exponent < 1'000'000'000) exponent = exponent * 10 + (in_[pos_] - '0');
        ++pos_;
      }
      magnitude += exp_negative ? -exponent : exponent;
    }
    double value = 0;
    auto res = std::from_chars(in_.data() + start, in_.data() + pos_, value);
    if (res.ec == std::errc::result_out_of_range) {
      // JSON.parse gives Infinity for a number too large for a double and 0 for one too small.
      value = (significant && magnitude > 0) ? std::numeric_limits<double>::infinity() : 0.0;
      if (negative) value = -value;
    } else if (res.ec != std::errc() || res.ptr != in_.data() + pos_) {
      return false;
    }
    sink_.number(value);
    return true;
  }

  static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // Reads four hex digits at pos_; -1 when they are not there.
  long read_hex4(std::size_t at) const {
    if (at + 4 > in_.size()) return -1;
    long v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      int h = hex_value(in_[at + i]);
      if (h < 0) return -1;
      v = v * 16 + h;
    }
    return v;
  }

  // At the opening quote. Without `out` the string is only checked (a scan that does not need it).
  bool read_string(std::string* out) {
    std::string unused;
    std::string& text = out ? *out : unused;
    text.clear();
    ++pos_;
    for (;;) {
      std::size_t run = pos_;
      while (run < in_.size()) {
        auto c = static_cast<unsigned char>(in_[run]);
        if (c == '"' || c == '\\' || c < 0x20) break;
        ++run;
      }
      if (out) text.append(in_.substr(pos_, run - pos_));
      pos_ = run;
      if (at_end()) return false;
      char c = in_[pos_];
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c != '\\') return false;  // a raw control character
      if (++pos_ >= in_.size()) return false;
      char e = in_[pos_++];
      switch (e) {
        case '"': text += '"'; break;
        case '\\': text += '\\'; break;
        case '/': text += '/'; break;
        case 'b': text += '\b'; break;
        case 'f': text += '\f'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'u': {
          long unit = read_hex4(pos_);
          if (unit < 0) return false;
          pos_ += 4;
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            long low = (pos_ + 1 < in_.size() && in_[pos_] == '\\' && in_[pos_ + 1] == 'u')
                           ? read_hex4(pos_ + 2)
                           : -1;
            if (low >= 0xDC00 && low <= 0xDFFF) {
              pos_ += 6;
              append_utf8(text, 0x10000 + ((static_cast<unsigned long>(unit) - 0xD800) << 10) +
                                   (static_cast<unsigned long>(low) - 0xDC00));
            } else {
              text += '?';
            }
          } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            text += '?';
          } else {
            append_utf8(text, static_cast<unsigned long>(unit));
          }
          break;
        }
        default:
          return false;
      }
    }
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  Sink& sink_;
  std::vector<bool> open_;  // the open containers, innermost last: true for an object
};

}  // namespace

std::optional<JsonValue> read_json(std::string_view utf8) {
  try {
    Builder builder;
    if (!Reader<Builder>(utf8, builder).read()) return std::nullopt;
    return builder.take();
  } catch (...) {  // out of memory on a huge answer: report it as unreadable
    return std::nullopt;
  }
}

bool scan_json(std::string_view utf8, JsonEvents& events) {
  try {
    EventSink sink(events);
    return Reader<EventSink>(utf8, sink).read();
  } catch (...) {
    return false;
  }
}

}  // namespace kestrano
