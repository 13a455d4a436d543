#pragma once
// 外形框_底图: the rectangle behind everything, filled light grey and outlined in white.

#include <QWidget>

namespace kestrano {

class BackgroundShape final : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kestrano
