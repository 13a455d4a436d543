#include "app/font_warmup.h"

#include <fontconfig/fontconfig.h>

namespace kestrano {

FontWarmup::FontWarmup() : thread_([] { FcInit(); }) {}

FontWarmup::~FontWarmup() { wait(); }

void FontWarmup::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace kestrano
