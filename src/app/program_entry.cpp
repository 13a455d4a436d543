#include "app/program_entry.h"

#include <QApplication>

#include "app/main_window.h"
#include "app/output_folder.h"
#include "app/window_bridge.h"
#include "app/window_title.h"
#include "collect/collection_globals.h"
#include "collect/works_collector.h"
#include "download/download_globals.h"
#include "download/download_jobs.h"
#include "download/thread_pool.h"
#include "web/curl_global.h"
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

// The close stops the collection and the downloads and waits for their threads, so nothing uses the
// window or the globals after it; all of it together is bounded by this.
constexpr std::chrono::seconds kCloseLimit{4};

WindowHooks window_hooks(WorksCollector& collector, DownloadJobs& downloads) {
  WindowHooks hooks;
  hooks.extract_click = [&collector] { collector.on_extract_button_click(); };
  hooks.download_selected = [&downloads] { downloads.download_selected(); };
  hooks.download_all = [&downloads] { downloads.download_all(); };
  hooks.closing = [&collector, &downloads] {
    const auto deadline = std::chrono::steady_clock::now() + kCloseLimit;
    g_stop_requested = 1;
    downloads.shutdown(std::chrono::milliseconds(0));  // aborts the transfers at once, in parallel
    collector.shutdown(kCloseLimit);
    downloads.shutdown(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
  };
  return hooks;
}

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
  // libcurl's global set-up must come before any thread that makes a transfer.
  ensure_curl_global_init();
  // The bridge outlives the window and the pool, whose pumped waits and threads use it.
  WindowBridge bridge;
  create_globals(bridge);
  ExitRoutine exit_routine;
  // Declared after the exit routine, so both have ended their threads before the globals go.
  WorksCollector collector(bridge);
  DownloadJobs downloads(bridge, *g_pool, default_output_folder());
  // Decided once: every read and write of this run goes to the same file.
  auto window = open_main_window(bridge, window_hooks(collector, downloads), settings_file_path());
  QApplication::exec();
  bridge.begin_closing();
  window.reset();
  return 0;
}

}  // namespace kestrano
