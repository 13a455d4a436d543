#pragma once
// Reading fontconfig's configuration (some eighty XML files and the font caches) is the larger part of
// the first text the window draws. It does not need Qt, so it can run on another core while
// QApplication connects to the display and loads its plugins.

#include <thread>

namespace kestrano {

class FontWarmup {
 public:
  FontWarmup();
  ~FontWarmup();
  FontWarmup(const FontWarmup&) = delete;
  FontWarmup& operator=(const FontWarmup&) = delete;

  // Returns once the configuration is loaded. Call it before the first font is asked for: fontconfig
  // does not wait for a load in progress, it would load a second copy.
  void wait();

 private:
  std::thread thread_;
};

}  // namespace kestrano
