#pragma once
// The program's texts are bytes; Qt's are UTF-16. Latin-1 maps the 256 byte values one to one,
// so a text survives the round trip unchanged.
#include <QString>
#include <string>
#include <string_view>

inline QString ToQString(std::string_view bytes)
{
  return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// Characters beyond U+00FF (only a field that lets pastes in unfiltered can hold them) become '?'.
inline std::string ToBytes(const QString& text)
{
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), std::size_t(bytes.size()));
}
