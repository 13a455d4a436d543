#include "web/cookies.h"

#include <algorithm>

namespace kestrano {

Text cookie_name(const Text& entry) {
  auto eq = entry.find('=');
  return trim(eq == Text::npos ? std::string_view(entry) : std::string_view(entry).substr(0, eq));
}

Text remove_duplicates(const Text& text, const Text& separator) {
  std::vector<Text> kept;
  for (auto& piece : split(text, separator)) {
    if (std::find(kept.begin(), kept.end(), piece) == kept.end()) kept.push_back(std::move(piece));
  }
  return join(kept, separator);
}

Text merge_cookies(Text& cookies, const Text& new_cookies) {
  std::vector<Text> merged = split(remove_spaces(new_cookies), ";");
  const std::vector<Text> old_entries = split(remove_spaces(cookies), ";");

  // The check sees old entries appended before it, so of two old entries with one name the first wins.
  for (const Text& old_entry : old_entries) {
    const Text name = cookie_name(old_entry);
    bool present = std::any_of(merged.begin(), merged.end(),
                               [&](const Text& entry) { return cookie_name(entry) == name; });
    if (!present) merged.push_back(old_entry);
  }

  static const std::string_view kDeleted = "=deleted";
  std::vector<Text> written;
  for (const Text& entry : merged) {
    bool deletion = entry.size() >= kDeleted.size() &&
                    entry.compare(entry.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0;
    if (!deletion) written.push_back(entry);
  }
  cookies = remove_duplicates(join(written, "; "), "; ");
  return cookies;
}

}  // namespace kestrano
