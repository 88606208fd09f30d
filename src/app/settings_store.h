#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace norvale {

// The settings file on disk. Nothing here interprets the lines.

QString SettingsFilePath(const QString& folder);
bool SettingsFileExists(const QString& folder);
// The first `count` lines of the file, split by SettingsLineSplitter. Reads only as far as
// those lines go, so a huge or runaway file costs no more than the lines it is read for.
// Nothing when the file cannot be opened or read.
std::optional<std::vector<std::string>> ReadSettingsLines(const QString& folder, int count);
// Writes a temporary file beside the old one and renames it over it, so a save that fails
// (read-only folder, full disk) leaves the previous file whole.
bool ReplaceSettingsFile(const QString& folder, const std::string& bytes);

// "KX40dwn.ini.bak": a copy of the file as it is on disk, replacing an older copy. Taken from a
// file that did not read back whole, before the next save writes over what the user had.
QString SettingsBackupPath(const QString& folder);
bool BackUpSettingsFile(const QString& folder);

}  // namespace norvale
