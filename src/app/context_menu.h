#pragma once
// 菜单, the list's context menu. The texts after the tab are shown as shortcuts but bound to no key:
// Ctrl+A to Ctrl+D keep their ordinary meaning in the edit boxes.

#include <QMenu>

namespace kestrano {

struct ContextMenu {
  QMenu* menu = nullptr;
  QAction* download_selected = nullptr;  // "下载选中视频"
  QAction* download_all = nullptr;       // "下载全部视频"
  QAction* delete_selected = nullptr;    // "删除选中视频"
  QAction* delete_all = nullptr;         // "删除全部视频"
};

ContextMenu build_context_menu(QWidget* owner);

}  // namespace kestrano
