#include "platform/Registry.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

namespace {

LONG Set(HKEY key, const char* name, const std::string& bytes, std::uint32_t type = REG_SZ)
{
  return RegSetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()), std::uint32_t(bytes.size()));
}

// Reads a value into a buffer of room bytes that start as 0x7f: the result and the buffer.
std::pair<LONG, std::string> Query(HKEY key, const char* name, std::uint32_t room)
{
  std::string out(room, '\x7f');
  const LONG r = RegQueryValueEx(key, name, nullptr, reinterpret_cast<std::uint8_t*>(out.data()), &room);
  return {r, r == ERROR_SUCCESS ? out.substr(0, room) : out};
}

TEST(RegistryTest, NamesOfAnyCaseFindExactBytesAndAKeyGoesWholeWithItsValuesAndNotUnderAWrite)
{
  TScratchStore store;
  HKEY k = nullptr, again = nullptr, sub = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon", &sub), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "KALVIX.APPLICATION", &k), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "kalvix.application", &again), ERROR_SUCCESS);
  ASSERT_EQ(Set(k, "Bytes", std::string("96\0\0\xff", 5), REG_BINARY), ERROR_SUCCESS);
  EXPECT_EQ(Query(again, "BYTES", 5), std::make_pair(ERROR_SUCCESS, std::string("96\0\0\xff", 5)));
  EXPECT_EQ(Query(again, "Bytes", 4), std::make_pair(ERROR_MORE_DATA, std::string(4, '\x7f')));
  EXPECT_EQ(Query(HKEY_LOCAL_MACHINE, "Bytes", 8).first, ERROR_FILE_NOT_FOUND);   // hives are apart

  // A key goes only once its subkeys are gone; writing to one deleted meanwhile fails alone,
  // also among the writes of a transaction.
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKey(k, "DEFAULTICON"), ERROR_SUCCESS);
  {
    const TRegTransaction transaction;
    EXPECT_EQ(Set(sub, "v", "1"), ERROR_KEY_DELETED);
    EXPECT_EQ(Set(k, "Kept", "2"), ERROR_SUCCESS);
    EXPECT_EQ(Query(again, "Kept", 8).first, ERROR_FILE_NOT_FOUND) << "stored before the transaction ended";
  }
  EXPECT_EQ(Query(again, "Kept", 8), std::make_pair(ERROR_SUCCESS, std::string("2")));
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Application", &sub), ERROR_FILE_NOT_FOUND);
  for (HKEY h : {k, again})
    RegCloseKey(h);
}

} // namespace
