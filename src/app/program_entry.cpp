#include "app/program_entry.h"

#include <QApplication>

#include "app/main_window.h"
#include "app/window_bridge.h"
#include "app/window_title.h"
#include "collect/collection_globals.h"
#include "download/download_globals.h"
#include "download/thread_pool.h"
#include "platform/settings_location.h"
#include "text/codepage.h"

namespace kestrano {
namespace {

// release_globals runs exactly once on the way out, however the loop ended.
class ExitRoutine {
 public:
  ExitRoutine() = default;
  ~ExitRoutine() { release_globals(); }
  ExitRoutine(const ExitRoutine&) = delete;
  ExitRoutine& operator=(const ExitRoutine&) = delete;
};

// The collection and the download commands plug in here.
WindowHooks window_hooks(WindowPort&) { return {}; }

}  // namespace

void create_globals(WindowPort& window) {
  g_seen_video_ids = std::make_unique<std::set<Text>>();
  g_pool = std::make_unique<ThreadPool>();
  g_pool->set_message_pump([&window] { window.pump_if_input(); });
}

void release_globals() {
  g_window_title = Text();
  g_seen_video_ids.reset();
  g_output_folder = Text();
  g_pool.reset();
}

std::unique_ptr<MainWindow> open_main_window(WindowBridge& bridge, WindowHooks hooks,
                                             const std::filesystem::path& settings_file) {
  g_window_title = "Kestrano"_t;
  auto window = std::make_unique<MainWindow>(bridge, std::move(hooks), settings_file);
  window->show();
  return window;
}

int program_entry(int argc, char** argv) {
  QApplication application(argc, argv);
  // The bridge outlives the window and the pool, whose pumped waits and threads use it.
  WindowBridge bridge;
  create_globals(bridge);
  ExitRoutine exit_routine;
  // Decided once: every read and write of this run goes to the same file.
  auto window = open_main_window(bridge, window_hooks(bridge), settings_file_path());
  QApplication::exec();
  bridge.begin_closing();
  window.reset();
  return 0;
}

}  // namespace kestrano
