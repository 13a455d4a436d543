#include "app/program_entry.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "app/font_warmup.h"
#include "app/main_window.h"
#include "app/program.h"
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

// The bridge must exist before the globals, whose pool pumps through it.
WindowBridge& with_globals(WindowBridge& bridge) {
  create_globals(bridge);
  return bridge;
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

Program::ExitRoutine::~ExitRoutine() { release_globals(); }

Program::Program(ProgramOptions options)
    : collector_(with_globals(bridge_)),
      downloads_(bridge_, *g_pool, default_output_folder(), std::move(options.transfer)),
      window_(open_main_window(bridge_, window_hooks(collector_, downloads_), options.settings_file)) {}

Program::~Program() {
  if (window_) window_->close();  // runs the closing hook: the collector and the downloads stop
  bridge_.begin_closing();
  window_.reset();  // saves the output folder
  // The closing hook has given every thread its time. A transfer that still has not ended (a file
  // system that hangs a write, say) would use the jobs and the globals after they are gone: rather
  // than risk that, the process ends here, its settings saved and no file under a final name partial.
  if (!collector_.shutdown(std::chrono::seconds(1)) || !downloads_.shutdown(std::chrono::seconds(1))) {
    std::fflush(nullptr);
    std::_Exit(0);
  }
}

int program_entry(int argc, char** argv) {
  FontWarmup fonts;  // on another core while QApplication starts
  QApplication application(argc, argv);
  fonts.wait();
  // libcurl (and OpenSSL, GnuTLS and the rest it brings) is loaded and set up at the first transfer:
  // every user of libcurl runs ensure_curl_global_init once before its first call, and a window that
  // never downloads never pays their start-up time and memory.
  // Decided once: every read and write of this run goes to the same file.
  Program program({settings_file_path(), {}});
  QApplication::exec();
  return 0;
}

}  // namespace kestrano
