#include "download/name_claims.h"

#include "download/file_transfer.h"
#include "text/codepage.h"  // the "未命名视频" literal

namespace kestrano {
namespace {

constexpr std::size_t kNameLimit = 255;          // bytes of one file name on Linux file systems
constexpr std::size_t kCounterBytes = 6;         // " (999)"
constexpr std::size_t kExtensionBytes = 4;       // ".mp4"

// A byte that can end a double-byte character. A lead byte followed by anything else is read by the
// conversion to UTF-8 as a character of its own (U+FFFD) and the byte after it as another one.
bool is_trail_byte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

}  // namespace

std::size_t NameClaims::max_base_bytes() {
  return kNameLimit - kCounterBytes - kExtensionBytes - temporary_suffix_bytes;
}

Text fit_file_base(const Text& base, std::size_t max_bytes) {
  // Every GBK character that is not ASCII lies in the Basic Multilingual Plane, so it takes at most 3
  // bytes in UTF-8 (a stray byte becomes U+FFFD, also 3). Counting 3 keeps the name within the limit
  // without converting character by character.
  Text out;
  std::size_t utf8_bytes = 0;
  for (std::size_t i = 0; i < base.size();) {
    const auto c = static_cast<unsigned char>(base[i]);
    const std::size_t width =
        is_lead_byte(c) && i + 1 < base.size() && is_trail_byte(static_cast<unsigned char>(base[i + 1])) ? 2 : 1;
    // Control characters belong in no file name. A "/" that the sanitizer kept because it followed a
    // broken lead byte would make the name a path: it goes too.
    if (width == 1 && (c < 0x20 || c == 0x7F || c == '/')) {
      ++i;
      continue;
    }
    const std::size_t character_utf8 = c < 0x80 ? 1 : 3;
    if (utf8_bytes + character_utf8 > max_bytes) break;
    out.append(base, i, width);
    utf8_bytes += character_utf8;
    i += width;
  }
  return out;
}

Text join_path(const Text& folder, const Text& name) { return folder + "/" + name; }

Text NameClaims::claim(const Text& folder, const Text& base, const Text& address) {
  Text fitted = fit_file_base(base, max_base_bytes());
  if (fitted.empty()) fitted = "未命名视频"_t;
  std::lock_guard lock(mutex_);
  for (int n = 1;; ++n) {
    // Past " (999)" the counter is longer than the room kept for it: cut the base a little more.
    const Text counter = n == 1 ? Text() : " (" + std::to_string(n) + ")";
    const std::size_t room = kNameLimit - kExtensionBytes - temporary_suffix_bytes - counter.size();
    const Text name = (counter.size() > kCounterBytes ? fit_file_base(fitted, room) : fitted) + counter + ".mp4";
    auto [it, inserted] = owner_of_path_.try_emplace(join_path(folder, name), address);
    if (inserted || it->second == address) return name;
  }
}

}  // namespace kestrano
