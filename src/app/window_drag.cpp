#include "app/window_drag.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace kestrano {

WindowDrag::WindowDrag(QWidget* window) : QObject(window), window_(window) {}

void WindowDrag::watch(QWidget* surface) { surface->installEventFilter(this); }

bool WindowDrag::eventFilter(QObject*, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      QWindow* handle = window_->windowHandle();
      if (handle && handle->startSystemMove()) return true;
      following_ = true;
      grab_offset_ = mouse->globalPosition().toPoint() - window_->pos();
      return true;
    }
    case QEvent::MouseMove: {
      if (!following_) return false;
      auto* mouse = static_cast<QMouseEvent*>(event);
      window_->move(mouse->globalPosition().toPoint() - grab_offset_);
      return true;
    }
    case QEvent::MouseButtonRelease: {
      if (!following_ || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
      following_ = false;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace kestrano
