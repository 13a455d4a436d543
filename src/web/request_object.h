#pragma once
// A reusable request holder. A caller that passes the same holder to every `http_request` reuses its
// open connection (keep-alive) instead of connecting anew for each call.

#include <memory>

namespace kestrano {

struct CurlHandles;

class RequestObject {
 public:
  RequestObject();
  ~RequestObject();
  RequestObject(RequestObject&&) noexcept;
  RequestObject& operator=(RequestObject&&) noexcept;
  RequestObject(const RequestObject&) = delete;
  RequestObject& operator=(const RequestObject&) = delete;

  // False when the underlying client could not be created; a call on it then fails at once.
  bool valid() const;

  // For the web layer's transfer code only.
  CurlHandles* handles() const { return handles_.get(); }

 private:
  std::unique_ptr<CurlHandles> handles_;
};

}  // namespace kestrano
