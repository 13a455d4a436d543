// The form of main_window: every control at its place in the client area, with its text, font and
// settings.

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <limits>

#include "app/background_shape.h"
#include "app/fonts.h"
#include "app/integer_edit.h"
#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/results_model.h"
#include "app/results_view.h"
#include "app/window_drag.h"
#include "collect/share_link.h"

namespace kestrano {
namespace {

template <typename Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height, const QFont& font) {
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(left, top, width, height);
  widget->setFont(font);
  return widget;
}

QLabel* label(const char* name, const char* text, QWidget* parent, int left, int top, int width, int height) {
  auto* l = place(new QLabel(QString::fromUtf8(text), parent), name, left, top, width, height, yahei_font());
  l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  l->setWordWrap(false);
  l->setFrameShape(QFrame::NoFrame);
  QPalette colours = l->palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  l->setPalette(colours);
  return l;
}

QLineEdit* edit_box(QLineEdit* edit, const char* name, int left, int top, int width, int height) {
  place(edit, name, left, top, width, height, verdana_font());
  edit->setFrame(true);
  edit->setMaxLength(std::numeric_limits<int>::max());  // the form's edit boxes have no length limit
  edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QPalette colours = edit->palette();
  colours.setColor(QPalette::Base, Qt::white);
  colours.setColor(QPalette::Text, Qt::black);
  edit->setPalette(colours);
  return edit;
}

QGroupBox* group_box(const char* name, const char* caption, QWidget* parent, int left, int top, int width, int height) {
  auto* g = place(new QGroupBox(QString::fromUtf8(caption), parent), name, left, top, width, height, yahei_font());
  QPalette colours = g->palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  g->setPalette(colours);
  return g;
}

}  // namespace

void MainWindow::build_form() {
  setObjectName(QStringLiteral("main_window"));
  // A fixed frame with a title bar, the system menu, minimise and close, but no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(client_width, client_height);

  background_ = place(new BackgroundShape(this), "外形框_底图", 0, 0, client_width, client_height, QFont());
  control_group_ = group_box("分组框1", "控制面板", background_, 8, 8, 850, 110);
  list_group_ = group_box("分组框2", "视频列表/双击播放预览视频/鼠标右键下载", background_, 8, 122, 850, 442);

  link_label_ = label("标签1", "作者主页链接：", control_group_, 12, 28, 80, 24);
  link_edit_ = edit_box(new QLineEdit(control_group_), "编辑框_作者链接", 94, 30, 744, 20);
  link_edit_->setText(qstring_from_text(sample_share_link()));
  link_edit_->setCursorPosition(0);

  folder_label_ = label("标签3", "输出文件位置：", control_group_, 12, 62, 80, 24);
  folder_edit_ = edit_box(new QLineEdit(control_group_), "编辑框_输出位置", 94, 64, 386, 20);
  folder_button_ = place(new QPushButton(QStringLiteral("选择"), control_group_), "按钮_输出位置", 480, 62, 34, 20, heiti_font());

  duration_check_ = place(new QCheckBox(QStringLiteral("时长控制"), control_group_), "选择框_时长控制", 528, 62, 68, 24,
                          yahei_font());
  duration_check_->setChecked(false);
  duration_edit_ = static_cast<IntegerEdit*>(
      edit_box(new IntegerEdit(control_group_), "编辑框_时长控制", 600, 64, 32, 20));
  duration_edit_->setAlignment(Qt::AlignCenter);
  seconds_label_ = label("标签2", "秒/以内", control_group_, 636, 62, 44, 24);

  extract_button_ = place(new QPushButton(QStringLiteral("提取视频"), control_group_), "按钮_提取视频", 702, 62, 136, 24,
                          yahei_font());
  // Enter reaches the button through the window's key handling, whichever control has the focus.
  extract_button_->setAutoDefault(false);
  folder_button_->setAutoDefault(false);

  model_ = new ResultsModel(this);
  view_ = place(new ResultsView(*model_, list_group_), "超级列表框1", 8, 20, 834, 412, yahei_font());

  menu_ = build_context_menu(this);

  setTabOrder(link_edit_, folder_edit_);
  setTabOrder(folder_edit_, folder_button_);
  setTabOrder(folder_button_, duration_check_);
  setTabOrder(duration_check_, duration_edit_);
  setTabOrder(duration_edit_, extract_button_);
  setTabOrder(extract_button_, view_);
  link_edit_->setFocus();

  auto* drag = new WindowDrag(this);
  for (QWidget* surface : {static_cast<QWidget*>(this), background_, static_cast<QWidget*>(control_group_),
                           static_cast<QWidget*>(list_group_), static_cast<QWidget*>(link_label_),
                           static_cast<QWidget*>(folder_label_), static_cast<QWidget*>(seconds_label_)}) {
    drag->watch(surface);
  }

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - outer_width) / 2, area.y() + (area.height() - outer_height) / 2);
  }
}

}  // namespace kestrano
