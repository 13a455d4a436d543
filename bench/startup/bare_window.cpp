// The start-up benchmark's baseline: a bare Qt window of the program's client size and title, built
// and started the same way as the program, with nothing behind it.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Kestrano"));
  window.setFixedSize(867, 573);
  window.show();
  return QApplication::exec();
}
