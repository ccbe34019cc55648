#include "framework/TRegKey.h"

TRegKey::TRegKey(HKEY base, const char* keyName, bool create)
{
  const LONG r = create ? RegCreateKeyEx(base, keyName, &Key) : RegOpenKeyEx(base, keyName, &Key);
  if (r != ERROR_SUCCESS)
    Key = nullptr;
}

TRegKey::~TRegKey()
{
  if (Key)
    RegCloseKey(Key);
}

LONG TRegKey::QueryValue(const char* name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) const
{
  return Key ? RegQueryValueEx(Key, name, type, data, size) : ERROR_INVALID_HANDLE;
}

LONG TRegKey::SetValue(const char* name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) const
{
  return Key ? RegSetValueEx(Key, name, type, data, size) : ERROR_INVALID_HANDLE;
}

LONG TRegKey::SetDefValue(const char* subKey, std::uint32_t type, const char* data, std::uint32_t size) const
{
  return Key ? RegSetValue(Key, subKey, type, data, size) : ERROR_INVALID_HANDLE;
}

LONG TRegKey::DeleteKey(const char* subKey) const
{
  return Key ? RegDeleteKey(Key, subKey) : ERROR_INVALID_HANDLE;
}
