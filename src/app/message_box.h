#pragma once
// The only way the program tells the user something: an information box with one OK button, modal
// for the whole program, owned by the main window. Returns when it is dismissed.

#include <QString>

class QWidget;

namespace kestrano {

void show_information(QWidget* owner, const QString& text, const QString& title);

}  // namespace kestrano
