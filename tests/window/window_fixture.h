#pragma once
// What the widget tests share: a private home directory (so the desktop folder is known), the real
// main window with its bridge, and a way to act on a modal dialog once it shows.

#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "app/window_bridge.h"
#include "app/window_hooks.h"

namespace kestrano::test {

// A fresh HOME with no desktop configuration, set before the application starts: the desktop is then
// $HOME/Desktop.
class TestHome {
 public:
  TestHome();
  QString path() const { return dir_.path(); }
  QString desktop() const { return dir_.path() + "/Desktop"; }

 private:
  QTemporaryDir dir_;
};

// The real window as the program opens it, with its settings file in a directory of its own.
class OpenWindow {
 public:
  explicit OpenWindow(WindowHooks hooks = {}, std::filesystem::path settings_file = {});
  ~OpenWindow();

  MainWindow& window() { return *window_; }
  WindowBridge& bridge() { return bridge_; }
  const std::filesystem::path& settings_file() const { return settings_file_; }
  template <typename Widget>
  Widget* find(const char* name) {
    return window_->findChild<Widget*>(QString::fromUtf8(name));
  }
  // Closes and destroys the window, as the end of the program does.
  void close_and_destroy();

 private:
  QTemporaryDir dir_;
  std::filesystem::path settings_file_;
  WindowBridge bridge_;
  std::unique_ptr<MainWindow> window_;
};

// Calls `act` with the first modal widget of type T, once one is active; gives up after `limit_ms`.
template <typename T>
void when_modal(std::function<void(T*)> act, int limit_ms = 10000) {
  auto* timer = new QTimer(qApp);
  auto* clock = new QElapsedTimer;
  clock->start();
  QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, act, limit_ms] {
    T* found = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!found && clock->elapsed() < limit_ms) return;
    timer->stop();
    timer->deleteLater();
    delete clock;
    if (found) act(found);
  });
  timer->start(10);
}

// The settings file's bytes.
std::string file_bytes(const std::filesystem::path& file);
void write_file(const std::filesystem::path& file, const std::string& bytes);

}  // namespace kestrano::test
