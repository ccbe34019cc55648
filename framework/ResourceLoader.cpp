#include "framework/ResourceLoader.h"

#include "resources/ResourceTypes.h"

#include <QFile>
#include <algorithm>
#include <cstring>

int LoadString(UINT id, char* buffer, int size)
{
  if (!buffer || size <= 0)
    return 0;
  const char* text = FindStringResource(id);
  const std::size_t length = text ? std::min(std::strlen(text), std::size_t(size - 1)) : 0;
  if (length > 0)
    std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return int(length);
}

QImage LoadBitmap(int id)
{
  return QImage(QStringLiteral(":/bitmap/%1").arg(id), "BMP");
}

QIcon LoadIcon(int id)
{
  const QString path = QStringLiteral(":/icon/%1").arg(id);
  return QFile::exists(path) ? QIcon(path) : QIcon();
}
