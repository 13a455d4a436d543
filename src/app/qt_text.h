#pragma once
// The GUI edge of the text layer: a control's QString and the system's code page 936 Text.

#include <QString>

#include "text/codepage.h"

namespace kestrano {

inline QString qstring_from_text(const Text& text) { return QString::fromStdU16String(utf16_from_gbk(text)); }

// Characters code page 936 cannot hold become "?".
inline Text text_from_qstring(const QString& text) { return gbk_from_utf16(text.toStdU16String()); }

// The system's own texts are UTF-8 literals in the source.
inline QString ui_text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace kestrano
