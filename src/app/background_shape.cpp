#include "app/background_shape.h"

#include <QPainter>

namespace kestrano {

void BackgroundShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(0xF0, 0xF0, 0xF0));
  painter.setPen(QPen(Qt::white, 1));
  painter.setBrush(Qt::NoBrush);
  // A 1-pixel pen drawn on rect().adjusted(0, 0, -1, -1) stays inside the bounds.
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace kestrano
