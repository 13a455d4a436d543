#include "collect/page_reader.h"

#include "text/codepage.h"
#include "web/encoding.h"

namespace kestrano {

PageReader::PageReader(PageFetcher& fetcher, Text author_ext, std::function<bool()> should_abort)
    : fetcher_(fetcher), author_ext_(std::move(author_ext)), should_abort_(std::move(should_abort)),
      thread_([this] { run(); }) {}

PageReader::~PageReader() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

ReadPage PageReader::take() {
  std::unique_lock lock(mutex_);
  while (!changed_.wait_for(lock, kLookInterval, [this] { return !pages_.empty() || finished_; })) {
  }
  if (pages_.empty()) return {};  // the reading ended on an earlier page
  ReadPage page = std::move(pages_.front());
  pages_.pop_front();
  changed_.notify_all();
  return page;
}

void PageReader::run() {
  Text page_token;
  for (;;) {
    PageAnswer answer = fetcher_.fetch(works_request_body(author_ext_, page_token));
    ReadPage page;
    bool go_on = false;
    if (should_abort_()) {
      page.outcome = ReadPage::Outcome::aborted;
    } else {
      go_on = read(answer, page_token, page);
    }
    const Text next_token = page.next_token;
    deliver(std::move(page));
    std::unique_lock lock(mutex_);
    if (!go_on || quit_) break;
    // Running ahead of a busy list is fine; running away from it is not.
    changed_.wait(lock, [this] { return quit_ || pages_.size() < kPagesAhead; });
    if (quit_) break;
    page_token = next_token;
  }
  std::lock_guard lock(mutex_);
  finished_ = true;
  changed_.notify_all();
}

bool PageReader::read(PageAnswer& answer, const Text& page_token, ReadPage& page) {
  // An incomplete list must never look complete: no answer, an error status and an answer that is
  // not JSON end the collection with a message.
  if (answer.status < 200 || answer.status > 299) return false;
  std::optional<WorksPageFacts> facts =
      scan_works_page({reinterpret_cast<const char*>(answer.body.data()), answer.body.size()});
  if (facts) {
    page.answer = std::move(answer.body);
    page.parse_pending = true;
  } else {
    if (!page.document.parse(to_text(convert_charset(answer.body)))) return false;
    // A works list that is not an array cannot be read; taken as empty it would end the collection as
    // if the author had been read to the end.
    facts = facts_from_document(page.document);
    if (!facts) return false;
  }

  page.outcome = ReadPage::Outcome::page;
  page.count = facts->count;
  page.ids = std::move(facts->ids);
  page.next_token = std::move(facts->next_token);
  page.leads_nowhere = page.count < 1 && (page.next_token.empty() || page.next_token == page_token);
  bool repeats = false;
  std::set<Text> on_page;
  for (const Text& id : page.ids) {
    if (seen_ids_.count(id) != 0 || !on_page.insert(id).second) repeats = true;
  }
  if (page.leads_nowhere || repeats) return false;
  seen_ids_.merge(on_page);
  return true;
}

std::optional<std::vector<WorkFields>> ReadPage::work_fields() {
  if (parse_pending) {
    std::optional<std::vector<WorkFields>> scanned =
        scan_work_fields({reinterpret_cast<const char*>(answer.data()), answer.size()});
    if (scanned) return scanned;
    parse_pending = false;
    if (!document.parse(to_text(convert_charset(answer)))) return std::nullopt;
  }
  return work_fields_from_document(document, count);
}

void PageReader::deliver(ReadPage page) {
  bool run_ahead = false;
  {
    std::lock_guard lock(mutex_);
    pages_.push_back(std::move(page));
    run_ahead = pages_.size() >= kPagesAhead;
  }
  if (run_ahead) changed_.notify_all();  // the end of the reading wakes the collector too, in run()
}

}  // namespace kestrano
