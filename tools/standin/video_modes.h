#pragma once
// What a video path asks of the stand-in: "/video/<modes>/<name>.mp4" or "/video/<name>.mp4", the
// modes being fault tokens joined by "." (see README.md). The content depends on the name only.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrano::standin {

struct VideoModes {
  std::string name;  // the file name without ".mp4": the content's seed
  std::optional<std::uint64_t> size;
  int status = 0;                                   // status<C>
  std::optional<std::uint64_t> cut_after;           // cut<N>
  std::optional<std::uint64_t> stall_after;         // stall<N>
  int trickle_ms = 0;                               // trickle<MS>
  bool endless = false;                             // endless
  std::optional<std::uint64_t> declared_length;     // badlen<L>
  int redirects = 0;                                // redirect<N>
  bool redirect_loop = false;                       // redirectloop
  bool redirect_file = false;                       // redirectfile
  bool redirect_ftp = false;                        // redirectftp
  int busy_retry_after = -1;                        // busy<S>
  int fault_times = 0;                              // times<K>; 0: every request
  bool ignore_range = false;                        // norange

  bool has_fault() const;
  // The path of the next hop of a redirect<N> chain: the same video with redirect<N-1>.
  std::string next_redirect_path() const;
};

// nullopt for a path outside "/video/" or with an unknown token.
std::optional<VideoModes> parse_video_path(std::string_view path);

// A single "bytes=a-b", "bytes=a-" or "bytes=-n" range resolved against `size`: first and last
// byte. nullopt when the header is absent, malformed or multiple (then the whole file is served);
// `unsatisfiable` is set when it asks for nothing inside the file.
struct ByteRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
};
std::optional<ByteRange> parse_range(std::string_view header, std::uint64_t size, bool& unsatisfiable);

}  // namespace kestrano::standin
