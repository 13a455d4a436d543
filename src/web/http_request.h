#pragma once
// The system's HTTP request routine for answers it reads (the works list): one synchronous request,
// the caller's header block completed with browser-like defaults, the response's cookies extracted
// and optionally folded into the caller's running cookie text.
//
// Failures are values: no response means an empty body, empty response headers and status 0.

#include <functional>
#include <optional>

#include "text/text.h"
#include "web/request_object.h"

namespace kestrano {

struct HttpOptions {
  int method = 0;  // 0 = "GET", 1 = "POST", 2 = "HEAD" (sent without a body); any other value is "GET"
  Text body_text;  // sent when body_bytes is empty
  // The caller's running cookie text, sent as "Cookie" when not empty. Omitted (nullopt) and given
  // empty differ: only a given text is merged with the response's cookies.
  std::optional<Text> cookies;
  Text headers;  // extra request header lines, CR LF separated, "Name: value"
  bool no_redirect = false;
  Bytes body_bytes;  // sent instead of body_text when not empty
  Text proxy;        // host:port; empty = no proxy
  // Seconds for connecting (with name resolution) and for every wait for data; below 1 means 15.
  // -1 keeps the request object's own limits: 60 s to connect, 30 s for every wait for data.
  int timeout_seconds = 0;
  Text proxy_user;
  Text proxy_password;
  int proxy_auth_mode = 1;  // 1 = send Basic proxy credentials, anything else = none
  // Reused between calls when given, keeping its connection alive; one call at a time uses it.
  RequestObject* request_object = nullptr;
  bool auto_merge_cookies = true;

  // A certificate-authority file trusted for this call (the tests' own certificate). Peers and host
  // names are always verified.
  Text ca_file;
  // Checked while the transfer runs (every few milliseconds); true ends the call at once as a failure.
  std::function<bool()> should_abort;
};

struct HttpResult {
  Bytes body;
  Text headers;  // the header block that was sent: the caller's lines plus the appended defaults
  // The caller's cookie text after the call: merged with the response's cookies when merging applied,
  // otherwise as given; nullopt when it was omitted.
  std::optional<Text> cookies;
  Text returned_cookies;  // this response's cookies, or the merged text when merging applied
  Text response_headers;  // CR LF separated, "Set-Cookie" normalised in every letter case
  int status = 0;         // 0 when no complete response arrived
};

// Only http and https are allowed, for the request and for every redirect (at most 10 are followed).
// Texts go on the wire as UTF-8. A body longer than 64 MiB fails the call.
HttpResult http_request(const Text& url, const HttpOptions& options = {});

}  // namespace kestrano
