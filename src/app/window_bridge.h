#pragma once
// The window's control operations for every thread: the WindowPort the collection and the downloads
// use. On the UI thread an operation runs at once; from another thread it runs on the UI thread while
// the caller waits. Once the window begins to close, every operation returns at once with an empty
// result (empty text, 0, false, -1 for positions), so no thread waits on a window that is going away.
//
// Construct it on the UI thread before the window and destroy it after every thread that uses it has
// ended.

#include "app/ui_thread_call.h"
#include "platform/window_port.h"

namespace kestrano {

class MainWindow;

class WindowBridge final : public WindowPort {
 public:
  WindowBridge() = default;

  // UI thread: the window the operations act on, or null when there is none.
  void attach(MainWindow* window) { window_ = window; }
  void begin_closing() { ui_.begin_closing(); }
  bool on_ui_thread() const { return ui_.on_ui_thread(); }

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
  int append_filled_rows(const std::vector<std::vector<Text>>& rows, bool scroll) override;

  RowId row_id(int row) override;
  int row_position(RowId id) override;
  Text cell_of(RowId id, int column) override;
  bool set_cell_of(RowId id, int column, const Text& text) override;
  void set_progress(RowId id, const RowProgress& progress) override;

  // On the UI thread: processes the pending events (Qt cannot tell waiting input from other events).
  // Elsewhere, or once closing: nothing.
  void pump_if_input() override;
  bool closing() override { return ui_.closing(); }
  // On the UI thread: an event loop that handles messages until the time is up or closing begins.
  void wait_pumping(std::chrono::milliseconds duration) override;
  bool text_fits_codepage(Control control) override;

 private:
  // Runs `operation(window)` on the UI thread and returns its result, or `fallback` when closing or
  // without a window.
  template <typename Result, typename Operation>
  Result on_window(Result fallback, Operation&& operation);
  // The same for an operation without result.
  template <typename Operation>
  void act(Operation&& operation);

  UiThreadCall ui_;
  MainWindow* window_ = nullptr;  // UI thread only
};

}  // namespace kestrano
