#include "support/memory_window.h"

namespace kestrano::testing {

// Called with the lock held.
void MemoryWindow::changed() {
  ++generation_;
  changed_.notify_all();
}

int MemoryWindow::position_locked(RowId id) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

Text MemoryWindow::control_text(Control control) {
  std::lock_guard lock(mutex_);
  return texts_[control];
}

void MemoryWindow::set_control_text(Control control, const Text& text) {
  std::lock_guard lock(mutex_);
  texts_[control] = text;
  changed();
}

bool MemoryWindow::is_checked(Control control) {
  std::lock_guard lock(mutex_);
  return checked_[control];
}

void MemoryWindow::message_box(const Text& text, const Text& title) {
  std::lock_guard lock(mutex_);
  messages_.emplace_back(text, title);
  changed();
}

int MemoryWindow::append_row() {
  std::lock_guard lock(mutex_);
  Row row;
  row.id = next_id_++;
  rows_.push_back(row);
  changed();
  return static_cast<int>(rows_.size()) - 1;
}

void MemoryWindow::set_cell(int row, int column, const Text& text) {
  std::lock_guard lock(mutex_);
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= column_count) return;
  rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)] = text;
  changed();
}

Text MemoryWindow::cell(int row, int column) {
  std::lock_guard lock(mutex_);
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= column_count) return {};
  return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

int MemoryWindow::row_count() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(rows_.size());
}

void MemoryWindow::delete_row(int row) {
  std::lock_guard lock(mutex_);
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  rows_.erase(rows_.begin() + row);
  if (selection_ >= static_cast<int>(rows_.size())) selection_ = -1;
  changed();
}

void MemoryWindow::delete_all_rows() {
  std::lock_guard lock(mutex_);
  rows_.clear();
  selection_ = -1;
  changed();
}

void MemoryWindow::scroll_into_view(int) {}

int MemoryWindow::current_selection() {
  std::lock_guard lock(mutex_);
  return selection_;
}

int MemoryWindow::append_filled_row(const std::vector<Text>& cells, bool) {
  std::lock_guard lock(mutex_);
  Row row;
  row.id = next_id_++;
  for (std::size_t i = 0; i < cells.size() && i < row.cells.size(); ++i) row.cells[i] = cells[i];
  if (row.cells[col_order].empty()) row.cells[col_order] = std::to_string(rows_.size() + 1);
  rows_.push_back(row);
  changed();
  return static_cast<int>(rows_.size()) - 1;
}

RowId MemoryWindow::row_id(int row) {
  std::lock_guard lock(mutex_);
  if (row < 0 || row >= static_cast<int>(rows_.size())) return 0;
  return rows_[static_cast<std::size_t>(row)].id;
}

int MemoryWindow::row_position(RowId id) {
  std::lock_guard lock(mutex_);
  return position_locked(id);
}

Text MemoryWindow::cell_of(RowId id, int column) {
  std::lock_guard lock(mutex_);
  int p = position_locked(id);
  if (p < 0 || column < 0 || column >= column_count) return {};
  return rows_[static_cast<std::size_t>(p)].cells[static_cast<std::size_t>(column)];
}

bool MemoryWindow::set_cell_of(RowId id, int column, const Text& text) {
  std::function<void(RowId, const Text&)> hook;
  {
    std::lock_guard lock(mutex_);
    int p = position_locked(id);
    if (p < 0 || column < 0 || column >= column_count) return false;
    rows_[static_cast<std::size_t>(p)].cells[static_cast<std::size_t>(column)] = text;
    if (column == col_status) hook = status_hook_;
    changed();
  }
  if (hook) hook(id, text);
  return true;
}

void MemoryWindow::set_progress(RowId id, const RowProgress& progress) {
  std::lock_guard lock(mutex_);
  int p = position_locked(id);
  if (p >= 0) rows_[static_cast<std::size_t>(p)].progress = progress;
}

bool MemoryWindow::closing() {
  std::lock_guard lock(mutex_);
  return closing_;
}

bool MemoryWindow::text_fits_codepage(Control control) {
  std::lock_guard lock(mutex_);
  return !unfit_[control];
}

void MemoryWindow::set_checked(Control control, bool checked) {
  std::lock_guard lock(mutex_);
  checked_[control] = checked;
}

void MemoryWindow::select(int row) {
  std::lock_guard lock(mutex_);
  selection_ = row;
}

void MemoryWindow::set_closing(bool closing) {
  std::lock_guard lock(mutex_);
  closing_ = closing;
  changed();
}

void MemoryWindow::set_text_unfit(Control control, bool unfit) {
  std::lock_guard lock(mutex_);
  unfit_[control] = unfit;
}

std::vector<MemoryWindow::Row> MemoryWindow::rows() {
  std::lock_guard lock(mutex_);
  return rows_;
}

std::vector<std::pair<Text, Text>> MemoryWindow::messages() {
  std::lock_guard lock(mutex_);
  return messages_;
}

bool MemoryWindow::wait_until(const std::function<bool(MemoryWindow&)>& predicate, std::chrono::milliseconds limit) {
  // The predicate calls back into the window, so it runs without the lock; the generation count
  // makes sure no change between the check and the wait is missed.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::unique_lock lock(mutex_);
    const auto seen = generation_;
    lock.unlock();
    if (predicate(*this)) return true;
    lock.lock();
    if (!changed_.wait_until(lock, deadline, [&] { return generation_ != seen; })) {
      lock.unlock();
      return predicate(*this);
    }
  }
}

void MemoryWindow::on_status_written(std::function<void(RowId, const Text&)> hook) {
  std::lock_guard lock(mutex_);
  status_hook_ = std::move(hook);
}

}  // namespace kestrano::testing
