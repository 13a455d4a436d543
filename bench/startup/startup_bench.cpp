// bench/startup: from the start of the process to its window shown (mapped on the X server), and the
// resident memory of the window once idle. Baseline in the same run: a bare Qt window (bench_bare_window)
// started the same way. Both run against the X server named by DISPLAY (bench/run.sh starts Xvfb), so
// the moment the window is shown is seen from outside the process, as a user would see it.
//
// For reference, a third window: the bare one with a line of text in the program's font
// (bench_text_window), which tells what text alone costs.
//
// Figures: kestrano_ms, bare_ms, ratio, kestrano_rss_mib, bare_rss_mib, memory_ratio; text_ms,
// text_rss_mib.

#include <poll.h>
#include <stdlib.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "../support/child_process.h"
#include "../support/figures.h"
#include "../support/process_memory.h"

namespace kestrano::bench {
namespace {

using Clock = std::chrono::steady_clock;

// How long a window stays up before its memory is read: the start's transient allocations are done
// and the idle event loop has settled.
constexpr std::chrono::seconds kIdleSettle{2};

struct Launch {
  double shown_ms = -1;
  double rss_mib = 0;
};

class Display {
 public:
  Display() : connection_(xcb_connect(nullptr, nullptr)) {
    if (xcb_connection_has_error(connection_)) return;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
    ok_ = true;
  }
  ~Display() { xcb_disconnect(connection_); }
  bool ok() const { return ok_; }

  // Waits for a top-level window to be mapped; false after `limit`.
  bool wait_for_map(std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    for (;;) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                            !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect;
        std::free(event);
        if (mapped) return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      if (left.count() <= 0) return false;
      pollfd p{xcb_get_file_descriptor(connection_), POLLIN, 0};
      poll(&p, 1, static_cast<int>(left.count()));
    }
  }

  // Throws away events of earlier windows.
  void drain() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) std::free(event);
  }

 private:
  xcb_connection_t* connection_;
  xcb_window_t root_ = 0;
  bool ok_ = false;
};

// `home` stands in for the user's home directory (the program's desktop folder is found there).
Launch launch(Display& display, const std::string& program, const std::string& home) {
  Launch result;
  display.drain();
  const auto start = Clock::now();
  Child child({program}, {"QT_QPA_PLATFORM=xcb", "HOME=" + home, "XDG_RUNTIME_DIR=" + home});
  if (!child.started() || !display.wait_for_map(std::chrono::seconds(20))) return result;
  result.shown_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  std::this_thread::sleep_for(kIdleSettle);
  result.rss_mib = resident_mib(child.pid());
  return result;  // the child is ended here
}

int run(const std::string& program, const std::string& baseline, const std::string& reference) {
  Display display;
  if (!display.ok()) {
    std::fprintf(stderr, "startup: no X server (DISPLAY=%s)\n", std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    return 1;
  }
  // Both programs once unmeasured, so neither pays for loading libraries from disk.
  char home_pattern[] = "/tmp/bench-startup-XXXXXX";
  const std::string home = mkdtemp(home_pattern) ? home_pattern : "/tmp";
  launch(display, baseline, home);
  launch(display, program, home);
  launch(display, reference, home);
  const Launch bare = launch(display, baseline, home);
  const Launch kestrano = launch(display, program, home);
  const Launch text = launch(display, reference, home);
  std::error_code ignored;
  if (home != "/tmp") std::filesystem::remove_all(home, ignored);
  if (bare.shown_ms < 0 || kestrano.shown_ms < 0 || text.shown_ms < 0) {
    std::fprintf(stderr, "startup: a window was not shown\n");
    return 1;
  }
  std::printf("startup: kestrano %.1f ms, %.1f MiB; bare window %.1f ms, %.1f MiB; window with text %.1f ms, "
              "%.1f MiB\n",
              kestrano.shown_ms, kestrano.rss_mib, bare.shown_ms, bare.rss_mib, text.shown_ms, text.rss_mib);
  figure("kestrano_ms", kestrano.shown_ms);
  figure("bare_ms", bare.shown_ms);
  figure("ratio", kestrano.shown_ms / bare.shown_ms);
  figure("kestrano_rss_mib", kestrano.rss_mib);
  figure("bare_rss_mib", bare.rss_mib);
  figure("memory_ratio", kestrano.rss_mib / bare.rss_mib);
  figure("text_ms", text.shown_ms);
  figure("text_rss_mib", text.rss_mib);
  return 0;
}

}  // namespace
}  // namespace kestrano::bench

// --program P --baseline B --reference R compare other programs (variants under study); other
// arguments are ignored.
int main(int argc, char** argv) {
  std::string program = KESTRANO_PROGRAM;
  std::string baseline = BARE_WINDOW_PROGRAM;
  std::string reference = TEXT_WINDOW_PROGRAM;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--program") program = argv[i + 1];
    if (arg == "--baseline") baseline = argv[i + 1];
    if (arg == "--reference") reference = argv[i + 1];
  }
  return kestrano::bench::run(program, baseline, reference);
}
