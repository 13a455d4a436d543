#include "download/download_jobs.h"

#include <filesystem>
#include <thread>

#include "download/download_globals.h"
#include "download/file_name.h"
#include "download/thread_pool.h"
#include "text/codepage.h"
#include "web/encoding.h"

namespace kestrano {
namespace {

std::filesystem::path native_path(const Text& text) { return std::filesystem::path(utf8_from_gbk(text)); }

bool is_web_address(const Text& address) {
  return address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
}

Text decode_address(const Text& cell) { return to_text(base64_decode(to_bytes(cell))); }

std::mutex& table_lock() {
  // The window creates the lock; tasks that run without a window (tests) share this one.
  static std::mutex fallback;
  return g_table_lock ? *g_table_lock : fallback;
}

}  // namespace

Text status_downloading() { return "正在下载……"_t; }
Text status_succeeded() { return "下载成功"_t; }
Text status_failed() { return "下载失败"_t; }

bool ensure_folder(const Text& folder) {
  std::error_code ec;
  std::filesystem::create_directories(native_path(folder), ec);
  return std::filesystem::is_directory(native_path(folder), ec);
}

bool delay_pumping(WindowPort& window, int amount, int unit) {
  std::int64_t multiplier = 1;
  switch (unit) {
    case 0: multiplier = 1; break;
    case 1: multiplier = 1000; break;
    case 2: multiplier = 60000; break;
    case 3: multiplier = 3600000; break;
    default: multiplier = unit; break;
  }
  const std::int64_t ms = static_cast<std::int64_t>(amount) * multiplier;
  if (ms > 0) window.wait_pumping(std::chrono::milliseconds(ms));
  return true;
}

DownloadJobs::DownloadJobs(WindowPort& window, ThreadPool& pool, Text default_folder, TransferOptions options)
    : window_(window), pool_(pool), default_folder_(std::move(default_folder)), options_(std::move(options)) {}

bool TaskGate::enter() {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  ++inside_;
  return true;
}

void TaskGate::leave() {
  std::lock_guard lock(mutex_);
  --inside_;
  changed_.notify_all();
}

bool TaskGate::close_and_wait(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  closed_ = true;
  return changed_.wait_for(lock, limit, [this] { return inside_ == 0; });
}

bool TaskGate::closed() {
  std::lock_guard lock(mutex_);
  return closed_;
}

DownloadJobs::~DownloadJobs() { shutdown(std::chrono::seconds(5)); }

bool DownloadJobs::aborting() const { return gate_->closed() || window_.closing(); }

void DownloadJobs::run_task(const std::shared_ptr<TaskGate>& gate, DownloadJobs* jobs, RowId row,
                            const Text& folder, const Text& file_name, bool folder_usable) {
  if (!gate->enter()) return;
  jobs->download_row(row, folder, file_name, folder_usable);
  gate->leave();
}

DownloadJobs::Prepared DownloadJobs::take_output_folder() {
  Prepared p;
  p.folder = window_.control_text(Control::output_folder);
  // An empty box means the default folder, never the root of the file system.
  if (p.folder.empty()) p.folder = default_folder_;
  // A folder code page 936 cannot hold has "?" in its text and would name another folder.
  p.usable = window_.text_fits_codepage(Control::output_folder);
  g_output_folder = p.folder;
  std::error_code ec;
  if (p.usable && !std::filesystem::is_directory(native_path(p.folder), ec)) ensure_folder(p.folder);
  return p;
}

Text DownloadJobs::claim_name(int row, const Text& folder) {
  Text title = window_.cell(row, col_title);
  const Text address = decode_address(window_.cell(row, col_address));
  return names_.claim(folder, sanitize_file_name(title), address);
}

void DownloadJobs::download_selected() {
  const int row = window_.current_selection();
  if (row < 0) return;
  const Prepared out = take_output_folder();
  const RowId id = window_.row_id(row);
  const Text name = claim_name(row, out.folder);
  std::thread([gate = gate_, this, id, out, name] { run_task(gate, this, id, out.folder, name, out.usable); })
      .detach();
}

void DownloadJobs::download_all() {
  const int count = window_.row_count();
  if (count < 1) return;
  const Prepared out = take_output_folder();

  // Another "下载全部视频" may be in its pumped start or stop; let it finish first.
  while ((pool_.get_state() == 2 || pool_.get_state() == 3) && !aborting()) {
    window_.wait_pumping(std::chrono::milliseconds(20));
  }
  if (aborting()) return;
  pool_.start(1, 6, 200, true);

  // Names are claimed in row order before any task runs, so which worker runs first never decides
  // which video gets the plain name.
  for (int row = 0; row < count && !aborting(); ++row) {
    const RowId id = window_.row_id(row);
    if (id == 0) continue;
    const Text name = claim_name(row, out.folder);
    bool posted = pool_.post(
        [gate = gate_, this, id, out, name] { run_task(gate, this, id, out.folder, name, out.usable); });
    if (!posted) window_.set_cell_of(id, col_status, status_failed());
    window_.pump_if_input();
  }
  do {
    delay_pumping(window_, 50);
  } while (!pool_.is_idle() && !aborting());
  if (aborting()) return;
  pool_.stop(1, 500, true);
}

void DownloadJobs::download_row(RowId row, const Text& folder, const Text& file_name, bool folder_usable) {
  Text address;
  {
    std::lock_guard lock(table_lock());
    // A row deleted (or cleared by a new collection) before its task ran is not downloaded.
    if (window_.row_position(row) < 0) return;
    address = decode_address(window_.cell_of(row, col_address));
    if (!window_.set_cell_of(row, col_status, status_downloading())) return;
  }

  TransferResult result;
  if (folder_usable && is_web_address(address) && !aborting()) {
    result = download_file(
        utf8_from_gbk(address), native_path(join_path(folder, file_name)), options_,
        [&](const TransferProgress& p) { window_.set_progress(row, {p.done, p.total, p.bytes_per_second, true}); },
        [this] { return aborting(); });
  }

  std::lock_guard lock(table_lock());
  window_.set_progress(row, {});
  window_.set_cell_of(row, col_status, result.ok ? status_succeeded() : status_failed());
}

bool DownloadJobs::shutdown(std::chrono::milliseconds limit) {
  // Closing the gate makes running transfers abort (they poll `aborting`) and keeps queued tasks from
  // starting; the stop then drops the queue.
  gate_->close_and_wait(std::chrono::milliseconds(0));
  pool_.stop(2);
  return gate_->close_and_wait(limit);
}

}  // namespace kestrano
