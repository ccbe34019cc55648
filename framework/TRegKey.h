#pragma once
#include "platform/Registry.h"

// One open key of the store, opened (and created when missing) with full access for the
// lifetime of the object. A key that could not be opened makes every operation fail.
class TRegKey {
public:
  // create false opens an existing key only.
  TRegKey(HKEY base, const char* keyName, bool create = true);
  ~TRegKey();
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  bool IsOpen() const { return Key != nullptr; }
  operator HKEY() const { return Key; }

  LONG QueryValue(const char* name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) const;
  LONG SetValue(const char* name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size) const;
  // Sets the default value of the key itself (subKey null) or of a subkey.
  LONG SetDefValue(const char* subKey, std::uint32_t type, const char* data, std::uint32_t size) const;
  LONG DeleteKey(const char* subKey) const;

private:
  HKEY Key = nullptr;
};
