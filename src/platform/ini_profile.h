#pragma once
// The private-profile (INI) semantics the settings rely on, as pure functions of the file's text (code
// page 936 bytes), so the reading and the rewriting can be tested and fuzzed without a file.
//
// Lines end in LF or CR LF. A line whose first non-blank character is "[" opens a section named by the
// text up to "]". Inside a section, a line with "=" holds a key (before the first "=") and a value (after
// it); both are trimmed of spaces and tabs. Section and key names match ignoring ASCII case. When a
// section or a key occurs twice, the first one counts, for reading and for writing alike.

#include <cstddef>
#include <string_view>

#include "text/text.h"

namespace kestrano {

// The longest value a read yields, in bytes (a 10,240-byte buffer with its terminating zero).
inline constexpr std::size_t profile_value_limit = 10239;

// The value of `key` in `section`, or empty text when the section or the key is missing. A value
// enclosed in matching single or double quotes loses them. A longer value is cut at
// `profile_value_limit` bytes, never inside a double-byte character.
Text read_profile_string(std::string_view file_text, std::string_view section, std::string_view key);

// The file's text with `key` in `section` set to `value`: the key's line is rewritten in place, a
// missing key is added after the last non-blank line of its section, a missing section is appended at
// the end. Every other line is kept byte for byte. The value ends at its first line break, so no value
// can add lines of its own to the file. `section` and `key` are the program's own names.
Text write_profile_string(std::string_view file_text, std::string_view section, std::string_view key,
                          std::string_view value);

}  // namespace kestrano
