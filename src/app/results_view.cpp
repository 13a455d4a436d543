#include "app/results_view.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QScrollBar>

#include "app/fonts.h"
#include "app/results_model.h"
#include "app/status_delegate.h"

namespace kestrano {

ResultsView::ResultsView(ResultsModel& model, QWidget* parent) : QTableView(parent), model_(model) {
  setModel(&model);
  setItemDelegate(new StatusDelegate(model, this));
  setFont(yahei_font());
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setShowGrid(true);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setCornerButtonEnabled(false);
  setFrameShape(QFrame::Box);
  setFrameShadow(QFrame::Plain);
  setLineWidth(1);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

  QPalette colours = palette();
  colours.setColor(QPalette::Base, Qt::white);
  colours.setColor(QPalette::Text, Qt::black);
  setPalette(colours);
  focused_colours_ = colours;
  show_selection(false);

  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  rows->setDefaultSectionSize(fontMetrics().height() + 5);

  QHeaderView* columns = horizontalHeader();
  columns->setSectionsClickable(false);
  columns->setHighlightSections(false);
  columns->setSortIndicatorShown(false);
  columns->setSectionsMovable(false);
  columns->setStretchLastSection(false);
  columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 0; c < static_cast<int>(column_specs.size()); ++c) {
    columns->setSectionResizeMode(c, QHeaderView::Interactive);
    columns->resizeSection(c, column_specs[static_cast<std::size_t>(c)].width);
  }

  connect(&model_, &ResultsModel::rows_shown, this, [this] {
    const int row = pending_scroll_;
    pending_scroll_ = -1;
    if (row >= 0) scroll_to_shown_row(row);
  });
}

int ResultsView::current_selection() const {
  const QItemSelection selection = selectionModel()->selection();
  int first = -1;
  for (const QItemSelectionRange& range : selection) {
    if (first < 0 || range.top() < first) first = range.top();
  }
  return first;
}

void ResultsView::scroll_into_view(int row) {
  if (row < 0 || row >= model_.row_count()) return;
  if (row >= model_.rowCount()) {
    pending_scroll_ = row;
    return;
  }
  scroll_to_shown_row(row);
}

void ResultsView::scroll_to_shown_row(int row) {
  if (row >= model_.rowCount()) return;
  // A row appended just now is not laid out yet; without this the scroll range would still end
  // one row short of it.
  executeDelayedItemsLayout();
  const int horizontal = horizontalScrollBar()->value();
  scrollTo(model()->index(row, 0), QAbstractItemView::EnsureVisible);
  horizontalScrollBar()->setValue(horizontal);
}

void ResultsView::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  if (event->button() == Qt::RightButton && viewport()->rect().contains(event->position().toPoint()))
    emit right_clicked();
}

void ResultsView::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableView::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) emit double_clicked();
}


// Qt hands the selection of a removed row on to its neighbour; the list's selection goes with its row,
// so that a second "删除选中视频" or a "下载选中视频" never acts on a row the user did not choose.
void ResultsView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
  const int selected = current_selection();
  const int current = currentIndex().row();
  if ((selected >= start && selected <= end) || (current >= start && current <= end)) selectionModel()->clear();
  QTableView::rowsAboutToBeRemoved(parent, start, end);
}

void ResultsView::focusInEvent(QFocusEvent* event) {
  show_selection(true);
  QTableView::focusInEvent(event);
}

void ResultsView::focusOutEvent(QFocusEvent* event) {
  if (event->reason() != Qt::PopupFocusReason) show_selection(false);
  QTableView::focusOutEvent(event);
}

void ResultsView::show_selection(bool shown) {
  QPalette colours = focused_colours_;
  if (!shown) {
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
      colours.setColor(group, QPalette::Highlight, colours.color(group, QPalette::Base));
      colours.setColor(group, QPalette::HighlightedText, colours.color(group, QPalette::Text));
    }
  }
  setPalette(colours);
}

}  // namespace kestrano
