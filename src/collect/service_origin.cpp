#include "collect/service_origin.h"

#include <cstdlib>

namespace kestrano {
namespace {

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool loopback_host(std::string_view host) {
  if (host == "localhost" || host == "[::1]") return true;
  // 127.x.y.z with four decimal parts of at most 255.
  if (host.substr(0, 4) != "127.") return false;
  int parts = 0;
  std::size_t start = 0;
  while (start <= host.size()) {
    auto dot = host.find('.', start);
    auto part = host.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    if (!all_digits(part) || part.size() > 3 || std::atoi(std::string(part).c_str()) > 255) return false;
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

}  // namespace

ServiceOrigin default_service_origin() { return {"https://quanmin.baidu.com", "quanmin.baidu.com"}; }

std::optional<ServiceOrigin> loopback_origin(const Text& value) {
  std::string_view v = value;
  std::string_view scheme;
  if (v.substr(0, 7) == "http://") {
    scheme = "http://";
  } else if (v.substr(0, 8) == "https://") {
    scheme = "https://";
  } else {
    return std::nullopt;
  }
  v.remove_prefix(scheme.size());
  if (!v.empty() && v.back() == '/') v.remove_suffix(1);
  std::string_view host = v, port;
  if (!v.empty() && v.front() == '[') {
    auto close = v.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = v.substr(0, close + 1);
    std::string_view rest = v.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
      if (!all_digits(port)) return std::nullopt;
    }
  } else if (auto colon = v.find(':'); colon != std::string_view::npos) {
    host = v.substr(0, colon);
    port = v.substr(colon + 1);
    if (!all_digits(port)) return std::nullopt;
  }
  if (!loopback_host(host)) return std::nullopt;
  if (!port.empty() && (port.size() > 5 || std::atoi(std::string(port).c_str()) > 65535)) return std::nullopt;
  return ServiceOrigin{Text(scheme) + Text(v), Text(v)};
}

ServiceOrigin current_service_origin() {
  if (const char* value = std::getenv("KESTRANO_SERVICE_ORIGIN")) {
    if (auto origin = loopback_origin(value)) return *origin;
  }
  return default_service_origin();
}

}  // namespace kestrano
