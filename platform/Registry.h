#pragma once
// The settings store, shaped like a registry: two hives, keys with case-insensitive names,
// typed values kept as their exact bytes. It lives in one SQLite database, registry.db in the
// store directory. Every call is one transaction of its own (writes can be gathered into one,
// see TRegTransaction); a store that is missing, unreadable, locked for long or corrupt makes
// calls fail, never blocking for more than a moment (a transaction waits as long as it is told).
#include <cstdint>
#include <string>

struct TRegistryKey;
using HKEY = TRegistryKey*;
using LONG = long;

extern const HKEY HKEY_CLASSES_ROOT;
extern const HKEY HKEY_LOCAL_MACHINE;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_KEY_DELETED = 1018;
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;

constexpr std::uint32_t REG_SZ = 1;
constexpr std::uint32_t REG_BINARY = 3;
constexpr std::uint32_t REG_DWORD = 4;

// Opens a key for reading and writing, creating it and its parents when missing.
LONG RegCreateKeyEx(HKEY parent, const char* subKey, HKEY* result);
// Opens an existing key for reading and writing; ERROR_FILE_NOT_FOUND when it is not there.
LONG RegOpenKeyEx(HKEY parent, const char* subKey, HKEY* result);
// Reads a value (name null or empty: the key's default value). On entry *size is the size of
// data; on return the value's size. A value larger than the buffer fails with ERROR_MORE_DATA
// and leaves the buffer untouched. data null asks for type and size only.
LONG RegQueryValueEx(HKEY key, const char* name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size);
LONG RegSetValueEx(HKEY key, const char* name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size);
// Sets the default value of key (or of its subkey, created when missing) to a text; only
// REG_SZ. The text is stored with its terminating zero; length is not looked at.
LONG RegSetValue(HKEY key, const char* subKey, std::uint32_t type, const char* data, std::uint32_t length);
// Deletes a subkey and its values; fails while the subkey has subkeys of its own.
LONG RegDeleteKey(HKEY key, const char* subKey);
LONG RegCloseKey(HKEY key);

// Where the store lives: registry.db in the store directory.
const char* RegistryFileName();

// While one lives, the keys and values this process creates and writes (RegCreateKeyEx,
// RegSetValueEx, RegSetValue) go into one transaction, which Commit stores whole or not at all:
// the first write that fails undoes every write before it, and later ones fail at once. A crash
// or a kill on the way, or an end without Commit, stores none of them. Other calls keep their
// own transactions and may fail while this one holds the store. Nested ones join the outer one.
class TRegTransaction {
public:
  // A lock another connection holds on the store is waited for at most lockWaitMs.
  explicit TRegTransaction(int lockWaitMs);
  ~TRegTransaction();
  TRegTransaction(const TRegTransaction&) = delete;
  TRegTransaction& operator=(const TRegTransaction&) = delete;

  // Stores what was written: true when all of it is stored, false when nothing is (a write or
  // the commit failed). A nested transaction only reports whether the outer one still can.
  bool Commit();
  // Why it failed, in the store's words (e.g. "database is locked"); empty while it has not.
  const std::string& Error() const { return Failure; }

private:
  bool Outermost = false;
  std::string Failure;
};
