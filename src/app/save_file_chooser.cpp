#include "app/save_file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QPointer>

namespace norvale {

SaveFileChooser DialogSaveFileChooser(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  return [owner](const SaveFileRequest& request) -> std::optional<QString> {
    QFileDialog dialog(owner, request.title,
                       request.folder.isEmpty() ? QDir::currentPath() : request.folder,
                       request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
  };
}

}  // namespace norvale
