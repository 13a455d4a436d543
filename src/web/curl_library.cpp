#include "web/curl_library.h"

#include <dlfcn.h>

namespace kestrano {
namespace {

template <typename Function>
bool resolve(void* handle, const char* name, Function& slot, std::string& error) {
  void* symbol = dlsym(handle, name);
  if (!symbol) {
    error = std::string("missing ") + name;
    return false;
  }
  slot = reinterpret_cast<Function>(symbol);
  return true;
}

bool resolve_all(void* h, CurlApi& api, std::string& error) {
  return resolve(h, "curl_version_info", api.version_info, error) &&
         resolve(h, "curl_global_init", api.global_init, error) &&
         resolve(h, "curl_easy_init", api.easy_init, error) &&
         resolve(h, "curl_easy_cleanup", api.easy_cleanup, error) &&
         resolve(h, "curl_easy_reset", api.easy_reset, error) &&
         resolve(h, "curl_easy_setopt", api.easy_setopt, error) &&
         resolve(h, "curl_easy_getinfo", api.easy_getinfo, error) &&
         resolve(h, "curl_easy_strerror", api.easy_strerror, error) &&
         resolve(h, "curl_multi_init", api.multi_init, error) &&
         resolve(h, "curl_multi_cleanup", api.multi_cleanup, error) &&
         resolve(h, "curl_multi_add_handle", api.multi_add_handle, error) &&
         resolve(h, "curl_multi_remove_handle", api.multi_remove_handle, error) &&
         resolve(h, "curl_multi_perform", api.multi_perform, error) &&
         resolve(h, "curl_multi_poll", api.multi_poll, error) &&
         resolve(h, "curl_multi_info_read", api.multi_info_read, error) &&
         resolve(h, "curl_slist_append", api.slist_append, error) &&
         resolve(h, "curl_slist_free_all", api.slist_free_all, error);
}

}  // namespace

void LibraryCloser::operator()(void* handle) const { dlclose(handle); }

CurlLoad load_curl_library(const char* file_name) {
  CurlLoad load;
  // Local: the library's symbols must not stand in for a same-named symbol of a library loaded later.
  LibraryHandle handle(dlopen(file_name, RTLD_NOW | RTLD_LOCAL));
  if (!handle) {
    const char* why = dlerror();
    load.error = why ? why : "cannot open " + std::string(file_name);
    return load;
  }
  CurlApi api;
  if (!resolve_all(handle.get(), api, load.error)) return load;
  const curl_version_info_data* info = api.version_info(CURLVERSION_NOW);
  if (!info || info->version_num < kMinimumCurlVersion) {
    load.error = std::string("libcurl ") + (info && info->version ? info->version : "of unknown version") +
                 " is older than 7.85.0";
    return load;
  }
  load.library = CurlLibrary{std::move(handle), api};
  return load;
}

}  // namespace kestrano
