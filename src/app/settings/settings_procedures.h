#pragma once

#include <QString>

namespace norvale {

class Session;
struct ParsedSettings;
struct WindowControls;

// The three owners of "KX40dwn.ini", all in the session's settings folder.

// Creates the file with the factory lines; false when it could not be written.
bool WriteDefaultSettings(const QString& folder);

// Makes the settings folder current and reads the file into the controls (running their
// handlers) and the session's settings. Stops at the first line that fails, keeping what was
// applied before it. A file that cannot be read at all reads as the factory file. A file that
// stopped early, or had a line without its key, is also copied to "KX40dwn.ini.bak": the save at
// exit would otherwise write the window's values over what the user had in it.
void LoadSettings(const WindowControls& controls, Session& session);

// Rewrites the file from the controls and the settings; false, with the old file untouched,
// when the new one could not be written.
bool SaveSettings(const WindowControls& controls, const Session& session);

// LoadSettings' second step: puts what the file's lines said into the controls (running their
// handlers) and the session's settings, line by line in file order, as far as the reading got. The
// line that stopped it and every later one leave their controls as they were, but for the slave ID
// box, which shows line 4's text all the same; a file that ended after line 5 gets the factory
// database path.
void ApplySettings(const ParsedSettings& read, const WindowControls& controls, Session& session);

}  // namespace norvale
