#pragma once
// Character-set conversion and Base64, the bridges between the service's UTF-8 answers, the system's
// GBK texts and the Base64 form in which the results list keeps play addresses.

#include <optional>

#include "text/text.h"

namespace kestrano {

// Decodes `data` from `from_charset`, narrows it to code page 936 (characters it cannot hold become
// "?", whatever the target), and encodes it in `to_charset`. Empty names mean "UTF-8" and "GBK"; "GBK"
// and "CP936" are the Windows code page 936 table. `skip_bytes` drops that many bytes from the front of
// the result. An unknown charset name gives empty Bytes.
Bytes convert_charset(const Bytes& data, const Text& from_charset = {}, const Text& to_charset = {},
                      std::optional<int> skip_bytes = std::nullopt);

// Standard alphabet with "=" padding, one line.
Text base64_encode(const Bytes& data);
// Input that is not valid Base64 gives empty Bytes.
Bytes base64_decode(const Bytes& data);

}  // namespace kestrano
