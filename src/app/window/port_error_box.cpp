#include "app/window/port_error_box.h"

#include <QMessageBox>

namespace norvale {

void ShowPortErrorBox(QWidget* parent, const PortErrorMessage& message) {
  QMessageBox box(QMessageBox::Warning, QString::fromStdString(message.title),
                  QString::fromStdString(message.text), QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("PortErrorBox"));
  if (!message.details.empty()) box.setDetailedText(QString::fromStdString(message.details));
  box.exec();
}

}  // namespace norvale
