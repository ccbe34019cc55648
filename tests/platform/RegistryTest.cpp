#include "platform/Registry.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

struct Key {
  HKEY H = nullptr;
  Key(HKEY base, const char* name) { EXPECT_EQ(RegCreateKeyEx(base, name, &H), ERROR_SUCCESS); }
  ~Key()
  {
    if (H)
      RegCloseKey(H);
  }
};

LONG Query(HKEY key, const char* name, std::string& out, std::uint32_t room, std::uint32_t* type = nullptr)
{
  std::string buffer(room, '\x7f');
  std::uint32_t size = room;
  const LONG r = RegQueryValueEx(key, name, type, reinterpret_cast<std::uint8_t*>(buffer.data()), &size);
  out = r == ERROR_SUCCESS ? buffer.substr(0, size) : buffer;
  return r;
}

LONG Set(HKEY key, const char* name, const std::string& bytes, std::uint32_t type = REG_SZ)
{
  return RegSetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                       std::uint32_t(bytes.size()));
}

class RegistryTest : public ::testing::Test {
protected:
  TScratchStore Store;
};

TEST_F(RegistryTest, ValuesKeepTheirExactBytesAndTypeAndNamesIgnoreCase)
{
  Key k(HKEY_LOCAL_MACHINE, "Software\\Kalvix");
  const std::string bytes("96\0\0\xff", 5);
  ASSERT_EQ(Set(k.H, "Baudrate", bytes, REG_BINARY), ERROR_SUCCESS);

  Key again(HKEY_LOCAL_MACHINE, "SOFTWARE\\kalvix");
  std::string got;
  std::uint32_t type = 0;
  ASSERT_EQ(Query(again.H, "BAUDRATE", got, 5, &type), ERROR_SUCCESS);
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(type, REG_BINARY);

  // Replacing keeps one value, with the new bytes.
  ASSERT_EQ(Set(k.H, "baudrate", "1", REG_SZ), ERROR_SUCCESS);
  ASSERT_EQ(Query(k.H, "Baudrate", got, 5, &type), ERROR_SUCCESS);
  EXPECT_EQ(got, "1");
  EXPECT_EQ(type, REG_SZ);
}

TEST_F(RegistryTest, ABufferTooSmallFailsAndIsLeftUntouched)
{
  Key k(HKEY_LOCAL_MACHINE, "Software\\Kalvix");
  ASSERT_EQ(Set(k.H, "Handshake", std::string("Hardware\0\0\0\0", 12)), ERROR_SUCCESS);
  std::string got;
  EXPECT_EQ(Query(k.H, "Handshake", got, 11), ERROR_MORE_DATA);
  EXPECT_EQ(got, std::string(11, '\x7f'));
  EXPECT_EQ(Query(k.H, "Handshake", got, 12), ERROR_SUCCESS);
  EXPECT_EQ(got.size(), 12u);

  std::uint32_t size = 0;
  EXPECT_EQ(RegQueryValueEx(k.H, "Handshake", nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(Query(k.H, "Missing", got, 12), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, HivesAreSeparateAndTheDefaultValueCarriesItsTerminator)
{
  Key icon(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon");
  ASSERT_EQ(RegSetValue(icon.H, nullptr, REG_SZ, "/usr/bin/kalvix", 15), ERROR_SUCCESS);
  std::string got;
  ASSERT_EQ(Query(icon.H, nullptr, got, 64), ERROR_SUCCESS);
  EXPECT_EQ(got, std::string("/usr/bin/kalvix\0", 16));
  ASSERT_EQ(Query(icon.H, "", got, 64), ERROR_SUCCESS);

  Key other(HKEY_LOCAL_MACHINE, "Kalvix.Application\\DefaultIcon");
  EXPECT_EQ(Query(other.H, nullptr, got, 64), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegSetValue(icon.H, nullptr, REG_DWORD, "x", 1), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, AKeyWithSubkeysCannotBeDeletedUntilTheyAreGone)
{
  {
    Key k(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon");
    ASSERT_EQ(Set(k.H, "", "x"), ERROR_SUCCESS);
  }
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_ACCESS_DENIED);
  {
    Key parent(HKEY_CLASSES_ROOT, "kalvix.application");
    EXPECT_EQ(RegDeleteKey(parent.H, "DEFAULTICON"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(parent.H, "DefaultIcon"), ERROR_FILE_NOT_FOUND);
  }
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, ""), ERROR_INVALID_PARAMETER);

  // The deleted key took its values with it: a new key of the same name starts empty.
  Key reborn(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon");
  std::string got;
  EXPECT_EQ(Query(reborn.H, "", got, 8), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, OpeningWithoutCreateFindsOnlyExistingKeys)
{
  HKEY k = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Document.1", &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(k, nullptr);
  {
    Key made(HKEY_CLASSES_ROOT, "Kalvix.Document.1\\DefaultIcon");
  }
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "KALVIX.DOCUMENT.1", &k), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(k, "DefaultIcon"), ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Document.1\\DefaultIcon", &k), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, WritingToAKeyDeletedMeanwhileFailsAloneAlsoInATransaction)
{
  Key gone(HKEY_CLASSES_ROOT, "Gone");
  Key kept(HKEY_CLASSES_ROOT, "Kept");
  ASSERT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Gone"), ERROR_SUCCESS);
  EXPECT_EQ(Set(gone.H, "v", "1"), ERROR_KEY_DELETED);
  std::string got;
  {
    const TRegTransaction transaction;
    EXPECT_EQ(Set(kept.H, "a", "1"), ERROR_SUCCESS);
    EXPECT_EQ(Set(gone.H, "v", "1"), ERROR_KEY_DELETED);
    EXPECT_EQ(Set(kept.H, "b", "2"), ERROR_SUCCESS);
    EXPECT_EQ(Query(kept.H, "a", got, 4), ERROR_FILE_NOT_FOUND) << "stored before the transaction ended";
  }
  EXPECT_EQ(Query(kept.H, "a", got, 4), ERROR_SUCCESS);
  EXPECT_EQ(got, "1");
  EXPECT_EQ(Query(kept.H, "b", got, 4), ERROR_SUCCESS);
  EXPECT_EQ(got, "2");
}

TEST_F(RegistryTest, ACorruptStoreMakesCallsFailWithoutTouchingTheFile)
{
  const std::string junk(8192, 'J');
  std::ofstream(Store.DatabasePath(), std::ios::binary) << junk;
  HKEY k = nullptr;
  EXPECT_NE(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Kalvix", &k), ERROR_SUCCESS);
  EXPECT_EQ(k, nullptr);
  EXPECT_NE(RegDeleteKey(HKEY_LOCAL_MACHINE, "Software"), ERROR_SUCCESS);
  std::ifstream in(Store.DatabasePath(), std::ios::binary);
  const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(after, junk);
}

TEST_F(RegistryTest, AStoreLockedByAnotherWriterFailsAndWorksOnceFreed)
{
  {
    Key k(HKEY_LOCAL_MACHINE, "Software\\Kalvix");
    ASSERT_EQ(Set(k.H, "v", "old"), ERROR_SUCCESS);
  }
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(Store.DatabasePath().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

  // It fails rather than wait for the other writer (how long it tries: bench/ store_faults).
  HKEY k = nullptr;
  EXPECT_NE(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Kalvix", &k), ERROR_SUCCESS);

  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  Key freed(HKEY_LOCAL_MACHINE, "Software\\Kalvix");
  std::string got;
  EXPECT_EQ(Query(freed.H, "v", got, 8), ERROR_SUCCESS);
  EXPECT_EQ(got, "old");
}

TEST_F(RegistryTest, AStoreDirectoryThatCannotBeCreatedMakesCallsFail)
{
  // A file where the store directory should be.
  const std::string blocked = Store.Root() + "/blocked";
  std::ofstream(blocked) << "x";
  setenv("XDG_CONFIG_HOME", (blocked + "/sub").c_str(), 1);
  HKEY k = nullptr;
  EXPECT_NE(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Kalvix", &k), ERROR_SUCCESS);
  setenv("XDG_CONFIG_HOME", Store.Root().c_str(), 1);
}

TEST_F(RegistryTest, BadHandlesAndArgumentsFailCleanly)
{
  HKEY k = nullptr;
  EXPECT_EQ(RegCreateKeyEx(nullptr, "x", &k), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "x", nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueEx(HKEY_LOCAL_MACHINE, "x", REG_SZ, nullptr, 4), ERROR_INVALID_PARAMETER);
  std::uint8_t b[4];
  EXPECT_EQ(RegQueryValueEx(HKEY_LOCAL_MACHINE, "x", nullptr, b, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  // Closing a hive is allowed and leaves it usable.
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  Key still(HKEY_LOCAL_MACHINE, "Software");
  EXPECT_NE(still.H, nullptr);
}

}   // namespace
