#pragma once
// The rows of 超级列表框1: six text cells each, addressed by position like every list operation of the
// system, plus what the list needs beyond the texts: an identity given when a row is appended (work
// that must follow its row whatever is deleted around it addresses it by that) and a download
// progress that the status cell paints behind its text.
//
// UI thread only; other threads reach it through the window bridge.

#include <QAbstractTableModel>
#include <QTimer>

#include <array>
#include <vector>

#include "platform/window_port.h"

namespace kestrano {

struct ColumnSpec {
  const char* header;  // UTF-8
  int width;           // pixels
};

inline constexpr std::array<ColumnSpec, column_count> column_specs = {{
    {"排序", 50},
    {"视频标题", 200},
    {"发布时间", 140},
    {"时长/秒", 60},
    {"视频地址", 235},
    {"下载状态", 120},
}};

// Appended rows reach the views in batches: a collection appends rows one call at a time, and a
// view told of each at once would lay out and repaint itself for every one. The list operations see
// every row at once; views see new rows at the next batch, a few milliseconds later.
class ResultsModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ResultsModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The new row's position; all its cells empty.
  int append_row();
  // Appends a row filled from column 0 on (cells past the last column are ignored); an empty first
  // cell is numbered position + 1.
  int append_filled_row(const std::vector<Text>& cells);
  // Rows or columns that do not exist are ignored (writes) or read as empty text.
  void set_cell(int row, int column, const Text& text);
  Text cell(int row, int column) const;
  int row_count() const { return static_cast<int>(rows_.size()); }
  void delete_row(int row);
  void delete_all_rows();

  RowId row_id(int row) const;         // 0 when the row does not exist
  int row_position(RowId id) const;    // -1 when the row is gone
  void set_progress(RowId id, const RowProgress& progress);
  // Null when the row does not exist.
  const RowProgress* progress(int row) const;

  // Tells the views of the rows appended since the last batch now.
  void show_pending_rows();

 signals:
  // A batch of appended rows has reached the views.
  void rows_shown();

 private:
  struct Row {
    RowId id = 0;
    std::array<Text, column_count> cells;
    RowProgress progress;
  };

  bool has_cell(int row, int column) const;
  bool shown(int row) const { return row < shown_; }

  // Appends keep rows in the order of their ids and deletes never reorder them, so a row is found
  // by binary search on its id.
  std::vector<Row> rows_;
  int shown_ = 0;  // rows the views know of: always the first ones
  RowId next_id_ = 1;
  QTimer* batch_timer_;
};

}  // namespace kestrano
