#pragma once
// The works-list pages of one collection, fetched and parsed on a thread of their own. The next page
// depends on a token inside the current answer, so the time from one answer to the next request is
// the part of a collection nothing can overlap: that thread reads the answer and sends the next
// request itself, with no hand-over to another thread in between, while the collector lists the rows
// of the pages already read.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "collect/works_collector.h"
#include "collect/works_page_facts.h"
#include "parsing/json_document.h"

namespace kestrano {

// One page as the collector takes it.
struct ReadPage {
  enum class Outcome {
    page,     // read: the fields below hold it
    failed,   // no answer, an error status, not JSON, or a works list that is not an array
    aborted,  // the abort check ended the request
  };
  Outcome outcome = Outcome::failed;
  // The page's JSON, when it had to be parsed. The reading parses a page itself only when it must to
  // learn the fields below; otherwise the taker reads the rows from the answer itself (work_fields).
  JsonDocument document;
  int count = 0;                 // entries of workspage.data.worksList
  std::vector<Text> ids;         // their video ids, in order
  Text next_token;               // workspage.data.ext
  bool leads_nowhere = false;    // no videos and a token that leads nowhere new: the list cannot go on

  // Every video's fields, for the rows: scanned from the answer when the reading left its parse pending
  // (parsed only when the scan cannot vouch for them), else read from the document. nullopt when the
  // answer cannot be read after all.
  std::optional<std::vector<WorkFields>> work_fields();

  Bytes answer;            // the answer as it came, while its parse is pending
  bool parse_pending = false;
};

class PageReader {
 public:
  // Starts at the first page of the author. The next page is asked for as soon as a page has been
  // read, unless it ends the collection: it failed, leads nowhere, or holds a video id seen before
  // (on an earlier page or earlier on itself). A collection that reads to its end therefore sends
  // exactly the requests it would send one page at a time.
  PageReader(PageFetcher& fetcher, Text author_ext, std::function<bool()> should_abort);
  // Ends the thread: a request in flight is ended by the abort check (a stop or a close).
  ~PageReader();
  PageReader(const PageReader&) = delete;
  PageReader& operator=(const PageReader&) = delete;

  // The next page in order, once it has been read. After the page that ended the reading, `failed`.
  ReadPage take();

 private:
  // How far the reading may run ahead of the collector: bounds the memory of a slow list.
  static constexpr std::size_t kPagesAhead = 4;
  // The reading wakes the collector only when it has run that far ahead or has ended; otherwise the
  // collector looks for pages this often. A wake-up per page costs both threads more than the page's
  // rows take, on a fast connection, while on a slow one the rows show at most this much later.
  static constexpr std::chrono::milliseconds kLookInterval{10};

  void run();
  // Reads one answer; true when the page after it should be asked for.
  bool read(PageAnswer& answer, const Text& page_token, ReadPage& page);
  void deliver(ReadPage page);

  PageFetcher& fetcher_;
  const Text author_ext_;
  const std::function<bool()> should_abort_;
  std::set<Text> seen_ids_;  // reading thread only

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ReadPage> pages_;
  bool finished_ = false;  // the thread reads no more pages
  bool quit_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

}  // namespace kestrano
