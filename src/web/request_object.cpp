#include "web/request_object.h"

#include "web/curl_global.h"
#include "web/curl_transfer.h"

namespace kestrano {

CurlHandles::CurlHandles() {
  if (!ensure_curl_global_init()) return;
  multi = curl_multi_init();
  easy = curl_easy_init();
}

CurlHandles::~CurlHandles() {
  if (easy) curl_easy_cleanup(easy);
  if (multi) curl_multi_cleanup(multi);
}

RequestObject::RequestObject() : handles_(std::make_unique<CurlHandles>()) {}
RequestObject::~RequestObject() = default;
RequestObject::RequestObject(RequestObject&&) noexcept = default;
RequestObject& RequestObject::operator=(RequestObject&&) noexcept = default;

bool RequestObject::valid() const { return handles_ && handles_->multi && handles_->easy; }

}  // namespace kestrano
