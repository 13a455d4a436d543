#pragma once
// 编辑框_时长控制: an edit box for a signed 32-bit integer. Typing lets only the digits and the minus
// sign in; text that arrives otherwise (pasted, dropped) is allowed in and rewritten when the box loses
// the focus.

#include <QLineEdit>

namespace kestrano {

// The leading integer of the text (blanks before it skipped, an optional sign), clamped to 32 bits;
// empty text for 0 and for text without a leading integer.
QString normalised_integer_text(const QString& text);

class IntegerEdit final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace kestrano
