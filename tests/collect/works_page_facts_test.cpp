// The scan of an answer as it came and the parsed document must agree on every page: the next request
// is sent on the scan's word. Each answer is scanned and also read the collector's way (converted to
// code page 936, parsed, read by path); the scan must either step aside or give exactly those facts.
#include "collect/works_page_facts.h"

#include <gtest/gtest.h>

#include "text/codepage.h"
#include "web/encoding.h"

using namespace kestrano;

namespace {

struct Case {
  const char* name;
  std::string answer;  // UTF-8, as it comes off the wire
  bool scanned;        // the scan answers for it (else it leaves it to the document)
};

std::optional<WorksPageFacts> facts_of_document(const std::string& answer, bool& parsed) {
  JsonDocument document;
  parsed = document.parse(to_text(convert_charset(to_bytes(answer))));
  if (!parsed) return std::nullopt;
  return facts_from_document(document);
}

std::string page(const std::string& list, const std::string& rest = R"(,"ext":"next")") {
  return R"({"workspage":{"errno":0,"data":{"worksList":)" + list + rest + "}}}";
}

const std::string kTwoVideos =
    R"([{"title":"第一个视频 ✓","videoInfo":{"vid":"1001","duration":"12.5"}},)"
    R"({"title":"two","videoInfo":{"publish_time":"2024-01-02","vid":"1002"}}])";

}  // namespace

TEST(WorksPageFacts, ScanAgreesWithTheDocumentOrStepsAside) {
  const std::vector<Case> cases = {
      {"plain page, titles beyond ASCII", page(kTwoVideos), true},
      {"empty list", page("[]"), true},
      {"blanks everywhere", " {\r\n\"workspage\" : { \"data\" :{ \"worksList\" : [ { \"videoInfo\" : { \"vid\" : \"7\" } } ] ,"
                            " \"ext\" : \"t\" } } }\n", true},
      {"escaped ASCII in a name and an id", R"({"workspage":{"data":{"works\u004cist":[{"videoInfo":{"vid":"\u0041\/1"}}],"ext":"t"}}})", true},
      {"repeated names take the last value",
       R"({"workspage":{"data":{"worksList":[{"videoInfo":{"vid":"a"}}],"ext":"t1","worksList":[{"videoInfo":{"vid":"b","vid":"c"}},)"
       R"({"videoInfo":{"vid":"x"},"videoInfo":{"vid":"d"}}],"ext":"t2"}}})", true},
      {"a repeated entry without an id drops the first one's", page(R"([{"videoInfo":{"vid":"x"},"videoInfo":{}}])"), false},
      {"a repeated data replaces the first", R"({"workspage":{"data":{"worksList":[{"videoInfo":{"vid":"a"}}],"ext":"x"},"data":{"worksList":[],"ext":"e"}}})", true},
      {"a repeated data without a token drops the first one's", R"({"workspage":{"data":{"worksList":[],"ext":"x"},"data":{"worksList":[]}}})", false},
      {"a repeated workspage that is not an object", R"({"workspage":{"data":{"worksList":[],"ext":"e"}},"workspage":1})", false},
      {"same fields elsewhere do not count", R"({"other":{"data":{"worksList":[1]}},"workspage":{"data":{"x":{"ext":"no"},"worksList":[{"videoInfo":{"vid":"v","x":{"vid":"no"}}}],"ext":"yes"}}})", true},
      {"an id that is a number", page(R"([{"videoInfo":{"vid":1002}}])"), false},
      {"an id that is absent", page(R"([{"videoInfo":{}}])"), false},
      {"an entry that is not an object", page(R"([{"videoInfo":{"vid":"1"}},5])"), false},
      {"an id beyond ASCII", page(R"([{"videoInfo":{"vid":"视频"}}])"), false},
      {"an id escaped beyond ASCII", page(R"([{"videoInfo":{"vid":"\u00e9"}}])"), false},
      {"a token that is absent", page(kTwoVideos, ""), false},
      {"a token that is null", page(kTwoVideos, R"(,"ext":null)"), false},
      {"a list that is null", page("null"), false},
      {"a list that is an object", page(R"({"0":{"videoInfo":{"vid":"1"}}})"), false},
      {"a root that is an array", R"([{"workspage":{}}])", false},
      {"a byte-order mark before the answer", "\xEF\xBB\xBF" + page(kTwoVideos), false},
      {"a NUL byte after the answer", page(kTwoVideos) + std::string(1, '\0') + "garbage", false},
      {"a NUL byte inside a title", page(R"([{"title":"a)" + std::string(1, '\0') + R"(b","videoInfo":{"vid":"1"}}])"), false},
      {"broken UTF-8 inside a title", page("[{\"title\":\"\xE4\xBD\",\"videoInfo\":{\"vid\":\"1\"}}]"), true},
      {"broken UTF-8 outside strings", page("[{\"videoInfo\":{\"vid\":\"1\"}}\xE4]"), false},
      {"not JSON: trailing comma", page(R"([{"videoInfo":{"vid":"1"}},])"), false},
      {"not JSON: cut short", page(kTwoVideos).substr(0, 60), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool parsed = false;
    const std::optional<WorksPageFacts> from_document = facts_of_document(c.answer, parsed);
    const std::optional<WorksPageFacts> scanned = scan_works_page(c.answer);
    EXPECT_EQ(scanned.has_value(), c.scanned);
    if (!scanned) continue;
    EXPECT_TRUE(parsed);
    ASSERT_TRUE(from_document.has_value());
    EXPECT_EQ(scanned->count, from_document->count);
    EXPECT_EQ(scanned->ids, from_document->ids);
    EXPECT_EQ(scanned->next_token, from_document->next_token);
  }
}

TEST(WorksPageFacts, DocumentGivesCountIdsAndToken) {
  bool parsed = false;
  const auto facts = facts_of_document(
      R"({"workspage":{"data":{"worksList":[{"videoInfo":{"vid":"a"}},{"videoInfo":{"vid":12}},{}],"ext":"tok"}}})", parsed);
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->count, 3);
  EXPECT_EQ(facts->ids, (std::vector<Text>{"a", "12", ""}));
  EXPECT_EQ(facts->next_token, "tok");
  // A list that is there but is not an array cannot be read at all.
  EXPECT_FALSE(facts_of_document(page(R"("none")"), parsed).has_value());
  EXPECT_TRUE(parsed);
}
