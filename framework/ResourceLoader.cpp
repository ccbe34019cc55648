#include "framework/ResourceLoader.h"

#include "framework/Latin1.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace {
// None until a program hands its own over: every lookup finds nothing.
TResourceSet Resources;

template <typename T, typename Id> const T* FindById(std::span<const T> table, Id id)
{
  const auto found = std::find_if(table.begin(), table.end(), [id](const T& entry) { return entry.Id == id; });
  return found != table.end() ? &*found : nullptr;
}

// The file of this id in a folder of Qt's resources; none without the folder, so that no
// lookup ever reaches the file system.
QString ResourcePath(const char* folder, int id)
{
  return folder && *folder ? QStringLiteral("%1/%2").arg(ToQString(folder)).arg(id) : QString();
}
}   // namespace

void UseResources(const TResourceSet& resources)
{
  Resources = resources;
}

const TDialogTemplate* FindDialogTemplate(int id)
{
  return FindById(Resources.Dialogs, id);
}

const TMenuTemplate* FindMenuTemplate(int id)
{
  return FindById(Resources.Menus, id);
}

const TAcceleratorTable* FindAcceleratorTable(int id)
{
  return FindById(Resources.Accelerators, id);
}

int LoadString(UINT id, char* buffer, int size)
{
  if (!buffer || size <= 0)
    return 0;
  const TStringEntry* entry = FindById(Resources.Strings, unsigned(id));
  const char* text = entry && entry->Text ? entry->Text : "";
  const std::size_t length = std::min(std::strlen(text), std::size_t(size - 1));
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return int(length);
}

std::string LoadString(UINT id)
{
  const TStringEntry* entry = FindById(Resources.Strings, unsigned(id));
  return entry && entry->Text ? entry->Text : "";
}

QImage LoadBitmap(int id)
{
  return QImage(ResourcePath(Resources.BitmapFolder, id), "BMP");
}

QIcon LoadIcon(int id)
{
  const QString path = ResourcePath(Resources.IconFolder, id);
  return QFile::exists(path) ? QIcon(path) : QIcon();
}
