#pragma once
// libcurl's process-wide setup must run once, before any thread makes a transfer. Every user of libcurl
// in the system calls this first. The library itself is opened here too, so a run that never transfers
// anything never loads it (see web/curl_library.h).

namespace kestrano {

struct CurlApi;

// Opens libcurl and runs its curl_global_init once per process; later calls return at once with the
// first call's answer. False when the library or one of its functions is missing, it is too old, or its
// set-up failed: every transfer must then fail without calling into it.
bool ensure_curl_global_init();

// The same with the library's file name given: the first call of either in a process decides which
// file is opened, later names are ignored. Lets a test run a process without a usable libcurl.
bool ensure_curl_global_init_from(const char* library_file_name);

// The process's table of libcurl functions. Valid only after ensure_curl_global_init returned true, on
// this thread or on one whose work was handed over to this one after that.
const CurlApi& curl_api();

}  // namespace kestrano
