#include "parsing/json_document.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "text/codepage.h"

using namespace kestrano;

namespace {

// One page of the works-list answer, shaped as the collector reads it. The third video lacks a play
// address and carries its duration as a string and its id as a number.
const Text kWorksPage = R"({"workspage":{"errno":0,"data":{"worksList":[
  {"type":"video","title":"第一个视频 #日常","videoInfo":{"publish_time":"2023-05-01 12:00",
    "duration":15,"multiClarity":[{"key":"sd","videoPlayUrl":"https://vd.example.com/a.mp4?x=1&y=2"}],
    "vid":"3001"}},
  {"title":"second \"quoted\" title\n","videoInfo":{"publish_time":"3\u5929\u524d","duration":2.5,
    "multiClarity":[{"videoPlayUrl":"https:\/\/vd.example.com\/b.mp4"},{"videoPlayUrl":"hd"}],
    "vid":"3002"}},
  {"title":"","videoInfo":{"publish_time":"2023-01-01","duration":"61","multiClarity":[],"vid":3003}}
 ],"ext":"{\"pn\":2,\"ctime\":\"1680000000\"}"}}})"_t;

Text video_path(int k, const char* rest) { return "workspage.data.worksList[" + std::to_string(k) + "]" + rest; }

}  // namespace

TEST(JsonDocument, ReadsEveryFieldOfAWorksListAnswerThroughTheCollectorsPaths) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(kWorksPage));
  ASSERT_EQ(doc.count("workspage.data.worksList"), 3);

  struct Video {
    Text title, publish_time, duration, play_address, vid;
  } expected[] = {
      {"第一个视频 #日常"_t, "2023-05-01 12:00", "15", "https://vd.example.com/a.mp4?x=1&y=2", "3001"},
      {"second \"quoted\" title\n", "3天前"_t, "2.5", "https://vd.example.com/b.mp4", "3002"},
      {"", "2023-01-01", "61", "", "3003"},
  };
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(doc.get_text(video_path(k, ".title")), expected[k].title);
    EXPECT_EQ(doc.get_text(video_path(k, ".videoInfo['publish_time']")), expected[k].publish_time);
    EXPECT_EQ(doc.get_text(video_path(k, ".videoInfo.duration")), expected[k].duration);
    EXPECT_EQ(doc.get_text(video_path(k, ".videoInfo.multiClarity[0].videoPlayUrl")), expected[k].play_address);
    EXPECT_EQ(doc.get_text(video_path(k, ".videoInfo.vid")), expected[k].vid);
  }
  EXPECT_EQ(doc.get_text("workspage.data.ext"), R"({"pn":2,"ctime":"1680000000"})");
  // Past the end of the list every field reads empty, and the count does not change.
  EXPECT_EQ(doc.get_text(video_path(3, ".videoInfo.vid")), "");
  EXPECT_EQ(doc.count("workspage.data.worksList"), 3);
}

TEST(JsonDocument, ParseAcceptsOneJsonValueAndNothingElse) {
  struct Case {
    Text text;
    bool ok;
    Text json_after;  // to_json of the root afterwards
  } cases[] = {
      {"", false, "null"},
      {"null", false, "null"},
      {" null ", false, "null"},
      {"{}", true, "{}"},
      {"[]", true, "[]"},
      {"15", true, "15"},
      {"\"abc\"", true, "\"abc\""},
      {"true", true, "true"},
      {"false", true, "false"},
      {" \t\r\n{ \"a\" : [ 1 , 2 ] }\n", true, R"({"a":[1,2]})"},
      {"1e400", true, "null"},  // Infinity, which JSON.stringify writes as null
      {"-1e-400", true, "0"},
      {"{} x", false, "null"},
      {"{}{}", false, "null"},
      {"[1,]", false, "null"},
      {"{\"a\":1,}", false, "null"},
      {"{'a':1}", false, "null"},
      {"{a:1}", false, "null"},
      {"tru", false, "null"},
      {"nul", false, "null"},
      {"NaN", false, "null"},
      {"01", false, "null"},
      {"1.", false, "null"},
      {".5", false, "null"},
      {"+1", false, "null"},
      {"-", false, "null"},
      {"1e", false, "null"},
      {"[1 2]", false, "null"},
      {"\"a\tb\"", false, "null"},  // a raw control character inside a string
      {"\"\\x41\"", false, "null"},
      {"\"\\u12\"", false, "null"},
      {"\"abc", false, "null"},
      {"[", false, "null"},
      {"{\"a\"}", false, "null"},
      {"// c\n{}", false, "null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    JsonDocument doc;
    EXPECT_EQ(doc.parse(c.text), c.ok);
    EXPECT_EQ(doc.to_json(), c.json_after);
  }
}

TEST(JsonDocument, EveryParseStartsFromNothing) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"only_first":"x","both":1})"));
  doc.set_member("added", "y"_t);
  ASSERT_TRUE(doc.parse(R"({"both":2})"));
  EXPECT_EQ(doc.get_text("only_first"), "");
  EXPECT_EQ(doc.get_text("added"), "");
  EXPECT_EQ(doc.get_text("both"), "2");
  // A failed parse leaves a null root, not the previous value.
  EXPECT_FALSE(doc.parse("{broken"));
  EXPECT_EQ(doc.get_text("both"), "");
  EXPECT_EQ(doc.count(), -2);
  EXPECT_EQ(doc.type_of(), json_type::null_or_absent);
}

TEST(JsonDocument, GetTextRendersEachKindOfValue) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({
    "int":15, "half":2.5, "str15":"15", "neg":-3, "zero":0, "tenth":0.1, "third":0.3333333333333333,
    "big":1234567890123456789, "e21":1e21, "tiny":1.5e-7, "t":true, "f":false, "nul":null,
    "obj":{"x":1}, "arr":[1,"a",null,[2,[3]],{},true,2.5,1e21], "empty_arr":[], "empty_str":"",
    "publish_time":"p", "中文":"值", "it's":"q", "a.b":"dotted", "7":"seven",
    "esc":"tab\tquote\"back\\slash/"})"_t));
  struct Case {
    Text path;
    Text text;
  } cases[] = {
      {"int", "15"},
      {"half", "2.5"},
      {"str15", "15"},
      {"neg", "-3"},
      {"zero", "0"},
      {"tenth", "0.1"},
      {"third", "0.3333333333333"},          // "%.13g"
      {"big", "1.234567890123e+18"},         // "%.13g" rounds to 13 digits
      {"e21", "1e+21"},
      {"tiny", "1.5e-07"},
      {"t", "true"},
      {"f", "false"},
      {"nul", ""},
      {"absent", ""},
      {"absent.child", ""},
      {"nul.child", ""},
      {"int.child", ""},
      {"obj", "[object Object]"},
      {"obj.x", "1"},
      {"arr", "1,a,,2,3,[object Object],true,2.5,1e+21"},  // numbers inside arrays in JavaScript's form
      {"arr[1]", "a"},
      {"arr[3][1][0]", "3"},
      {"arr[8]", ""},
      {"empty_arr", ""},
      {"empty_str", ""},
      {"['publish_time']", "p"},
      {"[\"publish_time\"]", "p"},
      {"['中文']"_t, "值"_t},
      {"中文"_t, "值"_t},
      {"['it\\'s']", "q"},
      {"[\"it's\"]", "q"},
      {"['a.b']", "dotted"},
      {"a.b", ""},
      {"['7']", "seven"},
      {"[7]", "seven"},  // an object's member "7" is also reached by [7]
      {"['in\\u0074']", "15"},
      {"esc", "tab\tquote\"back\\slash/"},
      {"", ""},  // the script engine's "da." was a syntax error
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.get_text(c.path), c.text);
  }
}

TEST(JsonDocument, PathsBeginningWithABracketApplyToTheRoot) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"([15, 2.5, {"a":"x"}, 1234567890123456789, "s"])"));
  EXPECT_EQ(doc.get_text("[0]"), "15");
  EXPECT_EQ(doc.get_text("[1]"), "2.5");
  EXPECT_EQ(doc.get_text("[3]"), "1.234567890123e+18");  // numbers in "%.13g" here too
  EXPECT_EQ(doc.get_text("[2].a"), "x");
  EXPECT_EQ(doc.get_text("[2]['a']"), "x");
  EXPECT_EQ(doc.get_text("['4']"), "s");  // a[4] and a['4'] are the same element
  EXPECT_EQ(doc.get_text("['04']"), "");  // but "04" is not an index
  EXPECT_EQ(doc.get_text("[5]"), "");
  EXPECT_EQ(doc.count("[2]"), 1);
  EXPECT_EQ(doc.type_of("[1]"), json_type::number);
}

TEST(JsonDocument, AsJsonWritesCompactJsonAsJsonStringifyDoes) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({ "b" : 1, "a" : [ 1.0, 2.50, -0, 1E2, 0.000001, 1e-7, 123456789012345678,
      1e21, 5e-324, true, null ],
    "s" : "q\"b\\s\/\b\f\n\r\t\u0001\u001f\u007f中", "o" : { } , "中" : "文" })"_t));
  EXPECT_EQ(doc.get_text("a", true), "[1,2.5,0,100,0.000001,1e-7,123456789012345680,1e+21,5e-324,true,null]");
  EXPECT_EQ(doc.get_text("s", true), "\"q\\\"b\\\\s/\\b\\f\\n\\r\\t\\u0001\\u001f\x7f中\""_t);
  EXPECT_EQ(doc.get_member_json("o"), "{}");
  EXPECT_EQ(doc.get_text("absent", true), "");
  EXPECT_EQ(doc.get_member_json("absent"), "");
  EXPECT_EQ(doc.get_member_json(""), "");
  // Members keep the order of the text.
  EXPECT_EQ(doc.to_json().substr(0, 9), R"({"b":1,"a)");
  EXPECT_EQ(doc.get_text("中"_t, true), "\"文\""_t);
}

TEST(JsonDocument, CountsMembersAndElements) {
  JsonDocument doc;
  std::string twenty = "[";
  for (int i = 0; i < 20; ++i) twenty += (i ? "," : "") + std::to_string(i);
  twenty += "]";
  ASSERT_TRUE(doc.parse(R"({"list":)" + twenty +
                        R"(,"obj":{"a":1,"b":{"c":2}},"empty":{},"none":null,"s":"abc","n":5,"t":true})"));
  struct Case {
    Text path;
    int count;
  } cases[] = {
      {"list", 20},  {"obj", 2},          {"obj.b", 1},         {"empty", 0},       {"", 7},
      {"absent", -2}, {"none", -2},       {"obj.absent", -2},   {"absent.x", 0},    {"none.x", 0},
      {"absent.x.y", 0}, {"s", 0},        {"n", 0},             {"t", 0},           {"list[20]", -2},
      {"list[3]", 0}, {"a..b", 0},        {"[", 0},             {"obj['b']", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.count(c.path), c.count);
  }
}

TEST(JsonDocument, TypeOfGivesTheTypeCodes) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"nul":null,"n":1.5,"o":{},"a":[],"s":"","t":true,"f":false})"));
  struct Case {
    Text path;
    int type;
  } cases[] = {
      {"", json_type::object},  {"nul", json_type::null_or_absent}, {"absent", json_type::null_or_absent},
      {"n", json_type::number}, {"o", json_type::object},           {"a", json_type::array},
      {"s", json_type::string}, {"t", json_type::other},            {"f", json_type::other},
      // An absent parent is absent too (the script engine reported it as "anything else").
      {"absent.x", json_type::null_or_absent}, {"a b", json_type::null_or_absent},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(doc.type_of(c.path), c.type);
  }
}

TEST(JsonDocument, MemberNamesInDocumentOrder) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"b":1,"a":{"y":1,"x":2},"c":[7,8,9],"toJSONString":1,"x,y":2,"":3,"e":{},"b":4})"));
  std::vector<Text> names = {"left", "over"};
  EXPECT_EQ(doc.member_names(names), 7);
  // A repeated name keeps its first place and takes the last value, as JSON.parse does.
  EXPECT_EQ(names, (std::vector<Text>{"b", "a", "c", "toJSONString", "x,y", "", "e"}));
  EXPECT_EQ(doc.get_text("b"), "4");
  EXPECT_EQ(doc.member_names(names, "a"), 2);
  EXPECT_EQ(names, (std::vector<Text>{"y", "x"}));
  EXPECT_EQ(doc.member_names(names, "c"), 3);
  EXPECT_EQ(names, (std::vector<Text>{"0", "1", "2"}));
  EXPECT_EQ(doc.member_names(names, "e"), 0);
  EXPECT_TRUE(names.empty());
  names = {"stale"};
  EXPECT_EQ(doc.member_names(names, "absent.x"), 0);
  EXPECT_TRUE(names.empty());
}

TEST(JsonDocument, TextsCrossFromCodePage936AndBack) {
  struct Case {
    const char* json;  // UTF-8 source; parsed as its code page 936 form
    Text text;
  } cases[] = {
      {R"("\u4e2d\u6587")", "中文"_t},
      {R"("中文")", "中文"_t},
      {R"("\ud83d\ude00 smile")", "? smile"},  // a whole emoji: code page 936 cannot hold it
      {R"("a\ud83db")", "a?b"},                // lone high surrogate
      {R"("a\ude00b")", "a?b"},                // lone low surrogate
      {R"("\ud83d\ud83d\ude00")", "??"},       // a lone one, then a pair
      {R"("\ud83d")", "?"},
      {R"("\ud83d\u0041")", "?A"},
      {R"("\u20ac")", "\x80"},  // the euro sign of the Windows code page
      {R"("\u00e9t\u00e9")", "\xA8\xA6t\xA8\xA6"},
      {R"("a\u0000b")", "a"},   // a text ends at its first NUL
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(gbk_from_utf8(c.json)));
    EXPECT_EQ(doc.type_of(), json_type::string);
    JsonDocument wrapped;
    ASSERT_TRUE(wrapped.parse("{\"v\":" + gbk_from_utf8(c.json) + "}"));
    EXPECT_EQ(wrapped.get_text("v"), c.text);
  }
  // Member names cross the same way, and paths find them.
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"\u6807\u9898":"t","\ud83d":"lone"})"));
  std::vector<Text> names;
  ASSERT_EQ(doc.member_names(names), 2);
  EXPECT_EQ(names[0], "标题"_t);
  EXPECT_EQ(names[1], "?");
  EXPECT_EQ(doc.get_text("标题"_t), "t");
  EXPECT_EQ(doc.get_text("['\\ud83d']"), "lone");

  // Two names that differ only in characters code page 936 lacks come out alike. Read back, the text
  // holds them as one member (the first place, the last value), and from then on it is stable.
  JsonDocument lossy;
  ASSERT_TRUE(lossy.parse(R"({"\ud83c\udf38x":1,"\ud83d\ude00x":2})"));
  EXPECT_EQ(lossy.count(), 2);
  EXPECT_EQ(lossy.to_json(), R"({"?x":1,"?x":2})");
  JsonDocument again;
  ASSERT_TRUE(again.parse(lossy.to_json()));
  EXPECT_EQ(again.to_json(), R"({"?x":2})");
}

TEST(JsonDocument, CopiesShareOneRootAndOutliveEachOther) {
  auto original = std::make_unique<JsonDocument>();
  ASSERT_TRUE(original->parse(R"({"a":1})"));
  JsonDocument copy = *original;
  copy.set_member_number("b", 2);
  EXPECT_EQ(original->get_text("b"), "2");
  original->delete_member("a");
  EXPECT_EQ(copy.to_json(), R"({"b":2})");
  original.reset();
  EXPECT_EQ(copy.get_text("b"), "2");

  // A parse gives the parsing document a root of its own; the copy keeps the old one.
  JsonDocument first;
  ASSERT_TRUE(first.parse(R"({"v":"old"})"));
  JsonDocument second(first);
  ASSERT_TRUE(first.parse(R"({"v":"new"})"));
  EXPECT_EQ(second.get_text("v"), "old");
  second = first;
  EXPECT_EQ(second.get_text("v"), "new");
}

TEST(JsonDocument, DocumentsTakenFromAPathAreIndependent) {
  auto source = std::make_unique<JsonDocument>();
  ASSERT_TRUE(source->parse(R"({"list":[{"id":1,"tags":["a","b"]},{"id":2}],"n":5})"));
  JsonDocument item = source->get_document("list[0]");
  JsonDocument second = source->get_element_document(1, "list");
  JsonDocument whole_list = source->get_document("list");
  JsonDocument from_root = source->get_element_document(0, "list[0].tags");
  item.set_member_number("id", 10);
  source->set_member_number("list[1].id", 20);
  source.reset();  // the temporary and the source are gone; the copies stand alone
  EXPECT_EQ(item.to_json(), R"({"id":10,"tags":["a","b"]})");
  EXPECT_EQ(second.get_text("id"), "2");
  EXPECT_EQ(whole_list.count(), 2);
  EXPECT_EQ(whole_list.get_text("[0].id"), "1");
  EXPECT_EQ(from_root.to_json(), "\"a\"");

  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"([{"k":"v"},null])"));
  EXPECT_EQ(doc.get_element_document(0).get_text("k"), "v");
  EXPECT_EQ(doc.get_document("[0]").get_text("k"), "v");
  // Nothing (or null) there: a document whose root is null.
  for (const JsonDocument& empty : {doc.get_element_document(1), doc.get_element_document(5), doc.get_document("x.y"),
                                    doc.get_document("")}) {
    EXPECT_EQ(empty.to_json(), "null");
    EXPECT_EQ(empty.count(), -2);
  }
  EXPECT_EQ(doc.get_element_text(0, "", true), R"({"k":"v"})");
  EXPECT_EQ(doc.get_element_text(0, "[0]"), "");
}

TEST(JsonDocument, SettersStoreDataNeverCode) {
  JsonDocument doc;
  // raw false: any text is stored as a string, quotes, line breaks and script included.
  const Text hostile[] = {"it's", "line\nbreak", "back\\slash", "\"quoted\"", "'); da=null; ('",
                          "中文\t", "</script>", ""};
  for (const auto& value : hostile) {
    SCOPED_TRACE(value);
    doc.set_member("v", value);
    EXPECT_EQ(doc.get_text("v"), value);
    EXPECT_EQ(doc.type_of("v"), json_type::string);
    doc.set_root(value);
    EXPECT_EQ(doc.type_of(), json_type::string);
    EXPECT_EQ(doc.to_json().front(), '"');
    doc.clear();
  }
  doc.set_member("s", "\"q\"\n");
  EXPECT_EQ(doc.to_json(), R"({"s":"\"q\"\n"})");

  // raw true: the value is JSON; when it is not, nothing changes.
  doc.clear();
  doc.set_member("o", R"({"x":[1,2]})", true);
  EXPECT_EQ(doc.get_text("o.x[1]"), "2");
  doc.set_member("o", "alert(1)", true);
  doc.set_member("o", "'single'", true);
  doc.set_member("o", "{\"x\":", true);
  doc.set_member_json("o", "not json");
  doc.set_member_json("o", "");
  EXPECT_EQ(doc.get_text("o", true), R"({"x":[1,2]})");
  doc.set_member_json("o", "null");
  EXPECT_EQ(doc.to_json(), R"({"o":null})");
  doc.set_member_json("o", " [true] ");
  EXPECT_EQ(doc.to_json(), R"({"o":[true]})");

  // raw true with an empty value stores an empty object and hands "{}" back.
  Text value;
  doc.set_member("e", value, true);
  EXPECT_EQ(value, "{}");
  EXPECT_EQ(doc.get_text("e", true), "{}");
  Text kept = "";
  doc.set_member("f", kept, false);
  EXPECT_EQ(kept, "");
  EXPECT_EQ(doc.get_text("f", true), "\"\"");

  doc.set_root("[1,2]", true);
  EXPECT_EQ(doc.count(), 2);
  doc.set_root("[1,", true);
  EXPECT_EQ(doc.count(), 2);
}

TEST(JsonDocument, SettersFollowPathsLikeAssignments) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"a":{"b":1},"arr":[0,1],"s":"x","n":null})"));
  doc.set_member_number("a.c", 2.5);
  doc.set_member_number("a['d e']", 3);
  doc.set_member("arr[1]", "one");
  doc.set_member("arr[3]", "three");  // past the end: the gap reads as null, as in JavaScript
  doc.set_member("arr.name", "lost");  // not an index: an array keeps no such member
  doc.set_member("missing.x", "no");   // the parent must exist
  doc.set_member("n.x", "no");
  doc.set_member("s.x", "no");
  doc.set_member("", "no");
  doc.set_member("a..b", "no");
  doc.set_member_number("arr[4294967295]", 1);
  doc.set_member_number("arr[99999999]", 1);  // a gap this wide is refused
  EXPECT_EQ(doc.to_json(), R"({"a":{"b":1,"c":2.5,"d e":3},"arr":[0,"one",null,"three"],"s":"x","n":null})");
  doc.set_member_number("x", std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(doc.get_member_json("x"), "null");
  EXPECT_EQ(doc.type_of("x"), json_type::number);

  EXPECT_TRUE(doc.has_member("a.b"));
  EXPECT_TRUE(doc.has_member("s"));
  EXPECT_FALSE(doc.has_member("n"));
  EXPECT_FALSE(doc.has_member("absent"));
  EXPECT_FALSE(doc.has_member("absent.x"));
  EXPECT_FALSE(doc.has_member(""));

  doc.delete_member("a.b");
  doc.delete_member("arr[1]");  // an element leaves a hole, written as null
  doc.delete_member("absent.x");
  doc.delete_member("");
  EXPECT_EQ(doc.get_text("a", true), R"({"c":2.5,"d e":3})");
  EXPECT_EQ(doc.get_text("arr", true), R"([0,null,null,"three"])");
}

TEST(JsonDocument, NumbersReadBackByGetNumber) {
  JsonDocument doc;
  ASSERT_TRUE(doc.parse(R"({"n":2.5,"s":" 42 ","bad":"4x","t":true,"f":false,"o":{},"a":[1]})"));
  EXPECT_EQ(doc.get_number("n"), 2.5);
  EXPECT_EQ(doc.get_number("s"), 42);
  EXPECT_EQ(doc.get_number("bad"), 0);
  EXPECT_EQ(doc.get_number("t"), 1);
  EXPECT_EQ(doc.get_number("f"), 0);
  EXPECT_EQ(doc.get_number("o"), 0);
  EXPECT_EQ(doc.get_number("a[0]"), 1);
  EXPECT_EQ(doc.get_number("absent.x"), 0);
}

TEST(JsonDocument, PushBuildsArrays) {
  JsonDocument doc;
  Text path = "list";
  doc.push("a", path);
  EXPECT_EQ(path, "da.list");  // the caller's path receives the script engine's form
  doc.push("{\"k\":1}", "list", true);
  doc.push("not json", "list", true);
  doc.push("it's \"x\"", "list");
  EXPECT_EQ(doc.get_text("list", true), R"(["a",{"k":1},"it's \"x\""])");

  doc.set_member("s", "text");
  doc.push("1", "s", true);  // not an array: replaced by one
  EXPECT_EQ(doc.get_text("s", true), "[1]");
  doc.push("x", "missing.list");  // the parent must exist
  EXPECT_EQ(doc.count("missing"), -2);

  Text root_path;
  doc.push("r", root_path);
  EXPECT_EQ(root_path, "da");
  EXPECT_EQ(doc.to_json(), R"(["r"])");
  doc.push("2", "", true);
  EXPECT_EQ(doc.to_json(), R"(["r",2])");
}

TEST(JsonDocument, ElementOperationsOnTheRoot) {
  JsonDocument doc;
  doc.reset_as(json_type::array);
  EXPECT_EQ(doc.to_json(), "[]");
  doc.set_element(0, "a");
  doc.set_element(2, "[1]", true);
  doc.set_element(-1, "neg");
  doc.set_element(3, "bad", true);
  EXPECT_EQ(doc.to_json(), R"(["a",null,[1]])");
  EXPECT_EQ(doc.get_element_text(2, "", true), "[1]");
  EXPECT_EQ(doc.get_element_text(0), "a");

  struct Case {
    int index;
    Text after;
  } removals[] = {{5, R"(["a","b","c","d"])"}, {1, R"(["a","c","d"])"}, {-1, R"(["a","c"])"},
                  {-10, R"(["c"])"},           {0, "[]"},               {0, "[]"}};
  doc.set_root(R"(["a","b","c","d"])", true);
  for (const auto& r : removals) {
    doc.remove_element(r.index);
    EXPECT_EQ(doc.to_json(), r.after) << r.index;
  }

  doc.reset_as(json_type::object);
  doc.set_element(3, "on an object: member \"3\"");
  EXPECT_EQ(doc.get_text("['3']"), "on an object: member \"3\"");
  doc.remove_element(0);  // an object has no elements
  EXPECT_EQ(doc.count(), 1);
  doc.reset_as(json_type::string);  // not a code reset_as knows
  EXPECT_EQ(doc.count(), 1);
  doc.reset_as(json_type::null_or_absent);
  EXPECT_EQ(doc.to_json(), "{}");
  doc.set_root("x");
  doc.set_element(0, "y");
  EXPECT_EQ(doc.to_json(), "\"x\"");
}

TEST(JsonDocument, ANewDocumentHoldsAnEmptyObject) {
  JsonDocument doc;
  EXPECT_EQ(doc.to_json(), "{}");
  EXPECT_EQ(doc.count(), 0);
  EXPECT_EQ(doc.type_of(), json_type::object);
  doc.set_member("a", "1");
  doc.create_engine();
  EXPECT_EQ(doc.to_json(), "{}");
}
