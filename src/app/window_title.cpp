#include "app/window_title.h"

namespace kestrano {

Text g_window_title;

}  // namespace kestrano
