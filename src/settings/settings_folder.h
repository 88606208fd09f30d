#pragma once

#include <QString>

namespace norvale {

// The file that makes the program's folder a portable one. The build writes it beside the
// program it builds; an installed program has none, so it never writes into /usr/bin.
inline constexpr char kPortableMarker[] = "portable";

// The one folder that holds "KX40dwn.ini": the program's own folder when it holds
// kPortableMarker and can be written, else <configHome>/norvale-download (created when missing).
QString ChooseSettingsFolder(const QString& programFolder, const QString& configHome);

// ChooseSettingsFolder for this process: its own folder, or $XDG_CONFIG_HOME (~/.config).
QString SettingsFolder();

// The folder a relative log file name lands in: the settings folder while the program runs from
// its own folder (a build or a portable folder), else the documents folder when it exists, else
// home. An installed program must not hide the user's files in its settings folder.
QString ChooseOutputFolder(const QString& settingsFolder, const QString& programFolder,
                           const QString& documents, const QString& home);

// ChooseOutputFolder for this process and the desktop's standard documents folder.
QString OutputFolder(const QString& settingsFolder);

}  // namespace norvale
