#include "web/http_request.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "web/cookies.h"
#include "web/curl_global.h"
#include "web/curl_transfer.h"
#include "web/encoding.h"
#include "web/request_headers.h"
#include "web/response_headers.h"

namespace kestrano {
namespace {

constexpr long kDefaultTimeoutMs = 15000;

struct SList {
  curl_slist* list = nullptr;
  ~SList() { curl_api().slist_free_all(list); }
  void add(const std::string& line) {
    if (auto* grown = curl_api().slist_append(list, line.c_str())) list = grown;
  }
};

TransferLimits limits_for(int timeout_seconds) {
  TransferLimits limits;
  if (timeout_seconds == -1) {
    limits.connect = std::chrono::seconds(60);
    limits.idle = std::chrono::seconds(30);
    return limits;
  }
  const long long ms = timeout_seconds < 1 ? kDefaultTimeoutMs : timeout_seconds * 1000LL;
  limits.connect = limits.idle = std::chrono::milliseconds(ms);
  return limits;
}

// UTF-8 with bytes outside printable ASCII percent-encoded, as browsers put a typed address on the
// wire; control characters are left for the URL parser to refuse.
std::string wire_url(const Text& url) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : utf8_from_gbk(url)) {
    if (c >= 0x80 || c == ' ') {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// One curl header entry. "Name;" is curl's way to send a header with an empty value.
std::string header_entry(const Text& name, const Text& value) {
  if (value.empty()) return name + ";";
  return name + ": " + utf8_from_gbk(value);
}

bool is_host(const Text& name) {
  return name.size() == 4 && std::equal(name.begin(), name.end(), "host", [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

bool safe_value(const Text& value) { return value.find_first_of("\r\n") == Text::npos; }

}  // namespace

HttpResult http_request(const Text& url, const HttpOptions& o) {
  HttpResult r;
  r.headers = o.headers;
  r.cookies = o.cookies;

  std::unique_ptr<RequestObject> own;
  RequestObject* holder = o.request_object;
  if (!holder) {
    own = std::make_unique<RequestObject>();
    holder = own.get();
  }
  if (!holder->valid()) return r;
  CurlHandles& handles = *holder->handles();
  std::lock_guard busy(handles.busy);
  CURL* easy = handles.easy;
  const CurlApi& api = curl_api();  // loaded: the holder is valid
  api.easy_reset(easy);  // keeps the holder's live connections

  const int method = (o.method >= 0 && o.method <= 2) ? o.method : 0;
  const bool proxy_credentials = !o.proxy.empty() && !o.proxy_user.empty() && o.proxy_auth_mode == 1;
  r.headers = complete_header_block(o.headers, url);

  const std::string wire = wire_url(url);
  api.easy_setopt(easy, CURLOPT_URL, wire.c_str());
  api.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  api.easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api.easy_setopt(easy, CURLOPT_FOLLOWLOCATION, o.no_redirect ? 0L : 1L);
  api.easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  api.easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  api.easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  api.easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  const std::string ca_file = utf8_from_gbk(o.ca_file);
  if (!ca_file.empty()) api.easy_setopt(easy, CURLOPT_CAINFO, ca_file.c_str());

  // An empty proxy also keeps curl from taking one from the environment.
  const std::string proxy = utf8_from_gbk(o.proxy);
  api.easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
  api.easy_setopt(easy, CURLOPT_NOPROXY, "");
  SList proxy_headers;
  if (proxy_credentials) {
    const std::string pair = utf8_from_gbk(o.proxy_user) + ":" + utf8_from_gbk(o.proxy_password);
    proxy_headers.add("Proxy-Authorization: Basic " + base64_encode(to_bytes(pair)));
    // Separate lists: through an https tunnel the credentials go to the proxy only, never to the
    // server behind it.
    api.easy_setopt(easy, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));  // read as a long
    api.easy_setopt(easy, CURLOPT_PROXYHEADER, proxy_headers.list);
  }

  // The headers we send are exactly the cookie line and the block's lines, in order. An empty "Name:"
  // entry is never sent itself; it only stops curl from adding its own header of that name.
  const std::vector<HeaderLine> lines = header_lines(r.headers);
  SList request_headers;
  if (std::any_of(lines.begin(), lines.end(), [](const HeaderLine& h) { return is_host(h.name); })) {
    request_headers.add("Host:");  // curl then writes the block's Host line where the block has it
  }
  if (o.cookies && !o.cookies->empty() && safe_value(*o.cookies)) {
    request_headers.add(header_entry("Cookie", *o.cookies));
  }
  for (const HeaderLine& h : lines) request_headers.add(header_entry(h.name, h.value));
  for (const char* own_default : {"Accept:", "Content-Type:", "Expect:"}) request_headers.add(own_default);
  api.easy_setopt(easy, CURLOPT_HTTPHEADER, request_headers.list);

  std::string body;
  if (!o.body_bytes.empty()) {
    body.assign(o.body_bytes.begin(), o.body_bytes.end());
  } else {
    body = utf8_from_gbk(o.body_text);
  }
  if (method == 2) {
    api.easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (method == 1 || !body.empty()) {
    api.easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    api.easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, body.c_str());
    if (method == 0) api.easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "GET");
  } else {
    api.easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  }

  TransferOutcome outcome = run_transfer(handles, limits_for(o.timeout_seconds), o.should_abort);
  if (outcome.end == TransferEnd::complete) {
    long status = 0;
    api.easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    r.status = static_cast<int>(status);
    r.body = std::move(outcome.body);
    r.response_headers = response_header_text(outcome.received_headers);
  }

  r.returned_cookies = cookies_from_headers(r.response_headers);
  if (o.auto_merge_cookies && o.cookies) {
    Text merged = *o.cookies;
    merge_cookies(merged, r.returned_cookies);
    r.cookies = merged;
    r.returned_cookies = merged;
  }
  return r;
}

}  // namespace kestrano
