#pragma once

#include <QString>
#include <optional>
#include <string>

namespace norvale {

// Byte texts (settings values, record cells, meter names) hold one char per byte of an 8-bit
// code page. Latin-1 maps every byte to one character and back, so a value shown in a control
// and written out again keeps its exact bytes.
QString FromByteText(const std::string& bytes);
std::string ToByteText(const QString& text);

// Nothing when the text holds a character no byte can carry (a chosen file name, say).
std::optional<std::string> ToByteTextExactly(const QString& text);

}  // namespace norvale
