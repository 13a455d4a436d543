#pragma once
// Conversions between code page 936 and Unicode. Every crossing between the system's GBK texts and the
// outside world (UTF-8 files and wire, UTF-16 widgets and regular expressions) goes through here.

#include <string>
#include <string_view>

#include "text/text.h"

namespace kestrano {

// UTF-8 -> GBK. Characters GBK cannot hold, and bytes that are not valid UTF-8, become "?".
Text gbk_from_utf8(std::string_view utf8);
// GBK -> UTF-8. A byte sequence that is not valid GBK becomes U+FFFD.
std::string utf8_from_gbk(std::string_view gbk);

std::u16string utf16_from_gbk(std::string_view gbk);
// UTF-16 -> GBK; characters GBK cannot hold (and lone surrogates) become "?".
Text gbk_from_utf16(std::u16string_view utf16);

// True when every character of the UTF-16 text survives a round trip through GBK.
bool gbk_can_hold(std::u16string_view utf16);

// The system's own texts are UTF-8 literals in the source: "提取视频"_t gives their GBK form.
Text operator""_t(const char* utf8, std::size_t length);

}  // namespace kestrano
