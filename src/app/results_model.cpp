#include "app/results_model.h"

#include <algorithm>
#include <string>

#include "app/qt_text.h"

namespace kestrano {

namespace {

// Often enough for the list to follow a collection smoothly, rarely enough that repainting does not
// hold up the rows.
constexpr int batch_interval_ms = 30;

}  // namespace

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent), batch_timer_(new QTimer(this)) {
  batch_timer_->setSingleShot(true);
  batch_timer_->setInterval(batch_interval_ms);
  connect(batch_timer_, &QTimer::timeout, this, &ResultsModel::show_pending_rows);
}

int ResultsModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int ResultsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : column_count; }

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !shown(index.row()) || !has_cell(index.row(), index.column())) return {};
  switch (role) {
    case Qt::DisplayRole:
      return qstring_from_text(rows_[static_cast<std::size_t>(index.row())].cells[static_cast<std::size_t>(index.column())]);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
      return {};
  }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= column_count) return {};
  if (role == Qt::DisplayRole) return QString::fromUtf8(column_specs[static_cast<std::size_t>(section)].header);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  return {};
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ResultsModel::append_row() { return append_filled_row({}); }

int ResultsModel::append_filled_row(const std::vector<Text>& cells) {
  const int position = row_count();
  Row row;
  row.id = next_id_++;
  std::copy_n(cells.begin(), std::min<std::size_t>(cells.size(), column_count), row.cells.begin());
  if (!cells.empty() && cells[0].empty()) row.cells[col_order] = std::to_string(position + 1);
  rows_.push_back(std::move(row));
  if (!batch_timer_->isActive()) batch_timer_->start();
  return position;
}

void ResultsModel::show_pending_rows() {
  batch_timer_->stop();
  if (shown_ == row_count()) return;
  beginInsertRows({}, shown_, row_count() - 1);
  shown_ = row_count();
  endInsertRows();
  emit rows_shown();
}

bool ResultsModel::has_cell(int row, int column) const {
  return row >= 0 && row < row_count() && column >= 0 && column < column_count;
}

void ResultsModel::set_cell(int row, int column, const Text& text) {
  if (!has_cell(row, column)) return;
  rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)] = text;
  if (!shown(row)) return;
  const QModelIndex changed = index(row, column);
  emit dataChanged(changed, changed, {Qt::DisplayRole});
}

Text ResultsModel::cell(int row, int column) const {
  if (!has_cell(row, column)) return {};
  return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

void ResultsModel::delete_row(int row) {
  if (row < 0 || row >= row_count()) return;
  // Views learn of removals at once, so they must know every row first.
  show_pending_rows();
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  shown_ = row_count();
  endRemoveRows();
}

void ResultsModel::delete_all_rows() {
  if (rows_.empty()) return;
  show_pending_rows();
  beginRemoveRows({}, 0, row_count() - 1);
  rows_.clear();
  shown_ = 0;
  endRemoveRows();
}

RowId ResultsModel::row_id(int row) const {
  if (row < 0 || row >= row_count()) return 0;
  return rows_[static_cast<std::size_t>(row)].id;
}

int ResultsModel::row_position(RowId id) const {
  auto found = std::lower_bound(rows_.begin(), rows_.end(), id, [](const Row& r, RowId wanted) { return r.id < wanted; });
  if (id == 0 || found == rows_.end() || found->id != id) return -1;
  return static_cast<int>(found - rows_.begin());
}

void ResultsModel::set_progress(RowId id, const RowProgress& progress) {
  const int row = row_position(id);
  if (row < 0) return;
  rows_[static_cast<std::size_t>(row)].progress = progress;
  if (!shown(row)) return;
  const QModelIndex changed = index(row, col_status);
  emit dataChanged(changed, changed);
}

const RowProgress* ResultsModel::progress(int row) const {
  if (row < 0 || row >= row_count()) return nullptr;
  return &rows_[static_cast<std::size_t>(row)].progress;
}

}  // namespace kestrano
