#pragma once
// libcurl reached through a table of its functions, resolved from the shared library at run time
// instead of being linked. A linked libcurl, with the TLS, Kerberos, LDAP, SSH and HTTP/2 libraries it
// brings, costs every start of the program several milliseconds of constructors before main and megabytes
// of memory, even in a window that never transfers anything. Opened on the first transfer, it costs only
// the runs that use it.
//
// curl.h is included for its types and constants only: nothing below calls a libcurl symbol directly, and
// the core library does not link libcurl, so a direct call fails to link. Only the web and download
// layers' .cpp files include this header.

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <string>

namespace kestrano {

// Every libcurl function the system calls, with the library's own signatures (setopt and getinfo are
// variadic, as in the library).
struct CurlApi {
  decltype(&::curl_version_info) version_info = nullptr;
  decltype(&::curl_global_init) global_init = nullptr;
  decltype(&::curl_easy_init) easy_init = nullptr;
  decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&::curl_easy_reset) easy_reset = nullptr;
  decltype(&::curl_easy_setopt) easy_setopt = nullptr;
  decltype(&::curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&::curl_easy_strerror) easy_strerror = nullptr;
  decltype(&::curl_multi_init) multi_init = nullptr;
  decltype(&::curl_multi_cleanup) multi_cleanup = nullptr;
  decltype(&::curl_multi_add_handle) multi_add_handle = nullptr;
  decltype(&::curl_multi_remove_handle) multi_remove_handle = nullptr;
  decltype(&::curl_multi_perform) multi_perform = nullptr;
  decltype(&::curl_multi_poll) multi_poll = nullptr;
  decltype(&::curl_multi_info_read) multi_info_read = nullptr;
  decltype(&::curl_slist_append) slist_append = nullptr;
  decltype(&::curl_slist_free_all) slist_free_all = nullptr;
};

// The oldest libcurl whose options the transfers rely on: CURLOPT_PROTOCOLS_STR and
// CURLOPT_REDIR_PROTOCOLS_STR arrived in 7.85.0. An older library would answer them with
// CURLE_UNKNOWN_OPTION, which the transfers do not check, and follow a redirect to any protocol.
inline constexpr unsigned kMinimumCurlVersion = 0x075500;

// The file name the program opens: the library's ABI name, so any libcurl 4 build the system has serves.
inline constexpr const char* kCurlLibraryName = "libcurl.so.4";

struct LibraryCloser {
  void operator()(void* handle) const;
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

struct CurlLibrary {
  LibraryHandle handle;  // the table is valid while this is open
  CurlApi api;           // every entry set
};

struct CurlLoad {
  std::optional<CurlLibrary> library;  // nullopt when the library could not be used
  std::string error;                   // why not
};

// Opens `file_name` as dlopen looks it up, resolves every function of the table and checks the version.
// On any failure the library is closed again and no partial table is returned. The process's own table
// is loaded once, by ensure_curl_global_init (web/curl_global.h).
CurlLoad load_curl_library(const char* file_name);

}  // namespace kestrano
