#pragma once
// A WindowPort kept in memory and safe to call from any thread, so the collector and the download
// jobs can be tested (also under ThreadSanitizer) without Qt.

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/window_port.h"

namespace kestrano::testing {

class MemoryWindow : public WindowPort {
 public:
  struct Row {
    RowId id = 0;
    std::vector<Text> cells = std::vector<Text>(column_count);
    RowProgress progress;
  };

  Text control_text(Control control) override;
  void set_control_text(Control control, const Text& text) override;
  bool is_checked(Control control) override;
  void message_box(const Text& text, const Text& title) override;

  int append_row() override;
  void set_cell(int row, int column, const Text& text) override;
  Text cell(int row, int column) override;
  int row_count() override;
  void delete_row(int row) override;
  void delete_all_rows() override;
  void scroll_into_view(int row) override;
  int current_selection() override;
  int append_filled_row(const std::vector<Text>& cells, bool scroll) override;

  RowId row_id(int row) override;
  int row_position(RowId id) override;
  Text cell_of(RowId id, int column) override;
  bool set_cell_of(RowId id, int column, const Text& text) override;
  void set_progress(RowId id, const RowProgress& progress) override;

  void pump_if_input() override {}
  bool closing() override;
  bool text_fits_codepage(Control control) override;

  // Test controls.
  void set_checked(Control control, bool checked);
  void select(int row);
  void set_closing(bool closing);
  void set_text_unfit(Control control, bool unfit);
  std::vector<Row> rows();
  std::vector<std::pair<Text, Text>> messages();  // (text, title) in order
  // Blocks until `predicate(*this)` holds or `limit` passes; true when it held.
  bool wait_until(const std::function<bool(MemoryWindow&)>& predicate, std::chrono::milliseconds limit);
  // Called (outside the lock) whenever a status cell is written; lets a test act in the middle.
  void on_status_written(std::function<void(RowId, const Text&)> hook);

 private:
  void changed();
  int position_locked(RowId id) const;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<Control, Text> texts_;
  std::map<Control, bool> checked_;
  std::map<Control, bool> unfit_;
  std::vector<Row> rows_;
  std::vector<std::pair<Text, Text>> messages_;
  RowId next_id_ = 1;
  std::uint64_t generation_ = 0;
  int selection_ = -1;
  bool closing_ = false;
  std::function<void(RowId, const Text&)> status_hook_;
};

}  // namespace kestrano::testing
