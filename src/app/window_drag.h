#pragma once
// A left-button press on the window's surface (the background, the group boxes, the labels) moves the
// window as a press on its title bar would. The window manager does the move where it offers that;
// elsewhere the window follows the mouse.

#include <QObject>
#include <QPoint>

class QWidget;

namespace kestrano {

class WindowDrag final : public QObject {
 public:
  explicit WindowDrag(QWidget* window);
  // The surfaces that start a drag.
  void watch(QWidget* surface);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  bool following_ = false;
  QPoint grab_offset_;  // mouse position minus window position, while following
};

}  // namespace kestrano
