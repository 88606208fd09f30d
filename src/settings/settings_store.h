#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

namespace norvale {

// The settings file on disk. Nothing here interprets the lines.

QString SettingsFilePath(const QString& folder);
bool SettingsFileExists(const QString& folder);
struct StoredSettingsLines {
  std::vector<std::string> lines;
  // A line was cut or the file began with a byte-order mark (SettingsLineSplitter::damaged).
  bool damaged = false;
};
// The first `count` lines of the file, split by SettingsLineSplitter. Reads only as far as
// those lines go, so a huge or runaway file costs no more than the lines it is read for.
// Nothing when the file cannot be opened or read.
std::optional<StoredSettingsLines> ReadSettingsLines(const QString& folder, int count);
// Replaces the file through ReplaceFile, so a save that fails (read-only folder, full disk)
// leaves the previous file whole.
bool ReplaceSettingsFile(const QString& folder, const std::string& bytes);

// "KX40dwn.ini.bak": the file as it is on disk (a hard link, or a copy where the folder has
// none), replacing an older one. Taken from a file that did not read back whole, before the next
// save replaces what the user had.
QString SettingsBackupPath(const QString& folder);
bool BackUpSettingsFile(const QString& folder);

}  // namespace norvale
