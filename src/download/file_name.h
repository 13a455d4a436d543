#pragma once
// The base name a video is saved under, made from its title.

#include "text/text.h"

namespace kestrano {

// Removes what file names may not hold, a fixed set of other punctuation, line breaks, tabs and the
// service's mention markers ({uid123,nick...}), and cuts a title longer than 200 bytes to its first 100
// characters. Returns the name; `title` holds the same text on return. The result may be empty.
Text sanitize_file_name(Text& title);

}  // namespace kestrano
