#include "app/byte_text.h"

namespace norvale {

QString FromByteText(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToByteText(const QString& text) { return text.toLatin1().toStdString(); }

std::optional<std::string> ToByteTextExactly(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() > 0xFF) return std::nullopt;
  }
  return ToByteText(text);
}

}  // namespace norvale
