#pragma once
// Cookie texts carried from request to request: "name=value; name=value".

#include "text/text.h"

namespace kestrano {

// Folds the cookies one response set (`new_cookies`) into `cookies`: the new ones first, then the older
// ones the response did not set; "=deleted" entries vanish with the old cookie of that name. `cookies`
// receives the result, which is also returned.
Text merge_cookies(Text& cookies, const Text& new_cookies);

// The text before the first "=", trimmed; an entry without "=" is, trimmed, its own name.
Text cookie_name(const Text& entry);

// Keeps each piece only at its first exact occurrence.
Text remove_duplicates(const Text& text, const Text& separator);

}  // namespace kestrano
