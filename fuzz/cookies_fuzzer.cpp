// merge_cookies folds what a response set into the cookie text the next request sends.
// Input: the old cookie text, a line feed, the new cookies.

#include <algorithm>

#include "fuzz_support.h"
#include "web/cookies.h"

using namespace kestrano;
using fuzz::check;

namespace {

std::vector<std::string_view> byte_split(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> out;
  while (!text.empty()) {
    std::size_t at = text.find(separator);
    out.push_back(text.substr(0, at));
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + separator.size());
  }
  return out;
}

void merge(const Text& old_cookies, const Text& new_cookies, bool valid_gbk) {
  Text cookies = old_cookies;
  const Text merged = merge_cookies(cookies, new_cookies);
  check(cookies == merged, "the caller's cookies hold the result", merged);
  if (!valid_gbk) return;

  // What the next request's Cookie header carries, as the server splits it.
  const Text given = remove_spaces(new_cookies) + ";" + remove_spaces(old_cookies);
  const std::vector<std::string_view> sources = byte_split(given, ";");
  std::vector<std::string_view> seen;
  for (std::string_view entry : byte_split(merged, "; ")) {
    check(entry.find(' ') == std::string_view::npos && !fuzz::occurs_at_boundary(entry, "\xA1\xA1"),
          "no entry holds a space", merged);
    check(!(entry.size() >= 8 && entry.substr(entry.size() - 8) == "=deleted"), "no deletion is written", merged);
    check(std::find(seen.begin(), seen.end(), entry) == seen.end(), "no entry is written twice", merged);
    check(std::find(sources.begin(), sources.end(), entry) != sources.end(),
          "every entry comes from the old or the new cookies", merged);
    seen.push_back(entry);
  }

  // A cookie the response set wins over an older one of that name, unless the response set the very
  // same entry.
  const Text new_text = remove_spaces(new_cookies);
  const Text old_text = remove_spaces(old_cookies);
  const auto new_entries = byte_split(new_text, ";");
  for (std::string_view old_entry : byte_split(old_text, ";")) {
    const Text name = cookie_name(Text(old_entry));
    const bool replaced = std::any_of(new_entries.begin(), new_entries.end(),
                                      [&](std::string_view entry) { return cookie_name(Text(entry)) == name; });
    const bool set_again = std::find(new_entries.begin(), new_entries.end(), old_entry) != new_entries.end();
    if (replaced && !set_again) {
      check(std::find(seen.begin(), seen.end(), old_entry) == seen.end(),
            "an old cookie the response set again is dropped", merged);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::pieces(fuzz::bytes_view(data, size), "\n", 2);
  merge(fuzz::text_of(parts[0]), fuzz::text_of(parts[1]), false);
  merge(fuzz::canonical_gbk(parts[0]), fuzz::canonical_gbk(parts[1]), true);

  // Read again, what remove_duplicates gives holds each piece once (an empty last piece is not read back).
  const Text unique = remove_duplicates(fuzz::canonical_gbk(parts[1]), ";");
  const std::vector<Text> kept = split(unique, ";");
  for (std::size_t i = 0; i < kept.size(); ++i) {
    check(std::find(kept.begin() + static_cast<std::ptrdiff_t>(i) + 1, kept.end(), kept[i]) == kept.end(),
          "remove_duplicates keeps each piece once", unique);
  }
  return 0;
}
