#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace norvale {

// What the file dialog is set to before it is shown.
struct SaveFileRequest {
  QString title;
  QString filter;
  QString fileName;
  QString folder;  // where the dialog opens; empty: the current folder
};

// Shows the dialog; the chosen full path, or nothing when the user cancelled.
using SaveFileChooser = std::function<std::optional<QString>(const SaveFileRequest&)>;

// The desktop's save dialog over `parent`.
SaveFileChooser DialogSaveFileChooser(QWidget* parent);

// Picks an existing file to read, so it never asks whether to replace one.
using OpenFileChooser = SaveFileChooser;
OpenFileChooser DialogOpenFileChooser(QWidget* parent);

}  // namespace norvale
