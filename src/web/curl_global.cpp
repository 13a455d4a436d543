#include "web/curl_global.h"

#include <cassert>
#include <mutex>

#include "web/curl_library.h"

namespace kestrano {
namespace {

// Plain function pointers with no destructor: a thread still inside a transfer while the process exits
// keeps a valid table.
CurlApi process_api;
bool process_ready = false;
std::once_flag process_once;

}  // namespace

bool ensure_curl_global_init_from(const char* library_file_name) {
  std::call_once(process_once, [library_file_name] {
    CurlLoad load = load_curl_library(library_file_name);
    if (!load.library) return;
    const bool set_up = load.library->api.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    // Kept open for the rest of the process, as curl's own global state is never torn down: threads may
    // still be inside a transfer when the process exits, and a library whose set-up ran part way is not
    // safe to unload either.
    static_cast<void>(load.library->handle.release());
    if (!set_up) return;
    process_api = load.library->api;
    process_ready = true;
  });
  return process_ready;
}

bool ensure_curl_global_init() { return ensure_curl_global_init_from(kCurlLibraryName); }

const CurlApi& curl_api() {
  assert(process_ready && "ensure_curl_global_init must succeed before any libcurl call");
  return process_api;
}

}  // namespace kestrano
