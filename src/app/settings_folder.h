#pragma once

#include <QString>

namespace norvale {

// The one folder that holds "KX40dwn.ini": the program's own folder when it can be written,
// else <configHome>/norvale-download (created when missing).
QString ChooseSettingsFolder(const QString& programFolder, const QString& configHome);

// ChooseSettingsFolder for this process: its own folder, or $XDG_CONFIG_HOME (~/.config).
QString SettingsFolder();

}  // namespace norvale
