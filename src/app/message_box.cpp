#include "app/message_box.h"

#include <QMessageBox>

namespace kestrano {

void show_information(QWidget* owner, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, owner);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace kestrano
