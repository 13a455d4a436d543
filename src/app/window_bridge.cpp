#include "app/window_bridge.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <thread>

#include "app/main_window.h"
#include "app/results_model.h"
#include "app/results_view.h"

namespace kestrano {

template <typename Result, typename Operation>
Result WindowBridge::on_window(Result fallback, Operation&& operation) {
  Result result = fallback;
  ui_.run([&] {
    if (window_) result = operation(*window_);
  });
  return result;
}

template <typename Operation>
void WindowBridge::act(Operation&& operation) {
  ui_.run([&] {
    if (window_) operation(*window_);
  });
}

Text WindowBridge::control_text(Control control) {
  return on_window(Text(), [&](MainWindow& w) { return w.control_text(control); });
}

void WindowBridge::set_control_text(Control control, const Text& text) {
  act([&](MainWindow& w) { w.set_control_text(control, text); });
}

bool WindowBridge::is_checked(Control control) {
  return on_window(false, [&](MainWindow& w) { return w.is_checked(control); });
}

void WindowBridge::message_box(const Text& text, const Text& title) {
  act([&](MainWindow& w) { w.show_message(text, title); });
}

int WindowBridge::append_row() {
  return on_window(-1, [&](MainWindow& w) { return w.results().append_row(); });
}

void WindowBridge::set_cell(int row, int column, const Text& text) {
  act([&](MainWindow& w) { w.results().set_cell(row, column, text); });
}

Text WindowBridge::cell(int row, int column) {
  return on_window(Text(), [&](MainWindow& w) { return w.results().cell(row, column); });
}

int WindowBridge::row_count() {
  return on_window(0, [&](MainWindow& w) { return w.results().row_count(); });
}

void WindowBridge::delete_row(int row) {
  act([&](MainWindow& w) { w.results().delete_row(row); });
}

void WindowBridge::delete_all_rows() {
  act([&](MainWindow& w) { w.results().delete_all_rows(); });
}

void WindowBridge::scroll_into_view(int row) {
  act([&](MainWindow& w) { w.results_view().scroll_into_view(row); });
}

int WindowBridge::current_selection() {
  return on_window(-1, [&](MainWindow& w) { return w.results_view().current_selection(); });
}

int WindowBridge::append_filled_row(const std::vector<Text>& cells, bool scroll) {
  return on_window(-1, [&](MainWindow& w) {
    int row = w.results().append_filled_row(cells);
    if (scroll) w.results_view().scroll_into_view(row);
    return row;
  });
}

int WindowBridge::append_filled_rows(const std::vector<std::vector<Text>>& rows, bool scroll) {
  return on_window(-1, [&](MainWindow& w) {
    int first = -1;
    for (const auto& cells : rows) {
      const int row = w.results().append_filled_row(cells);
      if (first < 0) first = row;
    }
    if (scroll && !rows.empty()) w.results_view().scroll_into_view(w.results().row_count() - 1);
    return first;
  });
}

RowId WindowBridge::row_id(int row) {
  return on_window(RowId{0}, [&](MainWindow& w) { return w.results().row_id(row); });
}

int WindowBridge::row_position(RowId id) {
  return on_window(-1, [&](MainWindow& w) { return w.results().row_position(id); });
}

Text WindowBridge::cell_of(RowId id, int column) {
  return on_window(Text(), [&](MainWindow& w) { return w.results().cell(w.results().row_position(id), column); });
}

bool WindowBridge::set_cell_of(RowId id, int column, const Text& text) {
  return on_window(false, [&](MainWindow& w) {
    int row = w.results().row_position(id);
    if (row < 0) return false;
    w.results().set_cell(row, column, text);
    return true;
  });
}

void WindowBridge::set_progress(RowId id, const RowProgress& progress) {
  act([&](MainWindow& w) { w.results().set_progress(id, progress); });
}

bool WindowBridge::text_fits_codepage(Control control) {
  return on_window(true, [&](MainWindow& w) { return w.control_text_fits_codepage(control); });
}

void WindowBridge::wait_pumping(std::chrono::milliseconds duration) {
  if (!ui_.on_ui_thread()) {
    std::this_thread::sleep_for(duration);
    return;
  }
  // Slices of at most 20 ms, so a close that begins meanwhile ends the wait promptly; within a slice
  // the event loop sleeps until an event or the timer, never spinning.
  const auto until = std::chrono::steady_clock::now() + duration;
  while (!ui_.closing()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    QEventLoop loop;
    QTimer::singleShot(std::min<std::chrono::milliseconds>(left, std::chrono::milliseconds(20)), &loop, &QEventLoop::quit);
    loop.exec();
  }
}

void WindowBridge::pump_if_input() {
  if (!ui_.on_ui_thread() || ui_.closing()) return;
  QCoreApplication::processEvents();
}

}  // namespace kestrano
