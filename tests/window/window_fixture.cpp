#include "window_fixture.h"

#include <QTest>

#include <fstream>
#include <iterator>

#include "app/program_entry.h"

namespace kestrano::test {

TestHome::TestHome() {
  qputenv("HOME", dir_.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (dir_.path() + "/.config").toUtf8());
  const QString runtime = dir_.path() + "/runtime";
  std::filesystem::create_directories(runtime.toStdString());
  std::filesystem::permissions(runtime.toStdString(), std::filesystem::perms::owner_all);
  qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
}

OpenWindow::OpenWindow(WindowHooks hooks, std::filesystem::path settings_file)
    : settings_file_(settings_file.empty() ? std::filesystem::path(dir_.path().toStdString()) / "配置文件.ini"
                                           : std::move(settings_file)) {
  window_ = open_main_window(bridge_, std::move(hooks), settings_file_);
  QApplication::setActiveWindow(window_.get());
  if (!QTest::qWaitForWindowActive(window_.get())) qWarning("the window did not become active");
}

OpenWindow::~OpenWindow() {
  if (window_) close_and_destroy();
}

void OpenWindow::close_and_destroy() {
  window_->close();
  window_.reset();
}

std::string file_bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kestrano::test
