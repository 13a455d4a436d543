#pragma once
// The window's commands whose work lives outside the window (the collection and the downloads). The
// program plugs them in when it opens the window; an empty hook makes its command do nothing.

#include <functional>

namespace kestrano {

struct WindowHooks {
  std::function<void()> extract_click;      // 按钮_提取视频 clicked, or Enter pressed in the window
  std::function<void()> download_selected;  // 菜单: "下载选中视频"
  std::function<void()> download_all;       // 菜单: "下载全部视频"
  // The window has begun to close: bridge calls already return at once. Stop and await the work here.
  std::function<void()> closing;
};

}  // namespace kestrano
