#include "collect/works_page_facts.h"

#include <algorithm>

#include "collect/works_list_paths.h"
#include "parsing/json_reader.h"

namespace kestrano {
namespace {

// Where a container stands on the way to the fields the facts come from.
enum class Place { other, root, workspage, data, list, item, video_info };

struct Frame {
  Place place = Place::other;
  std::size_t item = 0;  // item, video_info: the entry's index in the list
  std::string key;       // objects: the name of the member whose value comes next
};

bool printable_ascii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// Follows the scan along workspage.data.worksList[k].videoInfo.vid and workspage.data.ext. A name that
// comes again takes the last value, as in the document, so every arrival at one of those places
// forgets what an earlier value there left.
class PageScan : public JsonEvents {
 public:
  void open(bool object) override {
    const Place place = arrive(object ? Arrival::object : Arrival::array, {});
    stack_.push_back({place, place == Place::item || place == Place::video_info ? item_ : 0, {}});
  }

  void close() override { stack_.pop_back(); }

  void key(std::string_view name) override { stack_.back().key.assign(name); }

  bool wants_string() const override {
    if (stack_.empty()) return false;
    const Frame& f = stack_.back();
    return (f.place == Place::data && f.key == "ext") || (f.place == Place::video_info && f.key == "vid");
  }

  void scalar(JsonScalar kind, std::string_view text) override {
    arrive(kind == JsonScalar::string ? Arrival::string : Arrival::other, text);
  }

  std::optional<WorksPageFacts> facts() const {
    if (!list_is_array_ || !token_) return std::nullopt;
    WorksPageFacts facts;
    facts.count = static_cast<int>(ids_.size());
    for (const auto& id : ids_) {
      if (!id) return std::nullopt;
      facts.ids.push_back(*id);
    }
    facts.next_token = *token_;
    return facts;
  }

 private:
  enum class Arrival { object, array, string, other };

  // A value arrives at the top frame's current place; returns the place a container opened there has.
  Place arrive(Arrival what, std::string_view text) {
    const bool object = what == Arrival::object;
    if (stack_.empty()) return object ? Place::root : Place::other;
    const Frame& parent = stack_.back();
    switch (parent.place) {
      case Place::root:
        if (parent.key != "workspage") break;
        forget_data();
        return object ? Place::workspage : Place::other;
      case Place::workspage:
        if (parent.key != "data") break;
        forget_data();
        return object ? Place::data : Place::other;
      case Place::data:
        if (parent.key == "ext") {
          token_.reset();
          if (what == Arrival::string) token_ = plain(text);
        } else if (parent.key == "worksList") {
          ids_.clear();
          list_is_array_ = what == Arrival::array;
          return list_is_array_ ? Place::list : Place::other;
        }
        break;
      case Place::list:
        item_ = ids_.size();
        ids_.emplace_back();
        return object ? Place::item : Place::other;
      case Place::item:
        if (parent.key != "videoInfo") break;
        item_ = parent.item;
        ids_[item_].reset();
        return object ? Place::video_info : Place::other;
      case Place::video_info:
        if (parent.key != "vid") break;
        ids_[parent.item].reset();
        if (what == Arrival::string) ids_[parent.item] = plain(text);
        break;
      case Place::other:
        break;
    }
    return Place::other;
  }

  // Only a string of printable ASCII reads the same after the answer's way through code page 936.
  static std::optional<Text> plain(std::string_view text) {
    Text t(text);
    if (!printable_ascii(t)) return std::nullopt;
    return t;
  }

  void forget_data() {
    token_.reset();
    ids_.clear();
    list_is_array_ = false;
  }

  std::vector<Frame> stack_;
  std::size_t item_ = 0;  // the entry a container about to open belongs to
  bool list_is_array_ = false;
  std::vector<std::optional<Text>> ids_;  // nullopt: absent or not a plain string
  std::optional<Text> token_;             // likewise
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

// Why the answer as it came gives what the document gives: the answer reaches the document converted
// to code page 936 and back to UTF-8, which leaves every ASCII byte as it is and turns every other
// character into other non-ASCII bytes or "?". Outside strings such bytes are not JSON either way;
// inside them they are string content either way. So the scan and the parse see the same structure;
// member names that hold only ASCII are the same, and others cannot be the ones followed here; and a
// string of printable ASCII is the same text. (A NUL byte, at which the conversion cuts the answer, is
// never JSON as it stands, so such an answer is left to the document.)
std::optional<WorksPageFacts> scan_works_page(std::string_view utf8_answer) {
  PageScan scan;
  if (!scan_json(utf8_answer, scan)) return std::nullopt;
  return scan.facts();
}

}  // namespace kestrano
