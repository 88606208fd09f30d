#include "text/byte_text.h"

#include <QFile>
#include <QStringDecoder>

namespace norvale {

QString FromByteText(std::string_view bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToByteText(const QString& text) { return text.toLatin1().toStdString(); }

QString FromSettingsText(std::string_view bytes) {
  QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8,
                      QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  QString text = utf8(view);
  if (!utf8.hasError()) return text;
  return QString::fromLatin1(view);
}

std::string ToSettingsText(const QString& text) { return text.toUtf8().toStdString(); }

std::string ToFileName(const QString& text) { return QFile::encodeName(text).toStdString(); }

QString FromFileName(const std::string& name) {
  return QFile::decodeName(QByteArray::fromStdString(name));
}

}  // namespace norvale
