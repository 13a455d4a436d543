#pragma once
// The works-list requests of one collection, sent from a thread of their own so that the next page
// travels while the collector reads the rows of the current one, instead of the two taking turns.

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "collect/works_collector.h"

namespace kestrano {

class PagePrefetch {
 public:
  // Every request goes through `fetcher`, one at a time and always from the same thread.
  explicit PagePrefetch(PageFetcher& fetcher);
  // Waits for a request in flight: the fetcher's abort check must end it (a stop or a close does).
  ~PagePrefetch();
  PagePrefetch(const PagePrefetch&) = delete;
  PagePrefetch& operator=(const PagePrefetch&) = delete;

  // Sends the request with this body. At most one request is outstanding: take() its answer first.
  void request(const Text& body);
  // The answer of the outstanding request, once it has arrived.
  PageAnswer take();

 private:
  void run();

  PageFetcher& fetcher_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Text> body_;
  std::optional<PageAnswer> answer_;
  bool quit_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

}  // namespace kestrano
