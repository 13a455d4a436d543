// The scan of an answer as it came and the parsed document must agree on every page: the next request
// is sent on the scan's word, and the rows are made from it. Each answer is scanned and also read the
// collector's way (converted to code page 936, parsed, read by path); the scan must either step aside
// or give exactly what the document gives.
#include "collect/works_page_facts.h"

#include <gtest/gtest.h>

#include "text/codepage.h"
#include "web/encoding.h"

using namespace kestrano;

namespace {

struct Case {
  const char* name;
  std::string answer;  // UTF-8, as it comes off the wire
  bool scanned;        // the scan answers for the facts (else it leaves them to the document)
  bool rows_scanned;   // likewise for the rows' fields
};

// The collector's way: converted to code page 936, parsed, read by path.
std::optional<WorksPageFacts> facts_of_document(const std::string& answer, bool& parsed,
                                                std::vector<WorkFields>* works = nullptr) {
  JsonDocument document;
  parsed = document.parse(to_text(convert_charset(to_bytes(answer))));
  if (!parsed) return std::nullopt;
  auto facts = facts_from_document(document);
  if (facts && works) *works = work_fields_from_document(document, facts->count);
  return facts;
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
      {"plain page, titles beyond ASCII", page(kTwoVideos), true, true},
      {"empty list", page("[]"), true, true},
      {"blanks everywhere", " {\r\n\"workspage\" : { \"data\" :{ \"worksList\" : [ { \"videoInfo\" : { \"vid\" : \"7\" } } ] ,"
                            " \"ext\" : \"t\" } } }\n", true, true},
      {"escaped ASCII in a name and an id",
       R"({"workspage":{"data":{"works\u004cist":[{"videoInfo":{"vid":"\u0041\/1"}}],"ext":"t"}}})", true, true},
      {"repeated names take the last value",
       R"({"workspage":{"data":{"worksList":[{"videoInfo":{"vid":"a"}}],"ext":"t1","worksList":[{"videoInfo":{"vid":"b","vid":"c"}},)"
       R"({"videoInfo":{"vid":"x"},"videoInfo":{"vid":"d"}}],"ext":"t2"}}})", true, true},
      {"a repeated entry without an id drops the first one's",
       page(R"([{"videoInfo":{"vid":"x"},"videoInfo":{}}])"), false, false},
      {"a repeated data replaces the first",
       R"({"workspage":{"data":{"worksList":[{"videoInfo":{"vid":"a"}}],"ext":"x"},"data":{"worksList":[],"ext":"e"}}})", true, true},
      {"a repeated data without a token drops the first one's",
       R"({"workspage":{"data":{"worksList":[],"ext":"x"},"data":{"worksList":[]}}})", false, false},
      {"fields of every kind",
       page(R"([{"title":12.5,"videoInfo":{"vid":"1","publish_time":true,"duration":15,)"
            R"("multiClarity":{"0":{"videoPlayUrl":"http://h/1.mp4"}}}},)"
            R"({"title":null,"videoInfo":{"vid":"2","publish_time":{},"duration":1e21,)"
            R"("multiClarity":[{"key":"sd"},{"videoPlayUrl":"second"}]}},)"
            R"({"title":{"a":1},"videoInfo":{"vid":"3","publish_time":false,"duration":-0.5,"multiClarity":"none"}}])"),
       true, true},
      {"titles beyond code page 936 and escaped",
       page(R"([{"title":"🌸 Straße \u4e2d\u6587 \ud83c\udf38 \ud800 \u00e9","videoInfo":{"vid":"1"}}])"), true, true},
      {"repeated videoInfo and multiClarity forget the first ones' fields",
       page(R"([{"title":"t","videoInfo":{"vid":"1","duration":5,"multiClarity":[{"videoPlayUrl":"a"}]},)"
            R"("videoInfo":{"vid":"1","multiClarity":[{"videoPlayUrl":"b"}],"multiClarity":[]}}])"),
       true, true},
      {"a repeated list that is a string",
       R"({"workspage":{"data":{"worksList":[{"videoInfo":{"vid":"a"}}],"ext":"t","worksList":"p2"}}})", false, false},
      {"a repeated videoInfo that is a string", page(R"([{"videoInfo":{"vid":"1"},"videoInfo":"x"}])"), false, false},
      {"a repeated multiClarity that is a string",
       page(R"([{"videoInfo":{"vid":"1","multiClarity":[{"videoPlayUrl":"a"}],"multiClarity":"none"}}])"), true, true},
      {"a title that is an array", page(R"([{"title":["a","b"],"videoInfo":{"vid":"1"}}])"), true, false},
      {"a name that turns into vid on its way through code page 936",
       page("[{\"videoInfo\":{\"vid\":\"1\",\"v\xEF\xBB\xBFid\":\"2\"}}]"), false, false},
      {"names beyond ASCII away from the fields",
       page(R"([{"extra":{"标题":"x"},"videoInfo":{"vid":"1","more":{"名":1}}}])"), true, true},
      {"a name beyond ASCII beside the fields", page(R"([{"标题":"x","videoInfo":{"vid":"1"}}])"), false, false},
      {"a repeated workspage that is not an object",
       R"({"workspage":{"data":{"worksList":[],"ext":"e"}},"workspage":1})", false, false},
      {"same fields elsewhere do not count",
       R"({"other":{"data":{"worksList":[1]}},"workspage":{"data":{"x":{"ext":"no"},)"
       R"("worksList":[{"videoInfo":{"vid":"v","x":{"vid":"no"}}}],"ext":"yes"}}})",
       true, true},
      {"an id that is a number", page(R"([{"videoInfo":{"vid":1002}}])"), false, false},
      {"an id that is absent", page(R"([{"videoInfo":{}}])"), false, false},
      {"an entry that is not an object", page(R"([{"videoInfo":{"vid":"1"}},5])"), false, false},
      {"an id beyond ASCII", page(R"([{"videoInfo":{"vid":"视频"}}])"), false, false},
      {"an id escaped beyond ASCII", page(R"([{"videoInfo":{"vid":"\u00e9"}}])"), false, false},
      {"a token that is absent", page(kTwoVideos, ""), false, false},
      {"a token that is null", page(kTwoVideos, R"(,"ext":null)"), false, false},
      {"a list that is null", page("null"), false, false},
      {"a list that is an object", page(R"({"0":{"videoInfo":{"vid":"1"}}})"), false, false},
      {"a root that is an array", R"([{"workspage":{}}])", false, false},
      {"a byte-order mark before the answer", "\xEF\xBB\xBF" + page(kTwoVideos), false, false},
      {"a NUL byte after the answer", page(kTwoVideos) + std::string(1, '\0') + "garbage", false, false},
      {"a NUL byte inside a title",
       page(R"([{"title":"a)" + std::string(1, '\0') + R"(b","videoInfo":{"vid":"1"}}])"), false, false},
      {"broken UTF-8 inside a title", page("[{\"title\":\"\xE4\xBD\",\"videoInfo\":{\"vid\":\"1\"}}]"), true, false},
      {"broken UTF-8 outside strings", page("[{\"videoInfo\":{\"vid\":\"1\"}}\xE4]"), false, false},
      {"not JSON: trailing comma", page(R"([{"videoInfo":{"vid":"1"}},])"), false, false},
      {"not JSON: cut short", page(kTwoVideos).substr(0, 60), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool parsed = false;
    std::vector<WorkFields> works;
    const std::optional<WorksPageFacts> from_document = facts_of_document(c.answer, parsed, &works);
    const std::optional<WorksPageFacts> scanned = scan_works_page(c.answer);
    const std::optional<std::vector<WorkFields>> scanned_works = scan_work_fields(c.answer);
    EXPECT_EQ(scanned.has_value(), c.scanned);
    EXPECT_EQ(scanned_works.has_value(), c.rows_scanned);
    // Every case runs, whatever an earlier one found: no assertion here ends the loop.
    if (scanned_works) {
      EXPECT_TRUE(scanned.has_value());
      EXPECT_EQ(scanned_works->size(), works.size());
      for (std::size_t k = 0; k < works.size() && k < scanned_works->size(); ++k) {
        EXPECT_EQ((*scanned_works)[k].title, works[k].title) << k;
        EXPECT_EQ((*scanned_works)[k].publish_time, works[k].publish_time) << k;
        EXPECT_EQ((*scanned_works)[k].duration, works[k].duration) << k;
        EXPECT_EQ((*scanned_works)[k].play_address, works[k].play_address) << k;
      }
    }
    if (!scanned) continue;
    EXPECT_TRUE(parsed);
    EXPECT_TRUE(from_document.has_value());
    if (!from_document) continue;
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
