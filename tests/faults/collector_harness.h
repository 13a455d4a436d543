#pragma once
// A collector behind an in-memory window, with either the real service fetcher (pointed at a
// stand-in) or a scripted one that answers every request alike and counts how many collections
// fetch at the same moment.

#include <atomic>
#include <cstdlib>
#include <functional>
#include <set>

#include "collect/collection_globals.h"
#include "collect/service_origin.h"
#include "collect/share_link.h"
#include "collect/works_collector.h"
#include "fault_fixture.h"

namespace kestrano::faults {

inline const Text& failure_message() {
  static const Text text = "获取作品列表失败，采集已停止！"_t;
  return text;
}

// The example share link naming another author (the stand-in reads its shape from the id).
inline Text share_link_for(const std::string& author_id) {
  Text link = sample_share_link();
  const std::string sample_id = "Kq3vT8nWx2LcZp5RbY7hGd";
  link.replace(link.find(sample_id), sample_id.size(), author_id);
  return link;
}

class ScriptedFetchers {
 public:
  // The answer to the n-th request (0-based) of a collection.
  std::function<PageAnswer(int n)> answer = [](int) { return PageAnswer{}; };
  // While set, every request waits for its collection's abort.
  std::atomic<bool> hang{false};

  WorksCollector::FetcherFactory factory() {
    return [this](std::function<bool()> should_abort) -> std::unique_ptr<PageFetcher> {
      return std::make_unique<Fetcher>(*this, std::move(should_abort));
    };
  }
  int max_concurrent() const { return peak_.load(); }
  int fetches() const { return fetches_.load(); }
  int fetchers_alive() const { return alive_.load(); }
  int max_fetchers_alive() const { return peak_alive_.load(); }

 private:
  struct Fetcher : PageFetcher {
    Fetcher(ScriptedFetchers& s, std::function<bool()> a) : owner(s), abort(std::move(a)) {
      raise(owner.peak_alive_, ++owner.alive_);
    }
    ~Fetcher() override { --owner.alive_; }
    PageAnswer fetch(const Text&) override {
      raise(owner.peak_, ++owner.in_fetch_);
      ++owner.fetches_;
      PageAnswer a;
      if (owner.hang.load()) {
        while (!abort()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      } else {
        a = owner.answer(count++);
      }
      --owner.in_fetch_;
      return a;
    }
    static void raise(std::atomic<int>& peak, int value) {
      int seen = peak.load();
      while (value > seen && !peak.compare_exchange_weak(seen, value)) {
      }
    }
    ScriptedFetchers& owner;
    std::function<bool()> abort;
    int count = 0;
  };
  std::atomic<int> in_fetch_{0}, peak_{0}, fetches_{0}, alive_{0}, peak_alive_{0};
};

class CollectorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen_video_ids = std::make_unique<std::set<Text>>();
    g_stop_requested = 0;
    window.set_control_text(Control::extract_button, caption_start());
    window.set_control_text(Control::author_link, sample_share_link());
  }
  void TearDown() override {
    if (collector) {
      EXPECT_TRUE(collector->shutdown(10s));
    }
    collector.reset();
    g_seen_video_ids.reset();
  }
  void click() { collector->on_extract_button_click(); }
  // The caption is back and the collector thread has left.
  bool ended(std::chrono::milliseconds limit = 20s) {
    if (!window.wait_until([](MemoryWindow& w) { return w.control_text(Control::extract_button) == caption_start(); },
                           limit)) {
      return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (collector->running() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !collector->running();
  }
  std::vector<Text> message_texts() {
    std::vector<Text> out;
    for (const auto& m : window.messages()) out.push_back(m.first);
    return out;
  }

  MemoryWindow window;
  std::unique_ptr<WorksCollector> collector;
};

}  // namespace kestrano::faults
