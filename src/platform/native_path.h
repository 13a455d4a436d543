#pragma once
// The one crossing from the system's texts to the file system's names. Paths are composed as texts in
// code page 936 with "\" between folders; the file system here takes UTF-8 names and "/".

#include <filesystem>
#include <string_view>

#include "text/text.h"

namespace kestrano {

// The path a text names: converted to UTF-8, each "\" character (never the trail byte of a GBK
// character) turned into "/".
std::filesystem::path native_path(std::string_view text);

// True when the folder text names a file-system root, "/" or a drive root such as "D:\": its last
// character (not its last byte, which may be the trail byte of a GBK character) is a separator.
bool is_root_folder(std::string_view folder);

}  // namespace kestrano
