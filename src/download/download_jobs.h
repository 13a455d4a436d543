#pragma once
// The two download commands of the results list's menu and the per-row task they run.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "download/file_transfer.h"
#include "download/name_claims.h"
#include "platform/window_port.h"

namespace kestrano {

class ThreadPool;

// Status texts of column 5.
Text status_downloading();  // "正在下载……"
Text status_succeeded();    // "下载成功"
Text status_failed();       // "下载失败"

// Makes sure the folder exists, creating missing parents; false when it cannot.
bool ensure_folder(const Text& folder);

// Waits amount x unit (0 or absent: ms, 1: s, 2: min, 3: h, any other value: itself a multiplier of
// ms) while the window keeps handling messages. Always true.
bool delay_pumping(WindowPort& window, int amount, int unit = 0);

// Lets tasks in only while the jobs are open, and lets the close wait for those inside. Tasks hold it
// by shared pointer, so a task that a worker dequeues after the close never touches the jobs object.
class TaskGate {
 public:
  bool enter();  // false once closed
  void leave();
  // Closes the gate and waits up to `limit` for every task inside to leave; true when all left.
  bool close_and_wait(std::chrono::milliseconds limit);
  bool closed();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int inside_ = 0;
  bool closed_ = false;
};

class DownloadJobs {
 public:
  // `default_folder` stands in for an empty output-folder box.
  DownloadJobs(WindowPort& window, ThreadPool& pool, Text default_folder, TransferOptions options = {});
  ~DownloadJobs();
  DownloadJobs(const DownloadJobs&) = delete;
  DownloadJobs& operator=(const DownloadJobs&) = delete;

  // "下载选中视频": the selected row on a thread of its own; returns at once.
  void download_selected();
  // "下载全部视频": every row on the pool, at most 6 at once; returns when all have ended, handling
  // window messages meanwhile (or at once when the window closes).
  void download_all();

  // For the window's close: queued tasks are dropped, running transfers abort (removing their
  // temporary files), and the call waits up to `limit` for every task to end. True when all ended.
  bool shutdown(std::chrono::milliseconds limit);

  // The task of one row: follows the row by identity, so deleting other rows never redirects it.
  void download_row(RowId row, const Text& folder, const Text& file_name, bool folder_usable);

 private:
  struct Prepared {
    Text folder;
    bool usable = true;
  };
  Prepared take_output_folder();
  Text claim_name(int row, const Text& folder);
  // Runs download_row on the calling thread if the gate lets it in.
  static void run_task(const std::shared_ptr<TaskGate>& gate, DownloadJobs* jobs, RowId row, const Text& folder,
                       const Text& file_name, bool folder_usable);
  bool aborting() const;

  WindowPort& window_;
  ThreadPool& pool_;
  const Text default_folder_;
  const TransferOptions options_;
  NameClaims names_;
  const std::shared_ptr<TaskGate> gate_ = std::make_shared<TaskGate>();
};

}  // namespace kestrano
