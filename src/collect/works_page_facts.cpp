#include "collect/works_page_facts.h"

#include <algorithm>

#include "collect/works_list_paths.h"
#include "parsing/json_number.h"
#include "parsing/json_reader.h"
#include "parsing/large_text.h"

namespace kestrano {
namespace {

// Where a container stands on the way to the fields the scan reads.
enum class Place {
  other,
  root,
  workspage,
  data,
  list,
  item,
  video_info,
  clarities,  // videoInfo.multiClarity: an array, or an object whose member "0" is the first
  clarity,    // its first entry
};

struct Frame {
  Place place = Place::other;
  std::size_t item = 0;      // the entry of the works list it belongs to (item and below)
  bool array = false;
  std::size_t elements = 0;  // arrays: elements met so far
  std::string key;           // objects: the name of the member whose value comes next
};

// A value as get_text turns it into text; `unsure` for what the scan does not render (an array, or a
// string that is not valid UTF-8).
struct Value {
  enum class Kind { absent, unsure, string, number, boolean, object } kind = Kind::absent;
  std::string text;
  double number = 0;
};

struct Item {
  Value id, title, publish_time, duration, play_address;
};

bool ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool printable_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// Well-formed UTF-8 (no overlong forms, surrogates or values beyond U+10FFFF).
bool valid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + n >= text.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto t = static_cast<unsigned char>(text[i + k]);
      if (t < (k == 1 ? low : 0x80) || t > (k == 1 ? high : 0xBF)) return false;
    }
    i += n + 1;
  }
  return true;
}

// get_text's rendering of a value that the scan vouches for.
Text text_of(const Value& v) {
  switch (v.kind) {
    case Value::Kind::string: return gbk_from_utf8_large(v.text);
    case Value::Kind::number: return g13_number_text(v.number);
    case Value::Kind::boolean: return v.number != 0 ? "true" : "false";
    case Value::Kind::object: return "[object Object]";
    default: return {};
  }
}

// Follows the scan along workspage.data.ext and, for every entry of workspage.data.worksList, its
// videoInfo.vid and (when rows are wanted) the fields of its row. A name that comes again takes the
// last value, as in the document, so every arrival at one of those places forgets what an earlier
// value there left.
class PageScan : public JsonEvents {
 public:
  explicit PageScan(bool rows) : rows_(rows) {}

  void open(bool object) override {
    Frame frame;
    frame.place = arrive(object ? Arrival::object : Arrival::array, {}, 0);
    frame.item = item_;
    frame.array = !object;
    stack_.push_back(std::move(frame));
  }

  void close() override { stack_.pop_back(); }

  void key(std::string_view name) override {
    Frame& f = stack_.back();
    f.key.assign(name);
    // On its way through code page 936 a name may lose characters (ICU drops the invisible ones it
    // cannot write, such as U+FEFF) and become one of the names followed here.
    if (f.place != Place::other && !ascii(name)) unsure_ = true;
  }

  bool wants_string() const override {
    if (stack_.empty()) return false;
    const Frame& f = stack_.back();
    switch (f.place) {
      case Place::data: return f.key == "ext";
      case Place::item: return rows_ && f.key == "title";
      case Place::video_info: return f.key == "vid" || (rows_ && (f.key == "publish_time" || f.key == "duration"));
      case Place::clarity: return rows_ && f.key == "videoPlayUrl";
      default: return false;
    }
  }

  void scalar(JsonScalar kind, std::string_view text, double number) override {
    const Arrival what = kind == JsonScalar::string   ? Arrival::string
                         : kind == JsonScalar::number ? Arrival::number
                         : kind == JsonScalar::boolean ? Arrival::boolean
                                                       : Arrival::null;
    arrive(what, text, number);
  }

  // The facts are those the document gives (see scan_works_page).
  bool vouches() const {
    return !unsure_ && list_is_array_ && plain(token_) &&
           std::all_of(items_.begin(), items_.end(), [](const Item& item) { return plain(item.id); });
  }

  std::optional<WorksPageFacts> facts() const {
    if (!vouches()) return std::nullopt;
    WorksPageFacts facts;
    facts.count = static_cast<int>(items_.size());
    for (const Item& item : items_) facts.ids.push_back(item.id.text);
    facts.next_token = token_.text;
    return facts;
  }

  std::optional<std::vector<WorkFields>> fields() const {
    std::vector<WorkFields> works;
    works.reserve(items_.size());
    for (const Item& item : items_) {
      for (const Value* v : {&item.title, &item.publish_time, &item.duration, &item.play_address}) {
        if (v->kind == Value::Kind::unsure) return std::nullopt;
      }
      works.push_back({text_of(item.title), text_of(item.publish_time), text_of(item.duration),
                       text_of(item.play_address)});
    }
    return works;
  }

 private:
  enum class Arrival { object, array, string, number, boolean, null };

  // Only a string of printable ASCII reads the same after the answer's way through code page 936.
  static bool plain(const Value& v) { return v.kind == Value::Kind::string && printable_ascii(v.text); }

  static Value value_of(Arrival what, std::string_view text, double number) {
    Value v;
    switch (what) {
      case Arrival::string:
        v.kind = valid_utf8(text) ? Value::Kind::string : Value::Kind::unsure;
        v.text.assign(text);
        break;
      case Arrival::number:
        v.kind = Value::Kind::number;
        v.number = number;
        break;
      case Arrival::boolean:
        v.kind = Value::Kind::boolean;
        v.number = number;
        break;
      case Arrival::object: v.kind = Value::Kind::object; break;
      case Arrival::array: v.kind = Value::Kind::unsure; break;
      case Arrival::null: break;  // reads as empty text, as an absent value does
    }
    return v;
  }

  // A value arrives at the top frame's current place; returns the place a container opened there has.
  Place arrive(Arrival what, std::string_view text, double number) {
    const bool object = what == Arrival::object;
    if (stack_.empty()) return object ? Place::root : Place::other;
    Frame& parent = stack_.back();
    const std::string& key = parent.key;
    const std::size_t element = parent.array ? parent.elements++ : 0;
    switch (parent.place) {
      case Place::root:
        if (key != "workspage") break;
        forget_data();
        return object ? Place::workspage : Place::other;
      case Place::workspage:
        if (key != "data") break;
        forget_data();
        return object ? Place::data : Place::other;
      case Place::data:
        if (key == "ext") {
          token_ = value_of(what, text, number);
        } else if (key == "worksList") {
          items_.clear();
          list_is_array_ = what == Arrival::array;
          return list_is_array_ ? Place::list : Place::other;
        }
        break;
      case Place::list:
        item_ = items_.size();
        items_.emplace_back();
        return object ? Place::item : Place::other;
      case Place::item: {
        Item& item = items_[parent.item];
        item_ = parent.item;
        if (key == "title") {
          item.title = value_of(what, text, number);
        } else if (key == "videoInfo") {
          Value title = std::move(item.title);  // the only field outside videoInfo
          item = Item{};
          item.title = std::move(title);
          return object ? Place::video_info : Place::other;
        }
        break;
      }
      case Place::video_info: {
        Item& item = items_[parent.item];
        item_ = parent.item;
        if (key == "vid") {
          item.id = value_of(what, text, number);
        } else if (key == "publish_time") {
          item.publish_time = value_of(what, text, number);
        } else if (key == "duration") {
          item.duration = value_of(what, text, number);
        } else if (key == "multiClarity") {
          item.play_address = {};
          if (what == Arrival::array || object) return Place::clarities;
        }
        break;
      }
      case Place::clarities: {
        const bool first = parent.array ? element == 0 : key == "0";
        if (!first) break;
        item_ = parent.item;
        items_[parent.item].play_address = {};
        return object ? Place::clarity : Place::other;
      }
      case Place::clarity:
        if (key != "videoPlayUrl") break;
        items_[parent.item].play_address = value_of(what, text, number);
        break;
      case Place::other:
        break;
    }
    return Place::other;
  }

  void forget_data() {
    token_ = {};
    items_.clear();
    list_is_array_ = false;
  }

  const bool rows_;
  std::vector<Frame> stack_;
  std::size_t item_ = 0;  // the entry a container about to open belongs to
  bool list_is_array_ = false;
  bool unsure_ = false;  // a name on the way to the fields is not plain ASCII
  std::vector<Item> items_;
  Value token_;
};

}  // namespace

std::optional<WorksPageFacts> facts_from_document(const JsonDocument& document) {
  const int list_type = document.type_of(kWorksListPath);
  if (list_type != json_type::array && list_type != json_type::null_or_absent) return std::nullopt;
  WorksPageFacts facts;
  facts.count = document.count(kWorksListPath);
  facts.next_token = document.get_text(kNextPageTokenPath);
  facts.ids.reserve(static_cast<std::size_t>(std::max(facts.count, 0)));
  for (int k = 0; k < facts.count; ++k) facts.ids.push_back(document.get_text(work_path(k, ".videoInfo.vid")));
  return facts;
}

std::vector<WorkFields> work_fields_from_document(const JsonDocument& document, int count) {
  std::vector<WorkFields> works;
  for (int k = 0; k < count; ++k) {
    works.push_back({document.get_text(work_path(k, ".title")),
                     document.get_text(work_path(k, ".videoInfo['publish_time']")),
                     document.get_text(work_path(k, ".videoInfo.duration")),
                     document.get_text(work_path(k, ".videoInfo.multiClarity[0].videoPlayUrl"))});
  }
  return works;
}

// Why the answer as it came gives what the document gives: the answer reaches the document converted
// to code page 936 and back to UTF-8, which leaves every ASCII byte as it is and turns every other
// character into other non-ASCII bytes, into "?", or into nothing (an invisible character the code page
// lacks). Outside strings such characters are not JSON as the answer stands, so the scan gives up there.
// Inside strings they are string content either way, so the scan and the parse see the same structure.
// Member names of plain ASCII are the same both ways; a name on the way to the fields that holds
// anything else might turn into one of them, so the scan gives up on it. A string of valid UTF-8 comes
// out of get_text as its characters in code page 936 both ways, since both ways convert the same
// characters one by one; broken UTF-8 may come out differently, so the scan does not vouch for it. (A
// NUL byte, at which the conversion cuts the answer, is never JSON as it stands either.)
std::optional<WorksPageFacts> scan_works_page(std::string_view utf8_answer) {
  PageScan scan(false);
  if (!scan_json(utf8_answer, scan)) return std::nullopt;
  return scan.facts();
}

std::optional<std::vector<WorkFields>> scan_work_fields(std::string_view utf8_answer) {
  PageScan scan(true);
  if (!scan_json(utf8_answer, scan) || !scan.vouches()) return std::nullopt;
  return scan.fields();
}

}  // namespace kestrano
