#pragma once
// Which file each video is saved to. Two videos must never share a file, while downloading the same
// video again must rewrite its own file. So, for the life of the program, every target path remembers
// the play address that first claimed it.

#include <map>
#include <mutex>

#include "text/text.h"

namespace kestrano {

class NameClaims {
 public:
  // The file name (with ".mp4") in `folder` for the video at `address` whose sanitized title is
  // `base`. An empty base becomes "未命名视频"; the base is cut at a character boundary so that the
  // name, a " (n)" counter and the temporary file's suffix fit the file system's 255-byte limit; a name
  // claimed by another address takes the next free " (2)", " (3)", ...
  Text claim(const Text& folder, const Text& base, const Text& address);

  // Longest base, in UTF-8 bytes, that `claim` keeps.
  static std::size_t max_base_bytes();

 private:
  std::mutex mutex_;
  std::map<Text, Text> owner_of_path_;  // folder + separator + name -> address
};

// The base cut so that its UTF-8 form is at most `max_bytes` long, never inside a character; control
// characters (which no file name should carry) removed.
Text fit_file_base(const Text& base, std::size_t max_bytes);

// `folder` + the platform's separator + `name`.
Text join_path(const Text& folder, const Text& name);

}  // namespace kestrano
