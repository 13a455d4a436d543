#pragma once
// Everything the running program consists of, in the order it is built and torn down: the bridge,
// the globals, the collector and the download jobs, and the window. program_entry runs one; the
// end-to-end tests build one with their own settings file and transfer limits.

#include <filesystem>
#include <memory>

#include "app/window_bridge.h"
#include "collect/works_collector.h"
#include "download/download_jobs.h"

namespace kestrano {

class MainWindow;

struct ProgramOptions {
  std::filesystem::path settings_file;
  TransferOptions transfer;
};

class Program {
 public:
  // Runs the start sequence: the globals, then the window, whose created handler has run on return.
  // Call on the UI thread, with the application object alive.
  explicit Program(ProgramOptions options);
  // Closes the window if it is still open, waits for the collector and the download tasks, and runs
  // the exit routine.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  MainWindow& window() { return *window_; }
  WindowBridge& bridge() { return bridge_; }
  WorksCollector& collector() { return collector_; }
  DownloadJobs& downloads() { return downloads_; }

 private:
  // release_globals runs exactly once, after everything below has ended its threads.
  struct ExitRoutine {
    ExitRoutine() = default;
    ~ExitRoutine();
    ExitRoutine(const ExitRoutine&) = delete;
    ExitRoutine& operator=(const ExitRoutine&) = delete;
  };

  // The bridge outlives the window and the pool, whose pumped waits and threads use it.
  WindowBridge bridge_;
  ExitRoutine exit_routine_;
  WorksCollector collector_;
  DownloadJobs downloads_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace kestrano
