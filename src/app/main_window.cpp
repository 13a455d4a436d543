#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <mutex>
#include <string>

#include "app/integer_edit.h"
#include "app/message_box.h"
#include "app/output_folder.h"
#include "app/qt_text.h"
#include "app/results_model.h"
#include "app/results_view.h"
#include "app/shell_open.h"
#include "app/window_bridge.h"
#include "app/window_title.h"
#include "download/download_globals.h"
#include "platform/native_path.h"
#include "web/encoding.h"

namespace kestrano {
namespace {

const QColor duration_enabled_colour(0xFF, 0xFF, 0xFF);
const QColor duration_disabled_colour(0xEC, 0xEC, 0xEC);

}  // namespace

MainWindow::MainWindow(WindowBridge& bridge, WindowHooks hooks, std::filesystem::path settings_file)
    : bridge_(bridge), hooks_(std::move(hooks)), settings_file_(std::move(settings_file)) {
  build_form();
  bind_events();
  bridge_.attach(this);
  on_main_window_created();
}

MainWindow::~MainWindow() {
  // A window that goes without a close is closed all the same for the threads that use it.
  bridge_.begin_closing();
  on_main_window_destroyed();
  bridge_.attach(nullptr);
}

void MainWindow::bind_events() {
  connect(extract_button_, &QPushButton::clicked, this, [this] {
    if (hooks_.extract_click) hooks_.extract_click();
  });
  connect(folder_button_, &QPushButton::clicked, this, [this] { on_output_button_click(); });
  connect(duration_check_, &QCheckBox::clicked, this, [this] { on_duration_check_click(); });
  connect(view_, &ResultsView::right_clicked, this, [this] { on_list_right_click(); });
  connect(view_, &ResultsView::double_clicked, this, [this] { on_list_double_click(); });
  connect(menu_.download_selected, &QAction::triggered, this, [this] {
    if (hooks_.download_selected) hooks_.download_selected();
  });
  connect(menu_.download_all, &QAction::triggered, this, [this] {
    if (hooks_.download_all) hooks_.download_all();
  });
  connect(menu_.delete_selected, &QAction::triggered, this, [this] { delete_selected_row(); });
  connect(menu_.delete_all, &QAction::triggered, this, [this] { delete_all_rows(); });
}

QWidget* MainWindow::control(Control c) const {
  switch (c) {
    case Control::author_link: return link_edit_;
    case Control::output_folder: return folder_edit_;
    case Control::duration_box: return duration_edit_;
    case Control::duration_check: return duration_check_;
    case Control::extract_button: return extract_button_;
  }
  return nullptr;
}

Text MainWindow::control_text(Control c) const {
  QWidget* w = control(c);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return text_from_qstring(edit->text());
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return text_from_qstring(button->text());
  return {};
}

bool MainWindow::control_text_fits_codepage(Control c) const {
  QWidget* w = control(c);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return gbk_can_hold(edit->text().toStdU16String());
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return gbk_can_hold(button->text().toStdU16String());
  return true;
}

void MainWindow::set_control_text(Control c, const Text& text) {
  // The caption of 按钮_提取视频 tells that a collection has ended: the list shows every row appended
  // so far before it does, not at its next batch.
  if (c == Control::extract_button) model_->show_pending_rows();
  QWidget* w = control(c);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(qstring_from_text(text));
  if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(qstring_from_text(text));
}

bool MainWindow::is_checked(Control c) const {
  auto* button = qobject_cast<QAbstractButton*>(control(c));
  return button && button->isChecked();
}

void MainWindow::show_message(const Text& text, const Text& title) {
  show_information(this, qstring_from_text(text), qstring_from_text(title));
}

void MainWindow::on_main_window_created() {
  setWindowTitle(qstring_from_text(g_window_title));
  set_duration_box_enabled(false);

  folder_edit_->setText(qstring_from_text(load_output_folder(settings_file_)));
  if (folder_edit_->text().isEmpty()) folder_edit_->setText(qstring_from_text(default_output_folder()));
  save_output_folder(settings_file_, text_from_qstring(folder_edit_->text()));

  // Never replaced: a download task may hold it.
  if (!g_table_lock) g_table_lock = std::make_unique<std::mutex>();
}

void MainWindow::on_main_window_destroyed() {
  save_output_folder(settings_file_, text_from_qstring(folder_edit_->text()));
}

void MainWindow::set_duration_box_enabled(bool enabled) {
  duration_edit_->setEnabled(enabled);
  QPalette colours = duration_edit_->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    colours.setColor(group, QPalette::Base, enabled ? duration_enabled_colour : duration_disabled_colour);
  duration_edit_->setPalette(colours);
}

void MainWindow::on_duration_check_click() {
  if (duration_check_->isChecked()) {
    set_duration_box_enabled(true);
  } else {
    set_duration_box_enabled(false);
    duration_edit_->clear();
  }
}

void MainWindow::on_output_button_click() {
  QWidget* owner = QApplication::activeWindow() ? QApplication::activeWindow() : this;
  const QString chosen = choose_folder(owner);
  // A cancelled chooser leaves the folder as it was.
  if (chosen.isEmpty()) return;
  const Text title = "温馨提示"_t;
  if (is_root_folder(text_from_qstring(chosen))) {
    show_message("输出位置只能设置在文件夹内，不能设置在顶级磁盘中"_t, title);
    return;
  }
  // The folder is kept as code page 936 text; a character that turned into "?" would send the
  // downloads to some other folder.
  if (!gbk_can_hold(chosen.toStdU16String())) {
    show_message("输出位置含有无法识别的字符，请选择其他文件夹"_t, title);
    return;
  }
  folder_edit_->setText(chosen);
}

void MainWindow::on_list_right_click() { menu_.menu->popup(QCursor::pos()); }

void MainWindow::on_list_double_click() {
  const int row = view_->current_selection();
  if (row < 0) return;
  const Text address = to_text(base64_decode(to_bytes(model_->cell(row, col_address))));
  open_with_shell(address);
}

void MainWindow::delete_selected_row() {
  const int row = view_->current_selection();
  if (row < 0) return;
  model_->delete_row(row);
  // Handlers that run inside the pump may delete more rows: writes past the end are ignored.
  const int count = model_->row_count();
  for (int i = 1; i <= count && !bridge_.closing(); ++i) {
    model_->set_cell(i - 1, col_order, std::to_string(i));
    bridge_.pump_if_input();
  }
}

void MainWindow::delete_all_rows() { model_->delete_all_rows(); }

void MainWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // The default button: every control of the form lets Enter through to here.
      extract_button_->click();
      event->accept();
      return;
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    menu_.menu->close();
    bridge_.begin_closing();
    if (hooks_.closing) hooks_.closing();
  }
  event->accept();
}

}  // namespace kestrano
