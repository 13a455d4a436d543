#pragma once
// libcurl's process-wide setup must run once, before any thread makes a transfer. Every user of libcurl
// in the system calls this first; the program's entry calls it before it starts threads.

namespace kestrano {

// Runs curl_global_init once per process; later calls return at once. Returns whether it succeeded.
bool ensure_curl_global_init();

}  // namespace kestrano
