#include "app/integer_edit.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kestrano {
namespace {

bool typable(QChar c) { return (c >= u'0' && c <= u'9') || c == u'-'; }

}  // namespace

QString normalised_integer_text(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  std::int64_t value = 0;
  constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min(value * 10 + (text[i].unicode() - u'0'), limit);
  }
  if (negative) value = -value;
  value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
  return value == 0 ? QString() : QString::number(value);
}

void IntegerEdit::keyPressEvent(QKeyEvent* event) {
  // Shortcuts (Ctrl+V, Ctrl+A, ...) pass: they insert no text themselves. Ctrl with Alt is AltGr on
  // Windows keyboards, which types characters.
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const bool shortcut = (modifiers & (Qt::ControlModifier | Qt::MetaModifier)) && !(modifiers & Qt::AltModifier);
  const QString typed = event->text();
  bool printable = !typed.isEmpty();
  for (QChar c : typed) printable = printable && c.isPrint();
  if (printable && !shortcut) {
    for (QChar c : typed) {
      if (!typable(c)) {
        event->accept();
        return;
      }
    }
  }
  QLineEdit::keyPressEvent(event);
}

void IntegerEdit::inputMethodEvent(QInputMethodEvent* event) {
  QString kept;
  for (QChar c : event->commitString()) {
    if (typable(c)) kept += c;
  }
  if (kept == event->commitString()) {
    QLineEdit::inputMethodEvent(event);
    return;
  }
  QInputMethodEvent filtered(event->preeditString(), event->attributes());
  filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
  QLineEdit::inputMethodEvent(&filtered);
  event->accept();
}

void IntegerEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const QString normalised = normalised_integer_text(text());
  if (normalised != text()) setText(normalised);
}

}  // namespace kestrano
