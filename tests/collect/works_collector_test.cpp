// The collector's paging, filter, end and failure rules, behind an in-memory window and a scripted
// service, so the threaded logic also runs under ThreadSanitizer.
#include "collect/works_collector.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "collect/collection_globals.h"
#include "collect/share_link.h"
#include "support/memory_window.h"
#include "text/codepage.h"
#include "web/encoding.h"

using namespace kestrano;
using kestrano::testing::MemoryWindow;

namespace {

struct Video {
  std::string id;
  std::string title = "t";
  std::string duration = "30";
  std::string address = "https://v.example/x.mp4";
  std::string time = "2020-01-01";
};

std::string page_json(const std::vector<Video>& videos, const std::string& next) {
  std::string list;
  for (const auto& v : videos) {
    if (!list.empty()) list += ",";
    list += R"({"title":")" + v.title + R"(","videoInfo":{"publish_time":")" + v.time + R"(","duration":)" +
            v.duration + R"(,"vid":")" + v.id + R"(","multiClarity":[{"videoPlayUrl":")" + v.address + R"("}]}})";
  }
  return R"({"workspage":{"data":{"worksList":[)" + list + R"(],"ext":")" + next + R"("}}})";
}

// Answers by page token; records every body it was sent.
class ScriptedService {
 public:
  std::map<std::string, PageAnswer> pages;
  // When set, a request with this token waits until the collector aborts it.
  std::string hang_on;

  WorksCollector::FetcherFactory factory() {
    return [this](std::function<bool()> should_abort) -> std::unique_ptr<PageFetcher> {
      return std::make_unique<Fetcher>(this, std::move(should_abort));
    };
  }
  std::vector<std::string> bodies() {
    std::lock_guard lock(mutex_);
    return bodies_;
  }
  void add(const std::string& token, const std::string& json, int status = 200) {
    pages[token] = PageAnswer{to_bytes(json), status};
  }

 private:
  struct Fetcher : PageFetcher {
    Fetcher(ScriptedService* s, std::function<bool()> a) : service(s), abort(std::move(a)) {}
    PageAnswer fetch(const Text& body) override {
      {
        std::lock_guard lock(service->mutex_);
        service->bodies_.push_back(body);
      }
      const std::string token = body.substr(body.find("&pgext=") + 7);
      if (!service->hang_on.empty() && token == service->hang_on) {
        while (!abort()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return {};
      }
      auto it = service->pages.find(token);
      return it == service->pages.end() ? PageAnswer{} : it->second;
    }
    ScriptedService* service;
    std::function<bool()> abort;
  };
  std::mutex mutex_;
  std::vector<std::string> bodies_;
};

class Collection : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen_video_ids = std::make_unique<std::set<Text>>();
    g_stop_requested = 0;
    window.set_control_text(Control::extract_button, caption_start());
    window.set_control_text(Control::author_link, sample_share_link());
  }
  void TearDown() override {
    collector.reset();
    g_seen_video_ids.reset();
  }
  void start() {
    if (!collector) collector = std::make_unique<WorksCollector>(window, service.factory());
    collector->on_extract_button_click();
  }
  // The caption is back and the collector thread has left (which the window cannot signal: polled).
  bool ended() {
    if (!window.wait_until([](MemoryWindow& w) { return w.control_text(Control::extract_button) == caption_start(); },
                           std::chrono::seconds(10))) {
      return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (collector->running() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !collector->running();
  }
  std::vector<std::string> titles() {
    std::vector<std::string> out;
    for (const auto& row : window.rows()) out.push_back(row.cells[col_title]);
    return out;
  }

  MemoryWindow window;
  ScriptedService service;
  std::unique_ptr<WorksCollector> collector;
};

const Text kAuthor = *parse_share_link(sample_share_link());

}  // namespace

TEST_F(Collection, PagesInOrderUntilTheFirstPageComesBack) {
  service.add("", page_json({{"1", "a"}, {"2", "b"}}, "p2"));
  service.add("p2", page_json({{"3", "c"}}, "p3"));
  service.add("p3", page_json({{"4", "d", "15", "https://v.example/d.mp4"}}, ""));  // leads back to the first
  start();
  ASSERT_TRUE(ended());
  EXPECT_EQ(titles(), (std::vector<std::string>{"a", "b", "c", "d"}));
  const auto rows = window.rows();
  EXPECT_EQ(rows[0].cells[col_order], "1");
  EXPECT_EQ(rows[3].cells[col_order], "4");
  EXPECT_EQ(rows[3].cells[col_duration], "15");
  EXPECT_EQ(to_text(base64_decode(to_bytes(rows[3].cells[col_address]))), "https://v.example/d.mp4");
  EXPECT_EQ(service.bodies(), (std::vector<std::string>{works_request_body(kAuthor, ""), works_request_body(kAuthor, "p2"),
                                                        works_request_body(kAuthor, "p3"), works_request_body(kAuthor, "")}));
  EXPECT_TRUE(window.messages().empty());
}

TEST_F(Collection, RepeatedIdOnOnePageEndsAtItsSecondOccurrence) {
  service.add("", page_json({{"1", "a"}, {"2", "b"}, {"1", "again"}, {"3", "never"}}, "p2"));
  start();
  ASSERT_TRUE(ended());
  EXPECT_EQ(titles(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(service.bodies().size(), 1u);
}

TEST_F(Collection, MissingFieldsAddNoRowButCountForTheEnd) {
  Video no_address{"2", "x"};
  no_address.address = "";
  Video no_title{"3", ""};
  service.add("", page_json({{"1", "a"}, no_address, no_title}, "p2"));
  service.add("p2", page_json({no_address}, ""));
  start();
  ASSERT_TRUE(ended());
  EXPECT_EQ(titles(), (std::vector<std::string>{"a", ""}));
}

TEST_F(Collection, DurationFilter) {
  struct Case {
    const char* box;
    std::vector<std::string> listed;
  } cases[] = {
      {"60", {"sixty", "short"}},
      {"０６０", {"sixty", "short"}},  // full-width digits
      {"", {"sixty", "sixty-one", "short"}},
      {"0", {"sixty", "sixty-one", "short"}},
      {"-5", {}},  // skips everything and still ends
      {"99999999999", {"sixty", "sixty-one", "short"}},
  };
  service.add("", page_json({{"1", "sixty", "60"}, {"2", "sixty-one", "61"}, {"3", "short", "2.5"}}, ""));
  window.set_checked(Control::duration_check, true);
  for (const auto& c : cases) {
    window.set_control_text(Control::duration_box, gbk_from_utf8(c.box));
    start();
    ASSERT_TRUE(ended()) << c.box;
    EXPECT_EQ(titles(), c.listed) << c.box;
  }
}

TEST_F(Collection, FailuresEndWithTheMessageAndKeepEarlierRows) {
  struct Case {
    const char* name;
    std::string json;
    int status;
  } cases[] = {
      {"no answer", "", 0},
      {"status 500", page_json({{"9", "z"}}, "p3"), 500},
      {"not JSON", "<html>busy</html>", 200},
      {"error object", R"({"errno":1,"msg":"limited"})", 200},
      {"empty page pointing to itself", page_json({}, "p2"), 200},
  };
  for (const auto& c : cases) {
    service.pages.clear();
    service.add("", page_json({{"1", "a"}}, "p2"));
    service.add("p2", c.json, c.status);
    const auto before = window.messages().size();
    start();
    ASSERT_TRUE(ended()) << c.name;
    EXPECT_EQ(titles(), std::vector<std::string>{"a"}) << c.name;
    ASSERT_EQ(window.messages().size(), before + 1) << c.name;
    EXPECT_EQ(window.messages().back().first, "获取作品列表失败，采集已停止！"_t);
    EXPECT_EQ(window.messages().back().second, "温馨提示"_t);
  }
}

TEST_F(Collection, EmptyAndRefusedLinks) {
  window.set_control_text(Control::author_link, "");
  start();
  EXPECT_EQ(window.control_text(Control::extract_button), caption_start());
  ASSERT_EQ(window.messages().size(), 1u);
  EXPECT_EQ(window.messages()[0].first, "输入采集的作者链接，手机端点击作者主页，点击分享，点击复制链接"_t);

  window.set_control_text(Control::author_link, "https://example.com/no-author");
  start();
  ASSERT_TRUE(ended());
  ASSERT_EQ(window.messages().size(), 2u);
  EXPECT_EQ(window.messages()[1].first, "链接格式错误！或接口已更新！"_t);
  EXPECT_TRUE(service.bodies().empty());
}

TEST_F(Collection, StopAbortsTheRequestInFlightAndShowsNoMessage) {
  service.add("", page_json({{"1", "a"}}, "p2"));
  service.hang_on = "p2";
  start();
  ASSERT_TRUE(window.wait_until([](MemoryWindow& w) { return w.row_count() == 1; }, std::chrono::seconds(10)));
  start();  // the caption reads "停止提取": this click stops
  EXPECT_EQ(window.control_text(Control::extract_button), caption_start());
  ASSERT_TRUE(ended());
  EXPECT_TRUE(window.messages().empty());
  EXPECT_EQ(titles(), std::vector<std::string>{"a"});
}

TEST_F(Collection, StartWhileThePreviousCollectorEndsWaitsForIt) {
  service.add("", page_json({{"1", "a"}}, "p2"));
  service.add("p2", page_json({{"2", "b"}}, ""));
  service.hang_on = "p2";
  start();
  ASSERT_TRUE(window.wait_until([](MemoryWindow& w) { return w.row_count() == 1; }, std::chrono::seconds(10)));
  start();  // stop
  service.hang_on.clear();
  start();  // a new start right away: must not run beside the old collector
  ASSERT_TRUE(ended());
  EXPECT_EQ(titles(), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(window.messages().empty());
}

TEST(DurationLimit, Parsing) {
  struct Case {
    const char* in;
    int out;
  } cases[] = {{"60", 60},   {"  42abc", 42}, {"-7", -7}, {"+8", 8},  {"abc", 0}, {"", 0},
               {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}, {"　－１２", -12}, {"1 2", 1}};
  for (const auto& c : cases) EXPECT_EQ(parse_duration_limit(gbk_from_utf8(c.in)), c.out) << c.in;
}

TEST(LeadingNumber, Parsing) {
  struct Case {
    const char* in;
    double out;
  } cases[] = {{"61", 61}, {" 2.5s", 2.5}, {"", 0}, {"x1", 0}, {"1e2", 100}, {"0x10", 0}, {"inf", 0}, {".5", 0.5}, {"-3", -3}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(parse_leading_number(c.in), c.out) << c.in;
}
