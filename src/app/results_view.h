#pragma once
// 超级列表框1 as a report view: one selected row at most, whole rows selected, grid lines, headers that
// show but do not sort, no editing. Rows have one fixed height, so neither appending nor scrolling
// ever measures rows, however many there are.

#include <QTableView>

namespace kestrano {

class ResultsModel;

class ResultsView final : public QTableView {
  Q_OBJECT

 public:
  ResultsView(ResultsModel& model, QWidget* parent);

  // Position of the selected row, or -1.
  int current_selection() const;
  // Scrolls vertically only, as the list's own scrolling does; the horizontal position stays. A row
  // the view does not show yet is scrolled to when its batch arrives.
  void scroll_into_view(int row);

 signals:
  // The right button was released over the rows area (also below the last row).
  void right_clicked();
  // A left-button double-click anywhere on the rows area.
  void double_clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

 private:
  void scroll_to_shown_row(int row);
  // The selection shows only while the list has the focus (or lends it to its context menu).
  void show_selection(bool shown);

  ResultsModel& model_;
  QPalette focused_colours_;
  int pending_scroll_ = -1;
};

}  // namespace kestrano
