#pragma once
// The control operations the collector and the download jobs need from the main window. The window
// implements them (each runs on the UI thread while a worker caller waits); tests implement them in
// memory. Nothing below the window layer touches a widget any other way.

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "text/text.h"

namespace kestrano {

enum class Control {
  author_link,      // 编辑框_作者链接
  output_folder,    // 编辑框_输出位置
  duration_box,     // 编辑框_时长控制
  duration_check,   // 选择框_时长控制
  extract_button,   // 按钮_提取视频
};

// Columns of a results row, 0-based.
enum Column : int { col_order = 0, col_title, col_publish_time, col_duration, col_address, col_status, column_count };

// A row's identity, given when it is appended and never reused; 0 means "no row".
using RowId = std::uint64_t;

struct RowProgress {
  std::int64_t done = 0;
  std::int64_t total = -1;  // -1 while the size is unknown
  double bytes_per_second = 0;
  bool active = false;      // false clears the bar
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // Edit box text, or a button's caption; a check box reads as its caption.
  virtual Text control_text(Control control) = 0;
  virtual void set_control_text(Control control, const Text& text) = 0;
  virtual bool is_checked(Control control) = 0;
  // Information box titled `title`, one OK button, owned by the main window; returns when dismissed.
  virtual void message_box(const Text& text, const Text& title) = 0;

  // Results list, addressed by position (0-based), as every list operation of the system is.
  virtual int append_row() = 0;
  virtual void set_cell(int row, int column, const Text& text) = 0;
  virtual Text cell(int row, int column) = 0;
  virtual int row_count() = 0;
  virtual void delete_row(int row) = 0;
  virtual void delete_all_rows() = 0;
  virtual void scroll_into_view(int row) = 0;
  virtual int current_selection() = 0;

  // One call for a whole new row: appends it, fills `cells` from column 0 on, scrolls it into view when
  // asked, and returns its position. `cells[0]` empty means "number it position + 1".
  virtual int append_filled_row(const std::vector<Text>& cells, bool scroll) = 0;
  // The same for several rows in order, scrolling (when asked) to the last; the first one's position,
  // -1 for none. A window whose calls cross threads makes it one call.
  virtual int append_filled_rows(const std::vector<std::vector<Text>>& rows, bool scroll) {
    int first = -1;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const int row = append_filled_row(rows[i], scroll && i + 1 == rows.size());
      if (i == 0) first = row;
    }
    return first;
  }

  // Rows by identity, for work that must follow a row whatever is deleted around it.
  virtual RowId row_id(int row) = 0;                  // 0 when the row does not exist
  virtual int row_position(RowId id) = 0;             // -1 when the row is gone
  virtual Text cell_of(RowId id, int column) = 0;     // empty when the row is gone
  virtual bool set_cell_of(RowId id, int column, const Text& text) = 0;  // false when gone
  virtual void set_progress(RowId id, const RowProgress& progress) = 0;

  // On the UI thread: processes pending window messages. Elsewhere: nothing.
  virtual void pump_if_input() = 0;
  // Waits `duration` while the UI thread keeps handling window messages (a plain wait elsewhere);
  // returns early once the window is closing.
  virtual void wait_pumping(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }
  // False when the control holds characters code page 936 cannot hold (its Text has "?" for them).
  virtual bool text_fits_codepage(Control) { return true; }
  // True from the moment the window starts to close; calls then return at once with empty results.
  virtual bool closing() = 0;
};

}  // namespace kestrano
