#pragma once
// The libcurl side of a transfer, shared by the web layer's .cpp files only (it includes curl.h, which
// is not visible outside the core library).

#include "web/curl_library.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

#include "text/text.h"

namespace kestrano {

// An easy handle driven through a multi handle of its own. The multi handle holds the connection
// cache, so connections outlive a transfer; driving the transfer ourselves lets the stall watchdog and
// the abort check run every few milliseconds instead of once a second as inside curl_easy_perform.
struct CurlHandles {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  std::mutex busy;  // a holder serves one call at a time

  CurlHandles();
  ~CurlHandles();
  CurlHandles(const CurlHandles&) = delete;
  CurlHandles& operator=(const CurlHandles&) = delete;
};

struct TransferLimits {
  std::chrono::milliseconds connect{15000};  // name resolution and connecting, per connection
  std::chrono::milliseconds idle{15000};     // any wait for data once connected
  std::size_t max_body = std::size_t{64} << 20;
};

enum class TransferEnd { complete, failed, stalled, aborted, too_large };

struct TransferOutcome {
  TransferEnd end = TransferEnd::failed;
  CURLcode code = CURLE_OK;
  Bytes body;
  std::string received_headers;  // every header line received, with line ends (see response_headers.h)
};

// Runs `easy` to its end on `multi`, calling `keep_going` about every 20 ms while curl waits on its
// sockets; when it returns false the transfer ends with CURLE_ABORTED_BY_CALLBACK. The handle is
// removed from `multi` on return, which closes an unfinished connection.
CURLcode drive_transfer(CURLM* multi, CURL* easy, const std::function<bool()>& keep_going);

// Runs the request configured on `handles.easy` to its end. Installs its own write, header, progress,
// pre-request and socket callbacks and the connect time-out; the caller sets everything else.
TransferOutcome run_transfer(CurlHandles& handles, const TransferLimits& limits,
                             const std::function<bool()>& should_abort);

}  // namespace kestrano
