// bench/download: "下载全部视频" on 48 rows of 16 MiB files served by the stand-in, from the menu command
// to every row at "下载成功". Baselines in the same run: curl --parallel --parallel-max 6 and aria2c -j 6
// fetching the same 48 addresses. Memory: the peak resident memory of the whole process, against the
// same process shape (window, collection of the 48 rows) left idle for as long instead of downloading.
//
// The program runs in child processes of this one (roles "download" and "idle"), so each peak is a
// process's own; the stand-in is a third process, so its buffers count for nobody.
//
// Figures: kestrano_s, curl_s, aria2c_s, ratio (kestrano over the faster baseline), peak_mib,
// idle_peak_mib, memory_ratio.

#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../support/child_process.h"
#include "../support/event_wait.h"
#include "../support/figures.h"
#include "../support/process_memory.h"
#include "../support/running_program.h"
#include "../support/standin_process.h"
#include "app/main_window.h"
#include "app/results_model.h"
#include "author_shape.h"
#include "download/download_jobs.h"
#include "text/codepage.h"
#include "web/curl_global.h"
#include "web/encoding.h"

namespace kestrano::bench {
namespace {

constexpr int kFiles = 48;
constexpr std::uintmax_t kFileBytes = 16u << 20;
const std::string kAuthor = "v48_p48_playsize16777216";

namespace fs = std::filesystem;

// Every file there, all of the expected size.
bool folder_complete(const fs::path& folder) {
  int files = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file() || entry.file_size() != kFileBytes) return false;
    ++files;
  }
  return files == kFiles;
}

// A folder on the disk of `scratch` for one run's files, removed with everything in it when it goes.
class RunFolder {
 public:
  explicit RunFolder(const fs::path& scratch, const char* name) {
    std::string pattern = (scratch / (std::string("bench-download-") + name + "-XXXXXX")).string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~RunFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
    ::sync();  // the next run starts with nothing of this one's left to write
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The program's side, in a child process: collect the 48 rows, then download them all or stay idle.
int program_role(int argc, char** argv, const std::string& role, const fs::path& folder, double idle_seconds) {
  QTemporaryDir settings;
  const fs::path base = settings.path().toStdString();
  prepare_environment(base / "home");
  QApplication application(argc, argv);
  ensure_curl_global_init();
  RunningProgram program(base);
  program.set_author(kAuthor);
  if (program.collect(std::chrono::seconds(60)) < 0 || program.results().row_count() != kFiles) {
    std::fprintf(stderr, "download: the collection of the %d rows failed\n", kFiles);
    return 1;
  }
  program.set_output_folder(folder);

  if (role == "idle") {
    run_events_for(std::chrono::milliseconds(static_cast<long>(idle_seconds * 1000)));
    figure("peak_mib", own_peak_resident_mib());
    return 0;
  }
  for (int row = 0; row < kFiles; ++row) {
    std::printf("address %s\n", to_text(base64_decode(to_bytes(program.results().cell(row, col_address)))).c_str());
  }
  // The moment the last row turns to "下载成功", seen as its status cell is written (the command itself
  // returns a little later: it looks at the pool every 50 ms and then stops it).
  const auto start = std::chrono::steady_clock::now();
  auto all_done = start;
  bool done = false;
  QObject::connect(&program.results(), &QAbstractItemModel::dataChanged, &program.results(), [&] {
    if (!done && program.rows_with_status(status_succeeded()) == kFiles) {
      done = true;
      all_done = std::chrono::steady_clock::now();
    }
  });
  program.download_all();
  const auto returned = std::chrono::steady_clock::now();
  const int succeeded = program.rows_with_status(status_succeeded());
  figure("seconds", std::chrono::duration<double>((done ? all_done : returned) - start).count());
  figure("returned_seconds", std::chrono::duration<double>(returned - start).count());
  figure("peak_mib", own_peak_resident_mib());
  figure("succeeded", succeeded);
  return succeeded == kFiles && folder_complete(folder) ? 0 : 1;
}

struct ProgramRun {
  bool ok = false;
  double seconds = 0;
  double peak_mib = 0;
  std::vector<std::string> addresses;
};

ProgramRun run_program(const std::string& role, const fs::path& folder, double idle_seconds) {
  ProgramRun run;
  const ChildRun child = run_child(
      {own_executable(), "--role", role, "--folder", folder.string(), "--idle-seconds", std::to_string(idle_seconds)});
  std::istringstream lines(child.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("address ", 0) == 0) run.addresses.push_back(line.substr(8));
  }
  const auto figures = read_figures(child.output);
  run.ok = child.exit_code == 0;
  run.seconds = figures.count("seconds") ? figures.at("seconds") : 0;
  run.peak_mib = figures.count("peak_mib") ? figures.at("peak_mib") : 0;
  return run;
}

double run_baseline(const char* name, std::vector<std::string> argv, const fs::path& folder) {
  const ChildRun run = run_child(argv);
  if (run.exit_code != 0 || !folder_complete(folder)) {
    std::fprintf(stderr, "download: %s failed (exit %d)\n", name, run.exit_code);
    return -1;
  }
  return run.seconds;
}

int driver(const fs::path& scratch, int run_number) {
  StandinProcess standin;
  if (!standin.ok()) {
    std::fprintf(stderr, "download: the stand-in did not start\n");
    return 1;
  }
  setenv("KESTRANO_SERVICE_ORIGIN", standin.origin().c_str(), 1);

  // The three fetches take turns at going first (the run number picks the order), so that none of them
  // always meets a page cache the one before it has just filled or emptied.
  ProgramRun kestrano;
  double curl = -1;
  double aria2c = -1;
  std::vector<std::string> addresses;
  auto run_kestrano = [&] {
    RunFolder folder(scratch, "kestrano");
    kestrano = run_program("download", folder.path(), 0);
  };
  auto run_curl = [&] {
    RunFolder folder(scratch, "curl");
    std::vector<std::string> argv = {"curl",           "--silent",       "--show-error", "--fail", "--no-progress-meter",
                                     "--parallel",     "--parallel-max", "6",            "--output-dir",
                                     folder.path().string(), "--remote-name-all"};
    argv.insert(argv.end(), addresses.begin(), addresses.end());
    curl = run_baseline("curl", argv, folder.path());
  };
  auto run_aria2c = [&] {
    RunFolder folder(scratch, "aria2c");
    const fs::path list = folder.path() / "addresses.txt";
    {
      std::ofstream out(list);
      for (const auto& a : addresses) out << a << "\n";
    }
    const fs::path into = folder.path() / "files";
    fs::create_directories(into);
    aria2c = run_baseline("aria2c",
                          {"aria2c", "-j", "6", "--quiet=true", "--summary-interval=0", "-d", into.string(), "-i",
                           list.string()},
                          into);
  };
  // The 48 addresses the stand-in gives this author; the program's table must hold exactly these.
  for (int k = 0; k < kFiles; ++k) {
    addresses.push_back(standin.origin() + "/video/size16777216/" + standin::video_id(k) + ".mp4");
  }
  std::vector<std::function<void()>> fetches = {run_kestrano, run_curl, run_aria2c};
  std::rotate(fetches.begin(), fetches.begin() + (run_number % 3), fetches.end());
  for (auto& fetch : fetches) fetch();
  if (!kestrano.ok || kestrano.addresses != addresses) {
    std::fprintf(stderr, "download: the program's downloads failed, or its table held other addresses\n");
    return 1;
  }
  ProgramRun idle;
  {
    RunFolder folder(scratch, "idle");
    idle = run_program("idle", folder.path(), kestrano.seconds);
  }
  if (curl < 0 || aria2c < 0 || !idle.ok) return 1;

  const double faster = std::min(curl, aria2c);
  std::printf("download: kestrano %.3f s (peak %.1f MiB), curl %.3f s, aria2c %.3f s, idle window peak %.1f MiB\n",
              kestrano.seconds, kestrano.peak_mib, curl, aria2c, idle.peak_mib);
  figure("kestrano_s", kestrano.seconds);
  figure("curl_s", curl);
  figure("aria2c_s", aria2c);
  figure("ratio", kestrano.seconds / faster);
  figure("peak_mib", kestrano.peak_mib);
  figure("idle_peak_mib", idle.peak_mib);
  figure("memory_ratio", kestrano.peak_mib / idle.peak_mib);
  return 0;
}

}  // namespace
}  // namespace kestrano::bench

int main(int argc, char** argv) {
  std::string role;
  std::filesystem::path folder;
  std::filesystem::path scratch = std::filesystem::current_path();
  double idle_seconds = 0;
  int run_number = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--role") role = argv[i + 1];
    if (arg == "--folder") folder = argv[i + 1];
    if (arg == "--scratch") scratch = argv[i + 1];
    if (arg == "--idle-seconds") idle_seconds = std::atof(argv[i + 1]);
    if (arg == "--run") run_number = std::atoi(argv[i + 1]);
  }
  if (!role.empty()) return kestrano::bench::program_role(argc, argv, role, folder, idle_seconds);
  return kestrano::bench::driver(scratch, run_number);
}
