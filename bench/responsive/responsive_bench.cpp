// bench/responsive: how late a 5 ms timer on the UI thread fires, as the longest gap between two
// firings and the 99th percentile of the gaps, while the window
//   - collects an author of 10,000 videos in pages of 20 (bench/collect's collection),
//   - downloads 48 files of 16 MiB with "下载全部视频" (bench/download's downloads),
//   - renumbers a 20,000-row table after "删除选中视频" removed its first row.
// Baseline for each: the same timer in the same window, left idle for as long.
//
// Figures per case (collect, download, renumber): <case>_longest_ms, <case>_p99_ms,
// <case>_idle_longest_ms, <case>_idle_p99_ms, <case>_s.

#include <unistd.h>

#include <QApplication>
#include <QItemSelectionModel>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "../support/event_wait.h"
#include "../support/figures.h"
#include "../support/running_program.h"
#include "../support/standin_process.h"
#include "../support/timer_probe.h"
#include "app/main_window.h"
#include "app/results_model.h"
#include "app/results_view.h"
#include "download/download_jobs.h"
#include "text/codepage.h"
#include "web/curl_global.h"

namespace kestrano::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs `work` under the probe, then leaves the window idle for as long under the probe again.
bool measure(const char* name, const std::function<bool()>& work) {
  TimerProbe probe;
  const auto start = Clock::now();
  probe.start();
  const bool ok = work();
  probe.stop();
  const auto busy = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  const GapFigures during = probe.figures();

  probe.start();
  run_events_for(busy);
  probe.stop();
  const GapFigures idle = probe.figures();

  std::printf("responsive %s: %.3f s; gaps longest %.1f ms (from %.0f ms on), p99 %.1f ms (%zu firings); idle "
              "longest %.1f ms, p99 %.1f ms\n",
              name, busy.count() / 1000.0, during.longest_ms, during.longest_at_ms, during.p99_ms, during.firings,
              idle.longest_ms, idle.p99_ms);
  const std::string prefix = name;
  figure((prefix + "_longest_ms").c_str(), during.longest_ms);
  figure((prefix + "_p99_ms").c_str(), during.p99_ms);
  figure((prefix + "_idle_longest_ms").c_str(), idle.longest_ms);
  figure((prefix + "_idle_p99_ms").c_str(), idle.p99_ms);
  figure((prefix + "_s").c_str(), busy.count() / 1000.0);
  return ok;
}

int run(int argc, char** argv, const fs::path& scratch) {
  QTemporaryDir folder;
  const fs::path base = folder.path().toStdString();
  prepare_environment(base / "home");
  QApplication application(argc, argv);
  ensure_curl_global_init();
  StandinProcess standin;
  if (!standin.ok()) {
    std::fprintf(stderr, "responsive: the stand-in did not start\n");
    return 1;
  }
  qputenv("KESTRANO_SERVICE_ORIGIN", standin.origin().c_str());
  RunningProgram program(base);
  bool ok = true;

  // The collection: from the click to the caption back with every row shown.
  program.set_author("v10000_p20");
  ok &= measure("collect", [&] {
    program.click_extract();
    return wait_until([&] { return program.collection_done(); }, std::chrono::seconds(300)) &&
           program.results().row_count() == 10000;
  });

  // The downloads: the menu command returns when every task has ended.
  program.set_author("v48_p48_playsize16777216");
  if (program.collect(std::chrono::seconds(60)) < 0) return 1;
  std::string files = (scratch / "bench-responsive-XXXXXX").string();
  if (!mkdtemp(files.data())) return 1;
  program.set_output_folder(files);
  ok &= measure("download", [&] {
    program.download_all();
    return program.rows_with_status(status_succeeded()) == 48;
  });
  std::error_code ec;
  fs::remove_all(files, ec);
  ::sync();

  // The renumbering: 20,000 rows, the first one selected and deleted through the menu's handler.
  program.window().delete_all_rows();
  ResultsModel& model = program.results();
  for (int i = 0; i < 20000; ++i) {
    model.append_filled_row({Text(), "作品"_t + std::to_string(i + 1), "2023-12-28 00:00", "15", "aHR0cDovL3g="});
  }
  model.show_pending_rows();
  ResultsView& view = program.window().results_view();
  view.selectionModel()->select(model.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ok &= measure("renumber", [&] {
    program.window().delete_selected_row();
    return model.row_count() == 19999 && model.cell(19998, col_order) == "19999";
  });
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace kestrano::bench

int main(int argc, char** argv) {
  std::filesystem::path scratch = std::filesystem::current_path();
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--scratch") scratch = argv[i + 1];
  }
  return kestrano::bench::run(argc, argv, scratch);
}
