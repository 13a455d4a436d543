#include "web/curl_transfer.h"

#include "web/curl_global.h"

namespace kestrano {
namespace {

using Clock = std::chrono::steady_clock;

// How often the loop looks at the abort check and the watchdog while curl waits on its sockets.
constexpr int kTickMs = 20;
// curl's own connect time-out normally ends a hanging connect; the watchdog is only the backstop.
constexpr std::chrono::milliseconds kConnectSlack{500};

struct Watch {
  TransferOutcome* out;
  std::size_t max_body;
  bool too_large = false;
  bool connected = false;  // a connection stands and the request goes out on it
  curl_off_t uploaded = 0;
  Clock::time_point last_activity = Clock::now();

  void touch() { last_activity = Clock::now(); }
};

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto& w = *static_cast<Watch*>(user);
  const size_t n = size * count;
  if (w.out->body.size() + n > w.max_body) {
    w.too_large = true;
    return 0;  // anything but n ends the transfer with a write error
  }
  // Same element type on both sides, so the copy is one memmove rather than a loop over bytes.
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  w.out->body.insert(w.out->body.end(), bytes, bytes + n);
  w.touch();
  return n;
}

size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto& w = *static_cast<Watch*>(user);
  const size_t n = size * count;
  w.out->received_headers.append(data, n);
  w.touch();
  return n;
}

int on_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
  auto& w = *static_cast<Watch*>(user);
  if (ulnow != w.uploaded) {
    w.uploaded = ulnow;
    w.touch();
  }
  return 0;
}

int on_prerequest(void* user, char*, char*, int, int) {
  auto& w = *static_cast<Watch*>(user);
  w.connected = true;
  w.touch();
  return CURL_PREREQFUNC_OK;
}

int on_socket(void* user, curl_socket_t, curlsocktype purpose) {
  if (purpose == CURLSOCKTYPE_IPCXN) {
    auto& w = *static_cast<Watch*>(user);
    w.connected = false;  // a new connection (first one, or a redirect's) is being made
    w.touch();
  }
  return CURL_SOCKOPT_OK;
}

}  // namespace

CURLcode drive_transfer(CURLM* multi, CURL* easy, const std::function<bool()>& keep_going) {
  const CurlApi& api = curl_api();
  if (api.multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  for (;;) {
    int running = 0;
    if (api.multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    bool done = false;
    int queued = 0;
    while (CURLMsg* msg = api.multi_info_read(multi, &queued)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
        done = true;
        result = msg->data.result;
      }
    }
    if (done) break;
    if (!keep_going()) {
      result = CURLE_ABORTED_BY_CALLBACK;
      break;
    }
    api.multi_poll(multi, nullptr, 0, kTickMs, nullptr);
  }
  api.multi_remove_handle(multi, easy);
  return result;
}

TransferOutcome run_transfer(CurlHandles& handles, const TransferLimits& limits,
                             const std::function<bool()>& should_abort) {
  TransferOutcome out;
  Watch watch{&out, limits.max_body};
  CURL* easy = handles.easy;
  const CurlApi& api = curl_api();
  api.easy_setopt(easy, CURLOPT_WRITEFUNCTION, on_body);
  api.easy_setopt(easy, CURLOPT_WRITEDATA, &watch);
  api.easy_setopt(easy, CURLOPT_HEADERFUNCTION, on_header);
  api.easy_setopt(easy, CURLOPT_HEADERDATA, &watch);
  api.easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  api.easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, on_progress);
  api.easy_setopt(easy, CURLOPT_XFERINFODATA, &watch);
  api.easy_setopt(easy, CURLOPT_PREREQFUNCTION, on_prerequest);
  api.easy_setopt(easy, CURLOPT_PREREQDATA, &watch);
  api.easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, on_socket);
  api.easy_setopt(easy, CURLOPT_SOCKOPTDATA, &watch);
  api.easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
  api.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);

  if (should_abort && should_abort()) {
    out.end = TransferEnd::aborted;
    return out;
  }
  watch.touch();
  const CURLcode code = drive_transfer(handles.multi, easy, [&] {
    if (should_abort && should_abort()) {
      out.end = TransferEnd::aborted;
      return false;
    }
    const auto limit = watch.connected ? limits.idle : limits.connect + kConnectSlack;
    if (Clock::now() - watch.last_activity > limit) {
      out.end = TransferEnd::stalled;
      return false;
    }
    return true;
  });
  // The watch decided the abort and the stall itself; otherwise curl's result tells.
  if (out.end != TransferEnd::aborted && out.end != TransferEnd::stalled) {
    out.code = code;
    out.end = code == CURLE_OK ? TransferEnd::complete : watch.too_large ? TransferEnd::too_large : TransferEnd::failed;
  }
  return out;
}

}  // namespace kestrano
