#pragma once
// Private-profile strings kept in a file on disk: the file-system half of ini_profile.h.

#include <filesystem>
#include <string_view>

#include "text/text.h"

namespace kestrano {

// Empty text when the file cannot be read or lacks the section or the key.
Text read_profile_value(const std::filesystem::path& file, std::string_view section, std::string_view key);

// Creates the file and its folder as needed. The new content is written beside the file and then
// renamed over it, so a failed write leaves the old file whole. False when the file cannot be written.
bool write_profile_value(const std::filesystem::path& file, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace kestrano
