#pragma once
// The caption of the main window, set before the window opens and released at exit.

#include "text/text.h"

namespace kestrano {

extern Text g_window_title;

}  // namespace kestrano
