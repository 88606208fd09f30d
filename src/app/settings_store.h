#pragma once

#include <QString>
#include <optional>
#include <string>

namespace norvale {

// The settings file on disk, as bytes: nothing here interprets them.

QString SettingsFilePath(const QString& folder);
bool SettingsFileExists(const QString& folder);
// Nothing when the file cannot be opened or read.
std::optional<std::string> ReadSettingsFile(const QString& folder);
// Writes a temporary file beside the old one and renames it over it, so a save that fails
// (read-only folder, full disk) leaves the previous file whole.
bool ReplaceSettingsFile(const QString& folder, const std::string& bytes);

}  // namespace norvale
