#pragma once
// Where the works-list API lives: the service's own origin, or a stand-in on this machine for tests,
// demos and benchmarks.

#include <optional>

#include "text/text.h"

namespace kestrano {

struct ServiceOrigin {
  Text origin;  // scheme, host and port, no trailing slash: "https://quanmin.baidu.com"
  Text host;    // the Host line's value: "quanmin.baidu.com", or "127.0.0.1:8080"
};

// The service's origin.
ServiceOrigin default_service_origin();

// `value` read as an origin when it is http or https on a loopback host (127.0.0.0/8, localhost,
// [::1]), with an optional port and nothing after it but an optional "/"; nothing otherwise.
std::optional<ServiceOrigin> loopback_origin(const Text& value);

// KESTRANO_SERVICE_ORIGIN when it names a loopback origin, else the service's own.
ServiceOrigin current_service_origin();

}  // namespace kestrano
