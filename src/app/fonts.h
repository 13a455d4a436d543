#pragma once
// The three faces of the form. Each names the Windows family first; the Chinese-capable fallback
// behind it draws the captions where that family is not installed.

#include <QFont>

namespace kestrano {

QFont yahei_font();    // 微软雅黑: captions, labels, the list
QFont verdana_font();  // Verdana: the edit boxes
QFont heiti_font();    // 黑体: the small "选择" button

}  // namespace kestrano
