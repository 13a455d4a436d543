#include "collect/page_prefetch.h"

namespace kestrano {

PagePrefetch::PagePrefetch(PageFetcher& fetcher) : fetcher_(fetcher), thread_([this] { run(); }) {}

PagePrefetch::~PagePrefetch() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void PagePrefetch::request(const Text& body) {
  {
    std::lock_guard lock(mutex_);
    body_ = body;
    answer_.reset();
  }
  changed_.notify_all();
}

PageAnswer PagePrefetch::take() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return answer_.has_value(); });
  PageAnswer answer = std::move(*answer_);
  answer_.reset();
  return answer;
}

void PagePrefetch::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || body_.has_value(); });
    if (quit_) return;  // a body not yet sent when the collection ends is never sent
    const Text body = std::move(*body_);
    body_.reset();
    lock.unlock();
    PageAnswer answer = fetcher_.fetch(body);
    lock.lock();
    answer_ = std::move(answer);
    changed_.notify_all();
    if (quit_) return;
  }
}

}  // namespace kestrano
