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

 private:
  const ResultsModel& model_;
};

// "45%  1.2 MB/s", "3.4 MB  820 KB/s" when the size is unknown; the speed is left out when zero.
QString progress_label(std::int64_t done, std::int64_t total, double bytes_per_second);

}  // namespace kestrano
