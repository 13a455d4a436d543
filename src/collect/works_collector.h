#pragma once
// A collection: from the share link in the window to one results row per video of the author, page
// after page of the service's works list, on a thread of its own.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "collect/service_origin.h"
#include "platform/window_port.h"

namespace kestrano {

// The caption of 按钮_提取视频 while no collection runs, and while one does.
Text caption_start();  // "提取视频"
Text caption_stop();   // "停止提取"

// The duration box read as an integer: leading blanks skipped, an optional sign, the digits that follow
// (full-width digits, signs and blanks count as ASCII), 0 when there are none; clamped to 32 bits.
int parse_duration_limit(const Text& text);

// A duration as the service gives it, read as a decimal number: leading blanks skipped, 0 when it does
// not begin with a number.
double parse_leading_number(const Text& text);

// The body of the works-list request for one page.
Text works_request_body(const Text& author_ext, const Text& page_token);
// The four header lines of the works-list request, CR LF between them.
Text works_request_headers(const ServiceOrigin& origin);

// What one works-list request gave.
struct PageAnswer {
  Bytes body;
  int status = 0;  // 0 when no answer arrived
};

// Sends one works-list request; `body` is the form text. The collector hands every call of one
// collection the same fetcher, so it can keep its connection open.
class PageFetcher {
 public:
  virtual ~PageFetcher() = default;
  virtual PageAnswer fetch(const Text& body) = 0;
};

class WorksCollector {
 public:
  // `make_fetcher` makes the fetcher of one collection; `should_abort` tells it when to give up a
  // request at once.
  using FetcherFactory = std::function<std::unique_ptr<PageFetcher>(std::function<bool()> should_abort)>;

  explicit WorksCollector(WindowPort& window, FetcherFactory make_fetcher = {});
  ~WorksCollector();
  WorksCollector(const WorksCollector&) = delete;
  WorksCollector& operator=(const WorksCollector&) = delete;

  // The click on 按钮_提取视频 (UI thread): starts a collection, or stops the running one.
  void on_extract_button_click();

  // For the window's close: stops the collection, aborts its request and waits up to `limit` for the
  // collector thread. True when it has ended.
  bool shutdown(std::chrono::milliseconds limit);

  // True while a collector thread is alive (also while it winds down after a stop).
  bool running() const;

 private:
  void collector_thread();
  void collect_works(const Text& author_ext, int max_seconds);
  // Waits for an ending collector, handling window messages, and joins it.
  void join_previous();
  bool should_abort() const;

  WindowPort& window_;
  FetcherFactory make_fetcher_;
  std::thread thread_;
  std::atomic<bool> alive_{false};
  std::atomic<bool> shutting_down_{false};
  bool waiting_for_previous_ = false;  // UI thread only
};

// The fetcher that talks to the service (or its loopback stand-in) with `http_request`.
std::unique_ptr<PageFetcher> make_service_fetcher(std::function<bool()> should_abort);

}  // namespace kestrano
