#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace norvale {

// Byte texts from the meter and the record table (channel names, status texts, record cells)
// hold one char per byte of an 8-bit code page. Latin-1 maps every byte to one character and
// back, so a value shown in a control and written out again keeps its exact bytes.
QString FromByteText(std::string_view bytes);
std::string ToByteText(const QString& text);

// Values of the settings file. New files are UTF-8; files from older installations hold 8-bit
// text, so a value that is not valid UTF-8 is read as Latin-1 ("M\xfcller" reads "Müller").
QString FromSettingsText(std::string_view bytes);
std::string ToSettingsText(const QString& text);

// File names as the system's file calls take them (LogFilePath, DatabasePath): the OS's own
// file-name encoding, so any name a user can type or pick opens that very file.
std::string ToFileName(const QString& text);
QString FromFileName(const std::string& name);

}  // namespace norvale
