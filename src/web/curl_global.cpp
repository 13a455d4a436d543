#include "web/curl_global.h"

#include <curl/curl.h>

#include <mutex>

namespace kestrano {

bool ensure_curl_global_init() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return ok;
}

}  // namespace kestrano
