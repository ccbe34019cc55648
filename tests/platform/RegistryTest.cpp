#include "platform/Registry.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryTest, AKeyGoesOnlyWithoutSubkeysAndATransactionStoresAllItsWritesOrNoneAndSaysWhy)
{
  TScratchStore store;
  HKEY k = nullptr, sub = nullptr;
  const std::uint8_t one[] = {'1', 0, 0xff};
  ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon", &sub), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "KALVIX.APPLICATION", &k), ERROR_SUCCESS);   // names of any case
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKey(k, "DEFAULTICON"), ERROR_SUCCESS);
  std::uint32_t size = 0;
  {
    // A write that fails (its key deleted meanwhile) undoes the one before it; later ones fail.
    TRegTransaction transaction(100);
    EXPECT_EQ(RegSetValueEx(k, "before", REG_BINARY, one, 3), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(sub, "v", REG_BINARY, one, 3), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueEx(k, "after", REG_BINARY, one, 3), ERROR_REGISTRY_IO_FAILED);
    EXPECT_FALSE(transaction.Commit());
    EXPECT_EQ(transaction.Error(), "the key has been deleted");
  }
  EXPECT_EQ(RegQueryValueEx(k, "before", nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  {
    TRegTransaction transaction(100);
    EXPECT_EQ(RegSetValueEx(k, "v", REG_BINARY, one, 3), ERROR_SUCCESS);
    EXPECT_TRUE(transaction.Commit());
  }
  std::uint8_t got[4] = {};
  std::uint32_t type = 0;
  size = 4;
  EXPECT_EQ(RegQueryValueEx(k, "V", &type, got, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(got), size) + char(type), std::string("1\0\xff\3", 4));
  RegCloseKey(k);
  RegCloseKey(sub);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Application", &k), ERROR_FILE_NOT_FOUND);
  // A default value, under a subkey made for it, as the registration writes the icon's path.
  EXPECT_EQ(RegSetValue(HKEY_CLASSES_ROOT, "x\\shell", REG_SZ, "open", 0), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "x\\shell", &k), ERROR_SUCCESS);
  char text[5] = {};
  size = 5;
  EXPECT_EQ(RegQueryValueEx(k, nullptr, &type, reinterpret_cast<std::uint8_t*>(text), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(text, size) + char('0' + type), std::string("open\0", 5) + char('0' + REG_SZ));
  RegCloseKey(k);
}

}   // namespace
