#include "download/file_transfer.h"

#include "web/curl_global.h"
#include "web/curl_library.h"
#include "web/curl_transfer.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

namespace kestrano {
namespace {

using Clock = std::chrono::steady_clock;

// The most a transfer hands the file system at once: curl's receive buffer and the file's buffer.
// With six downloads writing side by side, megabyte writes made the kernel's copy into the page cache
// several times slower than 64 KiB writes (bench/download, 48 files of 16 MiB: 1.2 s against 0.6 s);
// larger writes save no measurable system time.
constexpr std::size_t kWriteChunkBytes = 64 * 1024;

struct CurlCleanup {
  void operator()(CURL* c) const { curl_api().easy_cleanup(c); }
};
struct MultiCleanup {
  void operator()(CURLM* m) const { curl_api().multi_cleanup(m); }
};
struct SlistCleanup {
  void operator()(curl_slist* l) const { curl_api().slist_free_all(l); }
};
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool starts_with_ci(std::string_view line, std::string_view prefix) {
  if (line.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

std::string header_value_of(std::string_view line, std::string_view name) {
  std::string_view v = line.substr(name.size());
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == '\r' || v.back() == '\n' || v.back() == ' ')) v.remove_suffix(1);
  return std::string(v);
}

// "bytes first-last/total"; nullopt when it is not of that form.
struct ContentRange {
  std::int64_t first = 0, last = 0, total = -1;
};
std::optional<ContentRange> parse_content_range(const std::string& value) {
  ContentRange r;
  long long first = 0, last = 0, total = 0;
  if (std::sscanf(value.c_str(), "bytes %lld-%lld/%lld", &first, &last, &total) != 3) return std::nullopt;
  if (first < 0 || last < first || total <= last) return std::nullopt;
  r.first = first;
  r.last = last;
  r.total = total;
  return r;
}

bool transient_status(long status) {
  return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

// What one request learned, and what it did to the temporary file.
struct Attempt {
  // Set before the request.
  std::FILE* file = nullptr;
  std::int64_t resume_from = 0;      // bytes already held; 0 asks for the whole body
  std::int64_t expected_total = -1;  // total length the first answer announced, when known
  const TransferOptions* options = nullptr;
  const ProgressCallback* on_progress = nullptr;
  const AbortCheck* should_abort = nullptr;

  // Headers of the final answer (redirect answers are forgotten as the next one begins).
  long status = 0;
  std::int64_t content_length = -1;
  std::optional<ContentRange> content_range;
  std::string etag, last_modified;
  std::optional<std::chrono::milliseconds> retry_after;

  // Body.
  bool body_started = false;
  std::int64_t offset = 0;  // where the body of this answer starts in the file
  std::int64_t written = 0;
  bool rejected_status = false, range_mismatch = false, too_large = false, write_failed = false;
  bool stalled = false, aborted = false;

  // Progress and stall watch.
  Clock::time_point window_start = Clock::now();
  std::int64_t window_bytes = 0;
  Clock::time_point last_report{};
  Clock::time_point started = Clock::now();

  std::int64_t announced_total() const {
    if (content_range) return content_range->total;
    if (content_length >= 0) return offset + content_length;
    return -1;
  }
};

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  auto* a = static_cast<Attempt*>(user);
  std::string_view line(data, size * count);
  if (starts_with_ci(line, "HTTP/")) {
    // A new answer begins (the first, or the target of a redirect).
    a->content_length = -1;
    a->content_range.reset();
    a->etag.clear();
    a->last_modified.clear();
    a->retry_after.reset();
    int code = 0;
    auto space = line.find(' ');
    if (space != std::string_view::npos) code = std::atoi(std::string(line.substr(space + 1, 3)).c_str());
    a->status = code;
  } else if (starts_with_ci(line, "content-length:")) {
    a->content_length = std::atoll(header_value_of(line, "content-length:").c_str());
  } else if (starts_with_ci(line, "content-range:")) {
    a->content_range = parse_content_range(header_value_of(line, "content-range:"));
  } else if (starts_with_ci(line, "etag:")) {
    a->etag = header_value_of(line, "etag:");
  } else if (starts_with_ci(line, "last-modified:")) {
    a->last_modified = header_value_of(line, "last-modified:");
  } else if (starts_with_ci(line, "retry-after:")) {
    std::string v = header_value_of(line, "retry-after:");
    if (!v.empty() && std::all_of(v.begin(), v.end(), [](unsigned char ch) { return std::isdigit(ch) != 0; }) && v.size() < 9) {
      a->retry_after = std::chrono::seconds(std::atol(v.c_str()));
    }
  }
  return size * count;
}

// Decides, at the first bytes of the final answer, where they go: appended after the bytes held (a 206
// that continues exactly there), or from the start of the file (a 200, whatever was asked).
bool begin_body(Attempt& a) {
  a.body_started = true;
  if (a.resume_from > 0 && a.status == 416) {
    // The range asked for is not there (the file changed, or was shorter than announced): start over.
    a.range_mismatch = true;
    return false;
  }
  if (a.status < 200 || a.status > 299) {
    a.rejected_status = true;
    return false;
  }
  if (a.resume_from > 0 && a.status == 206) {
    const auto& r = a.content_range;
    if (!r || r->first != a.resume_from || (a.expected_total >= 0 && r->total != a.expected_total)) {
      a.range_mismatch = true;
      return false;
    }
    a.offset = a.resume_from;
  } else {
    a.offset = 0;
  }
  if (std::fflush(a.file) != 0 || fseeko(a.file, static_cast<off_t>(a.offset), SEEK_SET) != 0) {
    a.write_failed = true;
    return false;
  }
  return true;
}

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
  auto* a = static_cast<Attempt*>(user);
  const std::size_t n = size * count;
  if (!a->body_started && !begin_body(*a)) return 0;
  if (a->offset + a->written + static_cast<std::int64_t>(n) > a->options->max_bytes) {
    a->too_large = true;
    return 0;
  }
  if (std::fwrite(data, 1, n, a->file) != n) {
    a->write_failed = true;
    return 0;
  }
  a->written += static_cast<std::int64_t>(n);
  return n;
}

// Called every few milliseconds while the transfer runs: the abort, the stall watch and the progress
// report. False ends the transfer.
bool keep_going(Attempt* a, std::int64_t moved) {
  if (*a->should_abort && (*a->should_abort)()) {
    a->aborted = true;
    return false;
  }
  const auto now = Clock::now();
  if (now - a->window_start >= a->options->stall_window) {
    if (moved - a->window_bytes < a->options->stall_min_bytes) {
      a->stalled = true;
      return false;
    }
    a->window_start = now;
    a->window_bytes = moved;
  }
  if (*a->on_progress && a->body_started && now - a->last_report >= std::chrono::milliseconds(100)) {
    a->last_report = now;
    double seconds = std::chrono::duration<double>(now - a->started).count();
    TransferProgress p;
    p.done = a->offset + a->written;
    p.total = a->announced_total();
    p.bytes_per_second = seconds > 0 ? static_cast<double>(a->written) / seconds : 0;
    (*a->on_progress)(p);
  }
  return true;
}

struct AttemptOutcome {
  CURLcode code = CURLE_OK;
  std::string error_text;
};

AttemptOutcome run_attempt(const std::string& url, Attempt& a, const std::string& if_range) {
  AttemptOutcome out;
  const CurlApi& api = curl_api();
  std::unique_ptr<CURL, CurlCleanup> curl(api.easy_init());
  if (!curl) {
    out.code = CURLE_FAILED_INIT;
    return out;
  }
  char error[CURL_ERROR_SIZE] = {};
  CURL* c = curl.get();
  api.easy_setopt(c, CURLOPT_URL, url.c_str());
  api.easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  api.easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  // Only http and https, also after redirects: a play address must never reach a local file.
  api.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  api.easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api.easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  api.easy_setopt(c, CURLOPT_MAXREDIRS, static_cast<long>(a.options->max_redirects));
  api.easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(a.options->connect_timeout.count()));
  api.easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  api.easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!a.options->ca_file.empty()) api.easy_setopt(c, CURLOPT_CAINFO, a.options->ca_file.c_str());
  api.easy_setopt(c, CURLOPT_BUFFERSIZE, static_cast<long>(kWriteChunkBytes));
  api.easy_setopt(c, CURLOPT_HEADERFUNCTION, on_header);
  api.easy_setopt(c, CURLOPT_HEADERDATA, &a);
  api.easy_setopt(c, CURLOPT_WRITEFUNCTION, on_body);
  api.easy_setopt(c, CURLOPT_WRITEDATA, &a);
  std::unique_ptr<curl_slist, SlistCleanup> headers;
  if (a.resume_from > 0) {
    std::string range = std::to_string(a.resume_from) + "-";
    api.easy_setopt(c, CURLOPT_RANGE, range.c_str());
    if (!if_range.empty()) {
      headers.reset(api.slist_append(nullptr, ("If-Range: " + if_range).c_str()));
      api.easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    }
  }
  std::unique_ptr<CURLM, MultiCleanup> multi(api.multi_init());
  if (!multi) {
    out.code = CURLE_FAILED_INIT;
    return out;
  }
  out.code = drive_transfer(multi.get(), c, [&] {
    curl_off_t down = 0, up = 0;
    api.easy_getinfo(c, CURLINFO_SIZE_DOWNLOAD_T, &down);
    api.easy_getinfo(c, CURLINFO_SIZE_UPLOAD_T, &up);
    return keep_going(&a, static_cast<std::int64_t>(down + up));
  });
  // An empty body never calls the write callback; its status still has to be judged.
  if (out.code == CURLE_OK && !a.body_started) begin_body(a);
  out.error_text = error[0] ? error : api.easy_strerror(out.code);
  return out;
}

bool transient_code(CURLcode code) {
  switch (code) {
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_OPERATION_TIMEDOUT:
      return true;
    default:
      return false;
  }
}

// Waits `pause`, ending early when the abort check says so; returns false when aborted.
bool pause_unless_aborted(std::chrono::milliseconds pause, const AbortCheck& should_abort) {
  const auto until = Clock::now() + pause;
  while (Clock::now() < until) {
    if (should_abort && should_abort()) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(10), until - Clock::now()));
  }
  return !(should_abort && should_abort());
}

}  // namespace

std::filesystem::path temporary_path_for(const std::filesystem::path& target) {
  static std::atomic<std::uint32_t> counter{0};
  thread_local std::mt19937 random(std::random_device{}());
  char suffix[16];
  std::uint32_t unique = (random() ^ (counter.fetch_add(1) * 2654435761u)) & 0xFFFFFFFu;
  std::snprintf(suffix, sizeof suffix, ".~%07x.part", unique);
  auto path = target;
  path += suffix;
  return path;
}

TransferResult download_file(const std::string& url, const std::filesystem::path& target,
                             const TransferOptions& options, const ProgressCallback& on_progress,
                             const AbortCheck& should_abort) {
  TransferResult result;
  // Without a usable libcurl no attempt can be made; the row fails like any other unreachable video.
  if (!ensure_curl_global_init()) {
    result.error = TransferError::network;
    result.detail = "the transfer library (libcurl) could not be loaded";
    return result;
  }
  const auto temp = temporary_path_for(target);
  File file(std::fopen(temp.c_str(), "w+b"));
  if (!file) {
    result.error = TransferError::file_system;
    result.detail = "cannot create " + temp.string();
    return result;
  }
  static thread_local std::vector<char> buffer(kWriteChunkBytes);
  std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());

  auto give_up = [&](TransferError error, std::string detail) {
    file.reset();
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    result.ok = false;
    result.error = error;
    result.detail = std::move(detail);
    return result;
  };

  std::int64_t held = 0, expected_total = -1;
  std::string validator;
  const int max_failures = 1 + static_cast<int>(options.retry_pauses.size());
  for (int failures = 0;;) {
    Attempt a;
    a.file = file.get();
    a.options = &options;
    a.on_progress = &on_progress;
    a.should_abort = &should_abort;
    a.resume_from = held;
    a.expected_total = expected_total;
    ++result.attempts;
    AttemptOutcome out = run_attempt(url, a, validator);
    result.status = a.status;

    if (a.aborted) return give_up(TransferError::aborted, "aborted");
    if (a.write_failed) return give_up(TransferError::file_system, "cannot write " + temp.string());
    if (a.too_large) return give_up(TransferError::too_large, "more than the size limit");
    if (a.range_mismatch) {
      // The server does not continue where we are: start over at once. Only a Range request can
      // mismatch, and the next request asks for everything, so this cannot repeat without a failure.
      held = 0;
      expected_total = -1;
      validator.clear();
      continue;
    }

    const std::int64_t total = a.announced_total();
    const std::int64_t size = a.offset + a.written;
    if (out.code == CURLE_OK && !a.rejected_status) {
      if (total < 0 || size == total) {
        // A body that restarted from byte 0 may be shorter than what an earlier attempt held.
        if (std::fflush(file.get()) != 0 || ftruncate(fileno(file.get()), static_cast<off_t>(size)) != 0) {
          return give_up(TransferError::file_system, "cannot write " + temp.string());
        }
        file.reset();
        std::error_code ec;
        std::filesystem::rename(temp, target, ec);
        if (ec) return give_up(TransferError::file_system, ec.message());
        result.ok = true;
        if (on_progress) on_progress({size, size, 0});
        return result;
      }
      out.code = CURLE_PARTIAL_FILE;  // not the length the server announced
    }

    TransferError error = TransferError::network;
    bool transient = transient_code(out.code);
    std::string detail = out.error_text;
    if (a.rejected_status) {
      error = TransferError::http_status;
      transient = transient_status(a.status);
      detail = "HTTP status " + std::to_string(a.status);
    } else if (a.stalled) {
      error = TransferError::stalled;
      transient = true;
      detail = "stalled";
    } else if (out.code == CURLE_PARTIAL_FILE) {
      error = TransferError::incomplete;
    }
    if (!transient || ++failures >= max_failures) return give_up(error, detail);

    if (!a.rejected_status) {
      // Keep what arrived when the answer can be continued: its total is known and it named a
      // validator for If-Range. Otherwise the next attempt starts from the beginning.
      if (total >= 0 && size > 0 && (!a.etag.empty() || !a.last_modified.empty())) {
        if (a.offset == 0) validator = !a.etag.empty() ? a.etag : a.last_modified;
        held = size;
        expected_total = total;
      } else {
        held = 0;
        expected_total = -1;
        validator.clear();
      }
    }
    auto pause = options.retry_pauses[static_cast<std::size_t>(failures - 1)];
    if (a.retry_after) pause = std::min<std::chrono::milliseconds>(*a.retry_after, options.max_retry_after);
    if (!pause_unless_aborted(pause, should_abort)) return give_up(TransferError::aborted, "aborted");
  }
}

}  // namespace kestrano
