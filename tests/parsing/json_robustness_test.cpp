// JsonDocument against hostile and oversized input: deep nesting, huge and wide answers, malformed
// paths and random mutations. Nothing may crash, throw or take more than linear time.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "parsing/json_document.h"
#include "text/codepage.h"

using namespace kestrano;

namespace {

std::string nested(char open, std::size_t depth) {
  std::string s;
  for (std::size_t i = 0; i < depth; ++i) s += open == '[' ? "[" : "{\"a\":";
  s += "1";
  for (std::size_t i = 0; i < depth; ++i) s += open == '[' ? ']' : '}';
  return s;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(JsonRobustness, NestingDeeperThan512LevelsIsRefused) {
  struct Case {
    std::string text;
    bool ok;
  } cases[] = {
      {nested('[', 512), true},
      {nested('[', 513), false},
      {nested('{', 512), true},
      {nested('{', 513), false},
      {nested('[', 100000), false},
      {std::string(100000, '['), false},
      {std::string(100000, '{'), false},
      {"\"" + std::string(100000, '[') + "\"", true},  // brackets inside a string do not nest
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20) + " (" + std::to_string(c.text.size()) + " bytes)");
    JsonDocument doc;
    EXPECT_EQ(doc.parse(c.text), c.ok);
  }
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(nested('[', 512)));
  std::string deepest;
  for (int i = 0; i < 511; ++i) deepest += "[0]";
  EXPECT_EQ(doc.get_text(deepest + "[0]"), "1");
  EXPECT_EQ(doc.count(deepest), 1);
  EXPECT_EQ(doc.to_json(), nested('[', 512));
}

TEST(JsonRobustness, ADocumentNestedDeeperThroughSettersStillWritesAndReads) {
  JsonDocument doc;
  doc.reset_as(json_type::array);
  std::string path;
  const int depth = 1500;
  for (int i = 0; i < depth; ++i) {
    doc.push("[]", path.empty() ? Text() : Text(path), true);
    path += "[0]";
  }
  EXPECT_EQ(doc.count(path), 0);
  const Text json = doc.to_json();
  EXPECT_EQ(json, std::string(depth + 1, '[') + std::string(depth + 1, ']'));
  EXPECT_EQ(doc.get_text(""), "");  // "da." is no path
  EXPECT_EQ(doc.get_text("[0]"), "");  // nested empty arrays join to nothing
  // A copy goes through a parse, which refuses this depth: the copy is null, not a crash.
  EXPECT_EQ(doc.get_document("[0]").to_json(), "null");
  EXPECT_EQ(doc.get_document(path.substr(0, 3 * 1200)).to_json(), std::string(301, '[') + std::string(301, ']'));
}

// The bounds below are generous for a loaded two-core machine under the sanitizers; a reader or a
// lookup that is quadratic in the input would not finish within them.
TEST(JsonRobustness, WideObjectsReadInLinearTime) {
  // 300,000 distinct names: a reader that searches the members for each new name takes minutes.
  std::string wide = "{";
  const int members = 300000;
  for (int i = 0; i < members; ++i) wide += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":" + std::to_string(i);
  wide += ",\"k0\":\"last wins\"}";

  const auto start = std::chrono::steady_clock::now();
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(wide));
  EXPECT_EQ(doc.count(), members);
  EXPECT_EQ(doc.get_text("k0"), "last wins");
  EXPECT_EQ(doc.get_text("k299999"), "299999");
  std::vector<Text> names;
  ASSERT_EQ(doc.member_names(names), members);
  EXPECT_EQ(names[1], "k1");
  EXPECT_LT(seconds_since(start), 60.0);
}

TEST(JsonRobustness, AFiftyMegabyteAnswerReadsAndWritesInLinearTime) {
  // About 50 MB of works list, the largest answer the collector is expected to meet.
  const Text video = gbk_from_utf8(
      R"({"title":"标题标题标题标题标题 \u5b57\ud83d\ude00","videoInfo":{"publish_time":"2023-05-01","duration":15.5,)"
      R"("multiClarity":[{"videoPlayUrl":"https://vd.example.com/video/0123456789abcdef0123456789abcdef.mp4"}],)"
      R"("vid":"3001","padding":")" + std::string(300, 'x') + "\"}}");
  Text big = "{\"workspage\":{\"data\":{\"worksList\":[";
  int videos = 0;
  while (big.size() < 50'000'000) big += (videos++ ? "," : "") + video;
  big += "],\"ext\":\"next\"}}}";

  const auto start = std::chrono::steady_clock::now();
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(big));
  EXPECT_EQ(doc.count("workspage.data.worksList"), videos);
  const Text last = "workspage.data.worksList[" + std::to_string(videos - 1) + "]";
  EXPECT_EQ(doc.get_text(last + ".title"), "标题标题标题标题标题 字?"_t);
  EXPECT_EQ(doc.get_text(last + ".videoInfo.duration"), "15.5");
  EXPECT_EQ(doc.get_text("workspage.data.ext"), "next");
  // Per video, the six-character escape of 字 becomes its two bytes and the escaped emoji one "?".
  EXPECT_EQ(doc.to_json().size(), big.size() - 15 * static_cast<std::size_t>(videos));
  EXPECT_LT(seconds_since(start), 120.0);
}

TEST(JsonRobustness, LargeTextsCrossCodePageSlicesIntact) {
  // Long enough to be converted in slices; the odd first byte puts double-byte characters across
  // every slice boundary.
  Text value = "a";
  for (int i = 0; i < 100000; ++i) value += "中文"_t;
  value += "\x80";  // the single-byte euro sign at the very end
  JsonDocument doc;
  doc.set_member("v", value);
  EXPECT_EQ(doc.get_text("v"), value);
  JsonDocument reread;
  ASSERT_TRUE(reread.parse(doc.to_json()));
  EXPECT_EQ(reread.get_text("v"), value);
}

TEST(JsonRobustness, BytesThatAreNotCodePage936ReadAsQuestionMarks) {
  struct Case {
    Text text;
    Text value;
  } cases[] = {
      {"[\"a\x81\"]", "a?"},        // a lead byte cut off before the closing quote
      {"[\"\x81\x30" "c\"]", "?0c"},  // a lead byte followed by a byte that cannot be its partner
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(c.text));
    EXPECT_EQ(doc.get_text("[0]"), c.value);
  }
}

TEST(JsonRobustness, MalformedPathsReadNothingAndChangeNothing) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"a":{"b":[1,{"c":"x"}]},"中":1})"_t));
  const Text before = doc.to_json();
  const Text paths[] = {
      ".",       "a.",      ".a",        "a..b",     "[",         "[]",       "[a]",       "['a]",
      "['a'",    "[\"a']",  "[0",        "a[0]]",    "a b",       "1a",       "a.[0]",     "a.b[1].c.",
      "a[b]",    "a['b']x", "a.b[1e2]",  "a.b[0x1]", "a.b[1.0]",  "a.b[ 1]",  "['\\u12']", "['\\x4']",
      "['\n']",  "\\",      "a\\",       "a.b[-]",   "a]",        "a'",       "a\"",       "#引号"_t,
      "a.b[0]\x81[",
  };
  for (const auto& p : paths) {
    SCOPED_TRACE(p);
    EXPECT_EQ(doc.get_text(p), "");
    EXPECT_EQ(doc.get_text(p, true), "");
    EXPECT_EQ(doc.count(p), 0);
    EXPECT_EQ(doc.type_of(p), json_type::null_or_absent);
    EXPECT_FALSE(doc.has_member(p));
    EXPECT_EQ(doc.get_number(p), 0);
    std::vector<Text> names{"x"};
    EXPECT_EQ(doc.member_names(names, p), 0);
    EXPECT_EQ(doc.get_document(p).to_json(), "null");
    doc.set_member(p, "v");
    doc.set_member_number(p, 1);
    doc.set_member_json(p, "1");
    doc.push("v", p);
    doc.delete_member(p);
    EXPECT_EQ(doc.to_json(), before);
  }
}

TEST(JsonRobustness, RandomPathsKeepTheDocumentConsistent) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"a":{"b":[1,{"c":"x","0":null}],"":true},"0":[[],{}],"中":2.5,"s":"t"})"_t));
  const std::vector<Text> pieces = {"a", "b", "c", "0", "1", ".", "[", "]", "'", "\"", "\\", "u", "中"_t, "\x81",
                                    "[0]", "['", "']", ".a", ".b", "[1]", " ", "-", "$", "_"};
  std::mt19937 rng(20240501);
  std::vector<Text> names;
  for (int round = 0; round < 20000; ++round) {
    Text p;
    for (int n = std::uniform_int_distribution<int>(0, 6)(rng); n > 0; --n) {
      p += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(rng)];
    }
    SCOPED_TRACE(p);
    const int type = doc.type_of(p);
    const int count = doc.count(p);
    ASSERT_TRUE(type == 0 || type == 2 || type == 4 || type == 5 || type == 6 || type == -1);
    ASSERT_TRUE(count == -2 || count >= 0);
    if (p.empty()) continue;
    ASSERT_EQ(doc.get_text(p, true), doc.get_member_json(p));
    if (type == json_type::null_or_absent) {
      ASSERT_EQ(doc.get_text(p), "");
      ASSERT_FALSE(doc.has_member(p));
      ASSERT_TRUE(count == -2 || count == 0);
    } else {
      ASSERT_TRUE(doc.has_member(p));
    }
    if (type == json_type::object || type == json_type::array) {
      ASSERT_EQ(doc.member_names(names, p), count);
      ASSERT_EQ(doc.get_member_json(p).front(), type == json_type::object ? '{' : '[');
      ASSERT_EQ(doc.get_document(p).to_json(), doc.get_member_json(p));
    } else if (type != json_type::null_or_absent) {
      ASSERT_EQ(count, 0);  // strings, numbers and booleans have no members
    }
    if (type == json_type::string) {
      ASSERT_EQ(doc.get_member_json(p).front(), '"');
    }
  }
}

TEST(JsonRobustness, RandomMutationsOfAnAnswerNeverBreakTheDocument) {
  const std::string seed =
      R"({"workspage":{"data":{"worksList":[{"title":"t\u4e2d\ud83d","videoInfo":{"duration":1.5e3,)"
      R"("multiClarity":[{"videoPlayUrl":"u"}],"vid":"1"}},null,true,false,-0.5e-3],"ext":"{\"a\":[]}"}}})";
  const std::string alphabet = "{}[]\":,\\u0123456789.eE+-truefalsn \t\nd8";
  std::mt19937 rng(7);
  int accepted = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string text = seed;
    for (int n = std::uniform_int_distribution<int>(1, 4)(rng); n > 0 && !text.empty(); --n) {
      std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng);
      char c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
      switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
        case 0: text[at] = c; break;
        case 1: text.insert(at, 1, c); break;
        case 2: text.erase(at, 1); break;
        default: text.resize(at); break;
      }
    }
    SCOPED_TRACE(text);
    JsonDocument doc;
    const bool ok = doc.parse(text);
    const Text json = doc.to_json();
    if (!ok) {
      ASSERT_EQ(json, "null");
      continue;
    }
    ++accepted;
    // What the document writes it reads back to the same document.
    JsonDocument again;
    again.parse(json);
    ASSERT_EQ(again.to_json(), json);
    ASSERT_EQ(doc.get_text("workspage.data.worksList[0].videoInfo['vid']"),
              again.get_text("workspage.data.worksList[0].videoInfo.vid"));
  }
  EXPECT_GT(accepted, 100);  // the mutations must also exercise the accepting side
}
