#include "web/request_object.h"

#include "web/curl_global.h"
#include "web/curl_transfer.h"

namespace kestrano {

CurlHandles::CurlHandles() {
  if (!ensure_curl_global_init()) return;
  multi = curl_api().multi_init();
  easy = curl_api().easy_init();
}

CurlHandles::~CurlHandles() {
  // Either handle is set only when the library was loaded.
  if (easy) curl_api().easy_cleanup(easy);
  if (multi) curl_api().multi_cleanup(multi);
}

RequestObject::RequestObject() : handles_(std::make_unique<CurlHandles>()) {}
RequestObject::~RequestObject() = default;
RequestObject::RequestObject(RequestObject&&) noexcept = default;
RequestObject& RequestObject::operator=(RequestObject&&) noexcept = default;

bool RequestObject::valid() const { return handles_ && handles_->multi && handles_->easy; }

}  // namespace kestrano
