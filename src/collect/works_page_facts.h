#pragma once
// What a works-list page must tell before the next page can be asked for: how many videos it lists,
// their ids and the token of the next page. Two ways to learn it that agree on every answer: from the
// parsed document, and by a scan of the answer as it came off the wire, which converts and builds
// nothing and so keeps the time between one answer and the next request short. The scan answers only
// for the plain page; anything else is left to the document.

#include <optional>
#include <string_view>
#include <vector>

#include "parsing/json_document.h"
#include "text/text.h"

namespace kestrano {

struct WorksPageFacts {
  int count = 0;           // entries of workspage.data.worksList
  std::vector<Text> ids;   // their video ids (videoInfo.vid), in order
  Text next_token;         // workspage.data.ext

  bool operator==(const WorksPageFacts&) const = default;
};

// nullopt when the works list is there but is not an array: such a page cannot be read.
std::optional<WorksPageFacts> facts_from_document(const JsonDocument& document);

// From the UTF-8 answer. A result means the answer parses (once taken into code page 936, as every
// answer is) and facts_from_document gives the same facts for it. nullopt says nothing either way: the
// list is not an array, or an id or the token is not a string of printable ASCII, or the answer is not
// JSON as it stands.
std::optional<WorksPageFacts> scan_works_page(std::string_view utf8_answer);

}  // namespace kestrano
