#include "app/fonts.h"

#include <QStringList>

namespace kestrano {
namespace {

// 12 pixels is the 9 points of the form at 96 DPI; pixels keep the controls' fixed sizes right at
// any screen resolution.
QFont font_of(QStringList families) {
  families << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("Noto Sans CJK SC")
           << QStringLiteral("Source Han Sans SC") << QStringLiteral("Droid Sans Fallback");
  QFont font;
  font.setFamilies(families);
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  return font;
}

}  // namespace

QFont yahei_font() { return font_of({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei")}); }

QFont verdana_font() { return font_of({QStringLiteral("Verdana")}); }

QFont heiti_font() { return font_of({QStringLiteral("黑体"), QStringLiteral("SimHei")}); }

}  // namespace kestrano
