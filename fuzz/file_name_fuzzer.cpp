// Video titles come from the service and become file names: the sanitizer, the cut to the file
// system's limit and the claimed name must hold for any title.

#include <algorithm>

#include "download/file_name.h"
#include "download/file_transfer.h"
#include "download/name_claims.h"
#include "fuzz_support.h"

using namespace kestrano;
using fuzz::check;

namespace {

// What the sanitizer takes out as single-byte characters; none of them may be left in a name.
constexpr std::string_view kRemoved = "_ \\/|:?*<>\"#@!~-\t\r\n";

Text sanitize(const Text& title, bool valid_gbk) {
  Text variable = title;
  const Text name = sanitize_file_name(variable);
  check(variable == name, "the caller's title holds the result", title);
  // Longer than 200 bytes means more than 100 characters; 100 characters take at most 200 bytes.
  check(name.size() <= 200, "a sanitized name is at most 200 bytes", title);
  if (title.size() <= 200) check(name.size() <= title.size(), "a short title only loses characters", title);
  if (!valid_gbk) return name;
  // Bytes that are not code page 936 come back from the regular-expression steps as "?": only texts
  // that entered through a conversion are free of them, and titles always do.
  check(!fuzz::has_single_byte_char(name, kRemoved), "no removed character is left", name);
  check(fuzz::canonical_gbk(name) == name, "a valid title gives a valid name", title);
  return name;
}

bool is_subsequence(std::string_view part, std::string_view whole) {
  std::size_t at = 0;
  for (char c : part) {
    at = whole.find(c, at);
    if (at == std::string_view::npos) return false;
    ++at;
  }
  return true;
}

void fit(const Text& base, std::size_t limit, bool valid_gbk) {
  const Text fitted = fit_file_base(base, limit);
  check(utf8_from_gbk(fitted).size() <= limit, "fit_file_base keeps within the byte limit", base);
  check(std::none_of(fitted.begin(), fitted.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }),
        "fit_file_base leaves no control character", base);
  check(utf8_from_gbk(fitted).find('/') == std::string::npos, "fit_file_base leaves no path separator", base);
  check(is_subsequence(fitted, base), "fit_file_base only removes", base);
  if (!valid_gbk) return;
  Text expected_prefix;
  fuzz::for_each_char(base, [&](std::size_t i, std::size_t width) {
    auto c = static_cast<unsigned char>(base[i]);
    if (!(width == 1 && (c < 0x20 || c == 0x7F || c == '/'))) expected_prefix.append(base, i, width);
  });
  check(expected_prefix.compare(0, fitted.size(), fitted) == 0 && fuzz::canonical_gbk(fitted) == fitted,
        "fit_file_base gives the base without control characters and slashes, cut at a character", base);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::bytes_view(data, size);
  const Text raw = fuzz::text_of(bytes);
  const Text valid = fuzz::canonical_gbk(bytes);

  sanitize(raw, false);
  const Text base = sanitize(valid, true);

  const std::size_t limit = size == 0 ? 0 : data[0];
  fit(raw, limit, false);
  fit(valid, limit, true);
  fit(raw, NameClaims::max_base_bytes(), false);

  // Two videos with the same title: the second gets a counter, and both names fit the file system
  // together with the temporary suffix of a running download.
  NameClaims claims;
  const Text first = claims.claim("/videos", base, "http://a/1.mp4");
  const Text second = claims.claim("/videos", base, "http://a/2.mp4");
  check(first != second, "two addresses never share a name", first);
  check(claims.claim("/videos", base, "http://a/1.mp4") == first, "the same address keeps its name", first);
  for (const Text& name : {first, second}) {
    check(utf8_from_gbk(name).size() + temporary_suffix_bytes <= 255, "a claimed name fits in 255 bytes", name);
    check(name.size() > 4 && name.compare(name.size() - 4, 4, ".mp4") == 0, "a claimed name ends in .mp4", name);
  }
  return 0;
}
