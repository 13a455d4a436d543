#pragma once
// main_window: the program's one window, its controls at their fixed places, and its handlers.
//
// Every method here runs on the UI thread. Other threads reach the controls through WindowBridge.

#include <QWidget>

#include <filesystem>

#include "app/context_menu.h"
#include "app/window_hooks.h"
#include "platform/window_port.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrano {

class IntegerEdit;
class ResultsModel;
class ResultsView;
class WindowBridge;

// The client area; the frame around it is the window manager's.
inline constexpr int client_width = 867;
inline constexpr int client_height = 573;
// The outer size the centring is computed for, frame included.
inline constexpr int outer_width = 872;
inline constexpr int outer_height = 600;

class MainWindow final : public QWidget {
 public:
  // Builds the form, attaches the window to `bridge` and runs the created handler, which reads the
  // output folder from `settings_file`. `bridge` must outlive the window.
  MainWindow(WindowBridge& bridge, WindowHooks hooks, std::filesystem::path settings_file);
  // Runs on_main_window_destroyed.
  ~MainWindow() override;

  // Control operations behind the bridge.
  Text control_text(Control control) const;
  // False when the control's text holds characters code page 936 cannot hold.
  bool control_text_fits_codepage(Control control) const;
  void set_control_text(Control control, const Text& text);
  bool is_checked(Control control) const;
  void show_message(const Text& text, const Text& title);
  ResultsModel& results() { return *model_; }
  ResultsView& results_view() { return *view_; }

  // Handlers.
  void on_main_window_created();
  void on_main_window_destroyed();
  void on_duration_check_click();
  void on_output_button_click();
  void on_list_right_click();
  void on_list_double_click();
  void delete_selected_row();
  void delete_all_rows();

  const ContextMenu& context_menu() const { return menu_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void build_form();
  void bind_events();
  void set_duration_box_enabled(bool enabled);
  QWidget* control(Control control) const;

  WindowBridge& bridge_;
  const WindowHooks hooks_;
  const std::filesystem::path settings_file_;

  ResultsModel* model_ = nullptr;
  QWidget* background_ = nullptr;       // 外形框_底图
  QGroupBox* control_group_ = nullptr;  // 分组框1
  QGroupBox* list_group_ = nullptr;     // 分组框2
  QLabel* link_label_ = nullptr;        // 标签1
  QLineEdit* link_edit_ = nullptr;      // 编辑框_作者链接
  QLabel* folder_label_ = nullptr;      // 标签3
  QLineEdit* folder_edit_ = nullptr;    // 编辑框_输出位置
  QPushButton* folder_button_ = nullptr;   // 按钮_输出位置
  QCheckBox* duration_check_ = nullptr;    // 选择框_时长控制
  IntegerEdit* duration_edit_ = nullptr;   // 编辑框_时长控制
  QLabel* seconds_label_ = nullptr;        // 标签2
  QPushButton* extract_button_ = nullptr;  // 按钮_提取视频
  ResultsView* view_ = nullptr;            // 超级列表框1
  ContextMenu menu_;                       // 菜单
  bool closed_ = false;
};

}  // namespace kestrano
