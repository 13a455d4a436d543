#pragma once
// Paints the list's cells. In the status column of a row that is downloading it paints a progress
// bar behind the status text, with the percentage (or the bytes so far when the size is unknown) and
// the speed where they fit. The cell's text stays exactly the status text.

#include <QStyledItemDelegate>

#include <cstdint>

namespace kestrano {

class ResultsModel;

class StatusDelegate final : public QStyledItemDelegate {
 public:
  StatusDelegate(const ResultsModel& model, QObject* parent);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // Over a downloading row's status cell: the bytes so far, the size and the speed in full, for when
  // the narrow cell has no room for them.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

 private:
  const ResultsModel& model_;
};

// "1.5 MB / 2.9 MB  820 KB/s" (or without " / size" when it is unknown).
QString progress_details(std::int64_t done, std::int64_t total, double bytes_per_second);

// "45%  1.2 MB/s", "3.4 MB  820 KB/s" when the size is unknown; the speed is left out when zero.
QString progress_label(std::int64_t done, std::int64_t total, double bytes_per_second);

}  // namespace kestrano
