#include "running_program.h"

#include <QAction>
#include <QPushButton>

#include "app/main_window.h"
#include "app/qt_text.h"
#include "app/results_model.h"
#include "collect/share_link.h"
#include "collect/works_collector.h"
#include "event_wait.h"
#include "text/codepage.h"

namespace kestrano::bench {

void prepare_environment(const std::filesystem::path& home) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::filesystem::create_directories(home / "Desktop");
  qputenv("HOME", home.string().c_str());
  qputenv("XDG_CONFIG_HOME", (home / ".config").string().c_str());
  const auto runtime = home / "runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  qputenv("XDG_RUNTIME_DIR", runtime.string().c_str());
}

RunningProgram::RunningProgram(const std::filesystem::path& folder, TransferOptions transfer) {
  program_ = std::make_unique<Program>(ProgramOptions{folder / "配置文件.ini", std::move(transfer)});
  extract_button_ = program_->window().findChild<QPushButton*>(QStringLiteral("按钮_提取视频"));
}

RunningProgram::~RunningProgram() = default;

MainWindow& RunningProgram::window() { return program_->window(); }
ResultsModel& RunningProgram::results() { return program_->window().results(); }

void RunningProgram::set_author(const std::string& author_id) {
  Text link = sample_share_link();
  const Text sample_id = "Kq3vT8nWx2LcZp5RbY7hGd";
  link.replace(link.find(sample_id), sample_id.size(), author_id);
  window().set_control_text(Control::author_link, link);
}

void RunningProgram::set_output_folder(const std::filesystem::path& folder) {
  window().set_control_text(Control::output_folder, gbk_from_utf8(folder.string()));
}

void RunningProgram::click_extract() { extract_button_->click(); }

bool RunningProgram::collection_done() {
  return !program_->collector().running() && extract_button_->text() == qstring_from_text(caption_start()) &&
         results().rowCount() == results().row_count();
}

double RunningProgram::collect(std::chrono::seconds limit) {
  const auto start = std::chrono::steady_clock::now();
  click_extract();
  if (!wait_until([this] { return collection_done(); }, limit)) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunningProgram::download_all() { window().context_menu().download_all->trigger(); }

int RunningProgram::rows_with_status(const Text& status) {
  int n = 0;
  for (int row = 0; row < results().row_count(); ++row) n += results().cell(row, col_status) == status;
  return n;
}

}  // namespace kestrano::bench
