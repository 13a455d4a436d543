// A reference beside the start-up baseline: the bare window with one line of text in the program's
// font, so the table can tell what text alone (fontconfig, the font file, shaping) costs a window.

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Kestrano"));
  window.setFixedSize(867, 573);
  QFont font;
  font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei")});
  font.setPixelSize(12);
  auto* label = new QLabel(QStringLiteral("作者主页链接"), &window);
  label->setFont(font);
  label->move(20, 20);
  window.show();
  return QApplication::exec();
}
