#include "app/context_menu.h"

#include "app/fonts.h"

namespace kestrano {

ContextMenu build_context_menu(QWidget* owner) {
  ContextMenu m;
  m.menu = new QMenu(owner);
  m.menu->setObjectName(QStringLiteral("菜单"));
  m.menu->setFont(yahei_font());
  // The form has two separators side by side; Qt would fold them into one.
  m.menu->setSeparatorsCollapsible(false);
  m.download_selected = m.menu->addAction(QStringLiteral("下载选中视频\tCtrl+A"));
  m.download_all = m.menu->addAction(QStringLiteral("下载全部视频\tCtrl+B"));
  m.menu->addSeparator();
  m.menu->addSeparator();
  m.delete_selected = m.menu->addAction(QStringLiteral("删除选中视频\tCtrl+C"));
  m.delete_all = m.menu->addAction(QStringLiteral("删除全部视频\tCtrl+D"));
  return m;
}

}  // namespace kestrano
