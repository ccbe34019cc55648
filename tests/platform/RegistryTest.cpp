#include "platform/Registry.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryTest, AKeyGoesOnlyWithoutSubkeysAndAWriteToOneDeletedMeanwhileFailsAloneInATransaction)
{
  TScratchStore store;
  HKEY k = nullptr, sub = nullptr;
  const std::uint8_t one[] = {'1', 0, 0xff};
  ASSERT_EQ(RegCreateKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon", &sub), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "KALVIX.APPLICATION", &k), ERROR_SUCCESS);   // names of any case
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKey(k, "DEFAULTICON"), ERROR_SUCCESS);
  {
    const TRegTransaction transaction;
    EXPECT_EQ(RegSetValueEx(sub, "v", REG_BINARY, one, 3), ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueEx(k, "v", REG_BINARY, one, 3), ERROR_SUCCESS);
  }
  std::uint8_t got[4] = {};
  std::uint32_t type = 0, size = 4;
  EXPECT_EQ(RegQueryValueEx(k, "V", &type, got, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(got), size) + char(type), std::string("1\0\xff\3", 4));
  RegCloseKey(k);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "Kalvix.Application", &k), ERROR_FILE_NOT_FOUND);
}

} // namespace
