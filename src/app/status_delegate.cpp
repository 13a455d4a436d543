#include "app/status_delegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <QPainter>

#include <algorithm>
#include <chrono>

#include "app/results_model.h"

namespace kestrano {
namespace {

QString byte_amount(double bytes) {
  if (bytes >= 1024.0 * 1024 * 1024) return QString::number(bytes / (1024.0 * 1024 * 1024), 'f', 2) + " GB";
  if (bytes >= 1024.0 * 1024) return QString::number(bytes / (1024.0 * 1024), 'f', 1) + " MB";
  if (bytes >= 1024.0) return QString::number(bytes / 1024.0, 'f', 0) + " KB";
  return QString::number(bytes, 'f', 0) + " B";
}

// The filled part of the bar: a share of the cell when the size is known; otherwise a block that
// slides along the cell, so a transfer of unknown size still shows that it lives.
QRect bar_rect(const QRect& cell, const RowProgress& progress) {
  QRect area = cell.adjusted(1, 1, -1, -1);
  if (progress.total > 0) {
    double share = std::clamp(static_cast<double>(progress.done) / static_cast<double>(progress.total), 0.0, 1.0);
    area.setWidth(static_cast<int>(area.width() * share));
    return area;
  }
  const int block = std::max(area.width() / 4, 8);
  const int span = std::max(area.width() - block, 1);
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch()).count();
  const int travel = static_cast<int>((now / 15) % (2 * span));
  const int offset = travel < span ? travel : 2 * span - travel;
  return QRect(area.left() + offset, area.top(), block, area.height());
}

}  // namespace

QString progress_label(std::int64_t done, std::int64_t total, double bytes_per_second) {
  QString label;
  if (total > 0) {
    label = QString::number(std::clamp<std::int64_t>(done * 100 / total, 0, 100)) + "%";
  } else {
    label = byte_amount(static_cast<double>(done));
  }
  if (bytes_per_second > 0) label += "  " + byte_amount(bytes_per_second) + "/s";
  return label;
}

QString progress_details(std::int64_t done, std::int64_t total, double bytes_per_second) {
  QString details = byte_amount(static_cast<double>(done));
  if (total > 0) details += " / " + byte_amount(static_cast<double>(total));
  if (bytes_per_second > 0) details += "  " + byte_amount(bytes_per_second) + "/s";
  return details;
}

bool StatusDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                               const QModelIndex& index) {
  const RowProgress* progress = index.column() == col_status ? model_.progress(index.row()) : nullptr;
  if (event && event->type() == QEvent::ToolTip && progress && progress->active) {
    QToolTip::showText(event->globalPos(), progress_details(progress->done, progress->total, progress->bytes_per_second),
                       view);
    return true;
  }
  return QStyledItemDelegate::helpEvent(event, view, option, index);
}

StatusDelegate::StatusDelegate(const ResultsModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

void StatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const RowProgress* progress = index.column() == col_status ? model_.progress(index.row()) : nullptr;
  if (!progress || !progress->active) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QWidget* widget = item.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();

  const QString text = item.text;
  item.text.clear();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

  painter->save();
  painter->fillRect(bar_rect(item.rect, *progress), QColor(0x06, 0xB0, 0x25, 0x60));
  const QRect text_area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
  const bool selected = item.state & QStyle::State_Selected;
  painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  painter->setFont(item.font);
  const QFontMetrics metrics(item.font);

  // The status text comes first; the figures take the room that is left, the speed going first.
  const int text_width = metrics.horizontalAdvance(text);
  const int gap = metrics.horizontalAdvance(QLatin1Char(' '));
  QString label = progress_label(progress->done, progress->total, progress->bytes_per_second);
  if (text_width + gap + metrics.horizontalAdvance(label) > text_area.width())
    label = progress_label(progress->done, progress->total, 0);
  if (text_width + gap + metrics.horizontalAdvance(label) > text_area.width()) label.clear();
  painter->drawText(text_area, Qt::AlignLeft | Qt::AlignVCenter,
                    metrics.elidedText(text, Qt::ElideRight, text_area.width()));
  if (!label.isEmpty()) painter->drawText(text_area, Qt::AlignRight | Qt::AlignVCenter, label);
  painter->restore();
}

}  // namespace kestrano
