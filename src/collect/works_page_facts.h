#pragma once
// What a works-list page tells: how many videos it lists, their ids and the token of the next page (all
// the reading needs before the next page can be asked for), and the fields of each video that make
// its row. Two ways to learn them that agree on every answer: from the parsed document, read by path,
// and by a scan of the answer as it came off the wire, which converts and builds nothing. The page
// reader scans, so the time between one answer and the next request stays short; the collector scans
// too, for the rows. A scan answers only for the plain page and leaves anything else to the document.

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
};

// The fields of one video that make its row, as get_text reads them.
struct WorkFields {
  Text title;          // .title
  Text publish_time;   // .videoInfo['publish_time']
  Text duration;       // .videoInfo.duration
  Text play_address;   // .videoInfo.multiClarity[0].videoPlayUrl

  bool operator==(const WorkFields&) const = default;
};

// nullopt when the works list is there but is not an array: such a page cannot be read.
std::optional<WorksPageFacts> facts_from_document(const JsonDocument& document);

// The first `count` videos of the works list.
std::vector<WorkFields> work_fields_from_document(const JsonDocument& document, int count);

// From the UTF-8 answer. A result means the answer parses (once taken into code page 936, as every
// answer is) and facts_from_document gives the same facts for it. nullopt says nothing either way: the
// list is not an array, or an id or the token is not a string of printable ASCII, or the answer is not
// JSON as it stands.
std::optional<WorksPageFacts> scan_works_page(std::string_view utf8_answer);

// Every video's fields from the UTF-8 answer, the same as work_fields_from_document gives for the parsed
// answer; nullopt when the scan cannot vouch for that (scan_works_page gives nullopt, or a field is an
// array or a string that is not valid UTF-8).
std::optional<std::vector<WorkFields>> scan_work_fields(std::string_view utf8_answer);

}  // namespace kestrano
