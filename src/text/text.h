#pragma once
// The text value of the system: bytes in code page 936 (GBK), with the operations every module uses.
// Positions are 1-based and -1 means "not found". Searches are byte-wise but never start a match on the
// trail byte of a double-byte character, so a GBK text can never be matched across a character boundary.

#include <string>
#include <string_view>
#include <vector>

namespace kestrano {

// GBK bytes with no NUL inside; a missing text equals the empty text.
using Text = std::string;
// A length-counted byte buffer; may hold zero bytes.
using Bytes = std::vector<unsigned char>;

Bytes to_bytes(std::string_view text);
// Stops at the first zero byte, as a text ends there.
Text to_text(const Bytes& bytes);

// True for a byte that opens a double-byte character in code page 936.
constexpr bool is_lead_byte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

struct Search {
  int start = 1;             // 1-based position to search from
  bool ignore_case = false;  // folds ASCII letters of single-byte characters only
};

// Position of the first occurrence of `what` at or after `options.start`, or -1.
int find(std::string_view text, std::string_view what, Search options = {});
// Position of the last occurrence of `what`, or -1.
int find_last(std::string_view text, std::string_view what, bool ignore_case = false);
bool contains(std::string_view text, std::string_view what, bool ignore_case = false);

// Replaces every occurrence in one left-to-right pass; inserted text is never re-examined.
Text replace_all(std::string_view text, std::string_view what, std::string_view with,
                 bool ignore_case = false);

// Empty pieces between two separators are kept; a final separator gives no empty last piece; an empty
// text gives no pieces.
std::vector<Text> split(std::string_view text, std::string_view separator);
Text join(const std::vector<Text>& pieces, std::string_view separator);

// ASCII space and the ideographic space (A1 A1) are the only blanks.
Text trim(std::string_view text);
Text remove_spaces(std::string_view text);

// A count of 0 or less gives the empty text; a count past the end gives the whole text.
Text left(std::string_view text, int count);
Text right(std::string_view text, int count);

// "#引号" is the system's written form of a double quote inside markers and patterns.
Text expand_quote_marker(std::string_view text);

}  // namespace kestrano
