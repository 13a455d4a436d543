// The page reader's own guarantees: it runs ahead of a slow list by a bounded number of pages, stops
// asking at the page that ends the list, and never leaves the collector waiting for a page that will
// not come.
#include "collect/page_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "text/codepage.h"

using namespace kestrano;

namespace {

// Page "pK" holds one video "vK" and leads to "p(K+1)"; from `repeat_from` on a page holds "v0" again.
class EndlessService : public PageFetcher {
 public:
  explicit EndlessService(int repeat_from = -1) : repeat_from_(repeat_from) {}
  std::atomic<int> fetched{0};
  std::atomic<bool> hang{false};
  std::atomic<bool> abort{false};

  PageAnswer fetch(const Text& body) override {
    ++fetched;
    while (hang && !abort) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (abort) return {};
    const Text token = body.substr(body.find("&pgext=") + 7);
    const int k = token.empty() ? 0 : std::stoi(token.substr(1));
    const std::string id = (repeat_from_ >= 0 && k >= repeat_from_) ? "v0" : "v" + std::to_string(k);
    const std::string json = R"({"workspage":{"data":{"worksList":[{"videoInfo":{"vid":")" + id +
                             R"("}}],"ext":"p)" + std::to_string(k + 1) + R"("}}})";
    return {to_bytes(json), 200};
  }

 private:
  int repeat_from_;
};

bool eventually(const std::function<bool()>& condition) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

TEST(PageReader, RunsAheadOfASlowListByFourPagesAtMost) {
  EndlessService service;
  PageReader reader(service, "a", [&] { return service.abort.load(); });
  ASSERT_TRUE(eventually([&] { return service.fetched == 4; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // it must stay there
  EXPECT_EQ(service.fetched, 4);

  for (int k = 0; k < 3; ++k) {
    const ReadPage page = reader.take();
    ASSERT_EQ(page.outcome, ReadPage::Outcome::page);
    ASSERT_EQ(page.ids, std::vector<Text>{"v" + std::to_string(k)});
    EXPECT_EQ(page.next_token, "p" + std::to_string(k + 1));
  }
  EXPECT_TRUE(eventually([&] { return service.fetched == 7; }));
  service.abort = true;
}

TEST(PageReader, StopsAskingAtThePageThatRepeatsAVideo) {
  EndlessService service(/*repeat_from=*/2);
  PageReader reader(service, "a", [&] { return service.abort.load(); });
  EXPECT_EQ(reader.take().ids, std::vector<Text>{"v0"});
  EXPECT_EQ(reader.take().ids, std::vector<Text>{"v1"});
  const ReadPage last = reader.take();
  EXPECT_EQ(last.outcome, ReadPage::Outcome::page);
  EXPECT_EQ(last.ids, std::vector<Text>{"v0"});
  // Nothing more comes, and a further take does not wait for it.
  EXPECT_EQ(reader.take().outcome, ReadPage::Outcome::failed);
  EXPECT_EQ(service.fetched, 3);
}

TEST(PageReader, AnAbortedRequestEndsTheReading) {
  EndlessService service;
  service.hang = true;
  auto reader = std::make_unique<PageReader>(service, "a", [&] { return service.abort.load(); });
  ASSERT_TRUE(eventually([&] { return service.fetched == 1; }));
  service.abort = true;
  EXPECT_EQ(reader->take().outcome, ReadPage::Outcome::aborted);
  reader.reset();  // joins: the request in flight has ended
  EXPECT_EQ(service.fetched, 1);
}
