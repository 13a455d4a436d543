#pragma once
// Fetching one video into a file so that the file is whole or absent: the body goes into a temporary
// file beside the target, which is renamed onto the target only when the transfer is complete.
// Transient failures are retried, resuming with a Range request when the server allows it.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrano {

struct TransferProgress {
  std::int64_t done = 0;
  std::int64_t total = -1;  // -1 while the size is unknown
  double bytes_per_second = 0;
};

struct TransferOptions {
  std::chrono::milliseconds connect_timeout{15000};
  // A transfer that moves fewer than `stall_min_bytes` in any `stall_window` fails (and may be retried).
  std::chrono::milliseconds stall_window{30000};
  std::int64_t stall_min_bytes = 1024;
  std::int64_t max_bytes = std::int64_t{4} << 30;
  int max_redirects = 10;
  // Pauses before the second, third, ... attempt; their count is the number of retries.
  std::vector<std::chrono::milliseconds> retry_pauses{std::chrono::seconds(1), std::chrono::seconds(2),
                                                      std::chrono::seconds(4)};
  // A Retry-After header replaces the pause, up to this much.
  std::chrono::milliseconds max_retry_after{std::chrono::seconds(30)};
  // The certificates to trust instead of the system's store (the tests' own authority); empty uses the
  // system's store.
  std::string ca_file;
};

enum class TransferError {
  none,
  aborted,      // the abort check said so
  http_status,  // the final answer was not 2xx
  too_large,    // more than max_bytes
  incomplete,   // fewer bytes than announced
  stalled,      // too little moved within the stall window
  network,      // connection, TLS, redirect or protocol failure
  file_system,  // the temporary file could not be written or renamed
};

struct TransferResult {
  bool ok = false;
  long status = 0;  // the last HTTP status seen, 0 when none
  int attempts = 0;
  TransferError error = TransferError::none;
  std::string detail;
};

using ProgressCallback = std::function<void(const TransferProgress&)>;
using AbortCheck = std::function<bool()>;

// The temporary file for `target`: same folder, the target's name plus a unique suffix of
// `temporary_suffix_bytes` bytes.
std::filesystem::path temporary_path_for(const std::filesystem::path& target);
inline constexpr std::size_t temporary_suffix_bytes = 14;  // ".~" + 7 hex digits + ".part"

// Downloads `url` (UTF-8) to `target`. On success the target holds exactly the body; on failure the
// target is left as it was and no temporary file remains.
TransferResult download_file(const std::string& url, const std::filesystem::path& target,
                             const TransferOptions& options, const ProgressCallback& on_progress,
                             const AbortCheck& should_abort);

}  // namespace kestrano
