#include "app/controls/save_file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QPointer>

namespace norvale {
namespace {

SaveFileChooser DialogChooser(QWidget* parent, QFileDialog::AcceptMode mode) {
  QPointer<QWidget> owner(parent);
  return [owner, mode](const SaveFileRequest& request) -> std::optional<QString> {
    QFileDialog dialog(owner, request.title,
                       request.folder.isEmpty() ? QDir::currentPath() : request.folder,
                       request.filter);
    dialog.setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
  };
}

}  // namespace

SaveFileChooser DialogSaveFileChooser(QWidget* parent) {
  return DialogChooser(parent, QFileDialog::AcceptSave);
}

OpenFileChooser DialogOpenFileChooser(QWidget* parent) {
  return DialogChooser(parent, QFileDialog::AcceptOpen);
}

}  // namespace norvale
