#include "settings/PortSettings.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TLoaded {
  TComSetupXfer Xfer;
  std::int32_t LineLength = -7, DelayTime = -7, DelayChar = -7;
};

class PortSettingsTest : public ::testing::Test {
protected:
  TLoaded Load()
  {
    TLoaded l;
    LoadPortSettings(l.Xfer, l.LineLength, l.DelayTime, l.DelayChar);
    return l;
  }
  void Save(TLoaded& l)
  {
    const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
    SavePortSettings(key, l.Xfer, l.LineLength, l.DelayTime, l.DelayChar);
  }
  void Put(const char* name, const std::string& bytes, std::uint32_t type = REG_SZ)
  {
    const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
    ASSERT_EQ(key.SetValue(name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()), std::uint32_t(bytes.size())),
              ERROR_SUCCESS);
  }
  void PutNumber(const char* name, std::uint32_t v)
  {
    Put(name, std::string {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}, REG_DWORD);
  }
  // Every value under the settings key, read straight from the database file (opened for
  // writing, so that what a killed writer left half done is rolled back first, as any next
  // writer does).
  std::map<std::string, std::pair<int, std::string>> Stored()
  {
    std::map<std::string, std::pair<int, std::string>> values;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(Store.DatabasePath().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT name, type, data FROM registry_values WHERE path = 'HKEY_LOCAL_MACHINE\\Software\\Kalvix'",
                                 -1, &s, nullptr),
              SQLITE_OK);
    while (sqlite3_step(s) == SQLITE_ROW) {
      const auto* data = static_cast<const char*>(sqlite3_column_blob(s, 2));
      values[reinterpret_cast<const char*>(sqlite3_column_text(s, 0))] = {
          sqlite3_column_int(s, 1), std::string(data ? data : "", std::size_t(sqlite3_column_bytes(s, 2)))};
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return values;
  }
  int KeyRows()
  {
    sqlite3* db = nullptr;
    sqlite3_open_v2(Store.DatabasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM keys WHERE path = 'HKEY_LOCAL_MACHINE\\Software\\Kalvix'", -1, &s, nullptr);
    const int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
  }

  TScratchStore Store;
};

void ExpectDefaults(const TLoaded& l)
{
  EXPECT_EQ(l.Xfer.PortData.GetSelection(), "COM 1");
  EXPECT_EQ(l.Xfer.PortData.GetSelIndex(), 0);
  EXPECT_EQ(l.Xfer.BaudRateData.GetSelection(), "9600");
  EXPECT_EQ(l.Xfer.BaudRateData.GetSelIndex(), 6);
  EXPECT_EQ(l.Xfer.DataBitsData.GetSelIndex(), 3);
  EXPECT_EQ(l.Xfer.HandshakeData.GetSelection(), "Hardware");
  EXPECT_EQ(l.Xfer.ParityData.GetSelection(), "even");
  EXPECT_EQ(l.Xfer.StopBitsData.GetSelection(), "1 Bit");
  EXPECT_EQ(l.Xfer.SetDtrCheck + l.Xfer.SetRtsCheck + l.Xfer.UseCtsCheck + l.Xfer.UseDsrCheck, 0u);
  EXPECT_EQ(l.LineLength, 80);
  EXPECT_EQ(l.DelayTime, 0);
  EXPECT_EQ(l.DelayChar, 44);
  EXPECT_STREQ(l.Xfer.LineLengthText, "80");
  EXPECT_STREQ(l.Xfer.DelayTimeText, "0");
  EXPECT_STREQ(l.Xfer.DelayCharText, "44");
}

TEST_F(PortSettingsTest, WithNothingStoredTheDefaultsApplyAndTheKeyIsCreatedEmpty)
{
  const TLoaded l = Load();
  ExpectDefaults(l);
  EXPECT_EQ(l.Xfer.BaudRateData.GetStrings().size(), 15u);
  EXPECT_EQ(l.Xfer.StopBitsData.GetStrings().size(), 3u);
  EXPECT_EQ(KeyRows(), 1);
  EXPECT_TRUE(Stored().empty());

  const TLineSettings s = l.Xfer.LineSettings();
  EXPECT_EQ(l.Xfer.PortNumber(), 1);
  EXPECT_EQ(s.Baud, 9600);
  EXPECT_EQ(s.ByteSize, 8);
  EXPECT_EQ(s.StopBits, 0);
  EXPECT_EQ(s.Parity, 2);
  EXPECT_EQ(s.Handshake, 1);
  EXPECT_TRUE(l.Xfer.DtrLit() && l.Xfer.RtsLit());   // hardware handshake drives both
}

TEST_F(PortSettingsTest, SavingWritesAllThirteenValuesWithTheirExactBytes)
{
  TLoaded l = Load();
  l.Xfer.UseCtsCheck = 1;
  l.Xfer.UseDsrCheck = 1;
  Save(l);
  const auto v = Stored();
  ASSERT_EQ(v.size(), 13u);
  const auto text = [](const char* s, std::size_t n) { return std::pair<int, std::string>(int(REG_SZ), std::string(s, n)); };
  const auto number = [](std::uint8_t b) { return std::pair<int, std::string>(int(REG_DWORD), std::string {char(b), 0, 0, 0}); };
  EXPECT_EQ(v.at("Baudrate"), text("9600\0\0\0", 7));
  EXPECT_EQ(v.at("COM-Port"), text("COM 1\0", 6));
  EXPECT_EQ(v.at("DataBits"), text("8 Bit\0", 6));
  EXPECT_EQ(v.at("Handshake"), text("Hardware\0\0\0\0", 12));
  EXPECT_EQ(v.at("Parity"), text("even\0\0", 6));
  EXPECT_EQ(v.at("StopBits"), text("1 Bit\0\0\0", 8));
  EXPECT_EQ(v.at("SetDTR"), number(0));
  EXPECT_EQ(v.at("SetRTS"), number(0));
  EXPECT_EQ(v.at("UseCTS"), number(1));
  EXPECT_EQ(v.at("UseDSR"), number(1));
  EXPECT_EQ(v.at("Linelength"), number(80));
  EXPECT_EQ(v.at("Delaytime"), number(0));
  EXPECT_EQ(v.at("Delaychar"), number(44));
}

TEST_F(PortSettingsTest, EveryEntryOfEveryListSurvivesASaveAndALoad)
{
  const auto lists = [](TComSetupXfer& x) {
    return std::array<TComboBoxData*, 6> {&x.BaudRateData, &x.PortData, &x.DataBitsData, &x.HandshakeData, &x.ParityData, &x.StopBitsData};
  };
  for (int pos = 0; pos < 15; ++pos) {
    TLoaded l = Load();
    for (TComboBoxData* d : lists(l.Xfer))
      d->Select(pos % int(d->GetStrings().size()));
    Save(l);
    TLoaded back = Load();
    for (std::size_t i = 0; i < 6; ++i) {
      TComboBoxData* d = lists(back.Xfer)[i];
      const int want = pos % int(d->GetStrings().size());
      EXPECT_EQ(d->GetSelIndex(), want) << "list " << i << " entry " << want;
      EXPECT_EQ(d->GetSelection(), d->GetStrings()[std::size_t(want)]);
    }
  }
}

TEST_F(PortSettingsTest, TextsAndNumbersComeBackAsEdited)
{
  TLoaded l = Load();
  std::snprintf(l.Xfer.LineLengthText, sizeof l.Xfer.LineLengthText, "16");
  std::snprintf(l.Xfer.DelayTimeText, sizeof l.Xfer.DelayTimeText, "9999");
  std::snprintf(l.Xfer.DelayCharText, sizeof l.Xfer.DelayCharText, "255");
  l.Xfer.SetDtrCheck = 1;
  Save(l);
  EXPECT_EQ(l.LineLength, 16);
  EXPECT_EQ(l.DelayTime, 9999);
  EXPECT_EQ(l.DelayChar, 255);
  const TLoaded back = Load();
  EXPECT_EQ(back.LineLength, 16);
  EXPECT_EQ(back.DelayTime, 9999);
  EXPECT_EQ(back.DelayChar, 255);
  EXPECT_STREQ(back.Xfer.DelayTimeText, "9999");
  EXPECT_EQ(back.Xfer.SetDtrCheck, 1u);
}

TEST_F(PortSettingsTest, ASaveKilledOnTheWayLeavesTheOldSettingsOrTheNewNeverAMix)
{
  TLoaded a = Load();
  TLoaded b = Load();
  // b differs from a in every one of the thirteen values.
  b.Xfer.BaudRateData.SelectString("38400");
  b.Xfer.PortData.SelectString("COM 2");
  b.Xfer.DataBitsData.SelectString("5 Bit");
  b.Xfer.HandshakeData.SelectString("no");
  b.Xfer.ParityData.SelectString("odd");
  b.Xfer.StopBitsData.SelectString("2 Bit");
  b.Xfer.SetDtrCheck = b.Xfer.SetRtsCheck = b.Xfer.UseCtsCheck = b.Xfer.UseDsrCheck = 1;
  std::snprintf(b.Xfer.LineLengthText, sizeof b.Xfer.LineLengthText, "40");
  std::snprintf(b.Xfer.DelayTimeText, sizeof b.Xfer.DelayTimeText, "100");
  std::snprintf(b.Xfer.DelayCharText, sizeof b.Xfer.DelayCharText, "59");
  Save(b);
  const auto newer = Stored();
  Save(a);
  const auto older = Stored();
  ASSERT_EQ(older.size(), 13u);
  for (const auto& [name, value] : older)
    ASSERT_NE(newer.at(name), value) << name;

  // A child saves one and the other without pause until it is killed, at a different moment
  // each round.
  for (int round = 0; round < 8; ++round) {
    const pid_t child = fork();
    if (child == 0)
      for (;;) {
        Save(b);
        Save(a);
      }
    usleep(useconds_t(30000 + 7000 * round));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const auto now = Stored();
    EXPECT_TRUE(now == older || now == newer) << "round " << round << ": a mix of old and new settings";
  }
}

TEST_F(PortSettingsTest, AValueLongerThanItsReadLimitTakesItsDefault)
{
  Put("Baudrate", std::string("115200\0\0", 8));                 // one byte over 7
  Put("Handshake", std::string("XOn / XOff\0\0", 12));            // exactly 12
  Put("StopBits", std::string("2 Bit\0\0\0\0", 9));
  PutNumber("SetDTR", 1);
  Put("SetRTS", std::string("\1\0\0\0\0", 5), REG_DWORD);          // five bytes: unreadable
  const TLoaded l = Load();
  EXPECT_EQ(l.Xfer.BaudRateData.GetSelection(), "9600");
  EXPECT_EQ(l.Xfer.HandshakeData.GetSelIndex(), 2);
  EXPECT_EQ(l.Xfer.StopBitsData.GetSelection(), "1 Bit");
  EXPECT_EQ(l.Xfer.SetDtrCheck, 1u);
  EXPECT_EQ(l.Xfer.SetRtsCheck, 0u);
}

TEST_F(PortSettingsTest, ATextThatMatchesNoEntrySelectsNothing)
{
  for (const char* stored : {"COM1", "com 1", "COM 5"}) {
    Put("COM-Port", stored);
    const TLoaded l = Load();
    EXPECT_EQ(l.Xfer.PortData.GetSelIndex(), -1) << stored;
    EXPECT_EQ(l.Xfer.PortData.GetSelection(), stored);
    EXPECT_EQ(l.Xfer.PortNumber(), 0) << stored;
  }
  // A text filling its whole buffer has no terminator; it is cut at the buffer's end.
  Put("COM-Port", "COM 12");
  Put("Baudrate", "1152000");
  Put("Parity", "none");
  const TLoaded l = Load();
  EXPECT_EQ(l.Xfer.PortData.GetSelection(), "COM 12");
  EXPECT_EQ(l.Xfer.BaudRateData.GetSelection(), "1152000");
  EXPECT_EQ(l.Xfer.BaudRateData.GetSelIndex(), -1);
  EXPECT_EQ(l.Xfer.ParityData.GetSelIndex(), -1);
  // Lists without a selection configure the port with their default entries.
  const TLineSettings s = l.Xfer.LineSettings();
  EXPECT_EQ(s.Baud, 9600);
  EXPECT_EQ(s.Parity, 2);

  // Saving keeps the unmatched text as it is; a list emptied of its choice saves zeros.
  TLoaded again = Load();
  again.Xfer.PortData.Select(-1);
  Save(again);
  EXPECT_EQ(Stored().at("Parity").second, std::string("none\0\0", 6));
  EXPECT_EQ(Stored().at("COM-Port").second, std::string(6, '\0'));
}

TEST_F(PortSettingsTest, StoredNumbersOutsideTheirRangesTakeTheirDefaults)
{
  PutNumber("Linelength", 0);
  PutNumber("Delaytime", 10000);
  PutNumber("Delaychar", std::uint32_t(-1));
  TLoaded l = Load();
  EXPECT_EQ(l.LineLength, 80);
  EXPECT_EQ(l.DelayTime, 0);
  EXPECT_EQ(l.DelayChar, 44);
  EXPECT_STREQ(l.Xfer.LineLengthText, "80");

  PutNumber("Linelength", 1);
  PutNumber("Delaytime", 9999);
  PutNumber("Delaychar", 0);
  l = Load();
  EXPECT_EQ(l.LineLength, 1);
  EXPECT_EQ(l.DelayTime, 9999);
  EXPECT_EQ(l.DelayChar, 0);

  PutNumber("SetDTR", 5);   // any non-zero check state is a set flag
  l = Load();
  EXPECT_EQ(l.Xfer.SetDtrCheck, 5u);
  EXPECT_EQ(l.Xfer.LineSettings().SetDtr, 1);
  l.Xfer.HandshakeData.SelectString("no");
  EXPECT_TRUE(l.Xfer.DtrLit());
  EXPECT_FALSE(l.Xfer.RtsLit());
}

TEST_F(PortSettingsTest, ACorruptStoreGivesDefaultsAndSavingChangesNothing)
{
  const std::string junk(4096, '\x5a');
  std::filesystem::create_directories(Store.StoreDir());
  std::ofstream(Store.DatabasePath(), std::ios::binary) << junk;
  TLoaded l = Load();
  ExpectDefaults(l);
  std::snprintf(l.Xfer.LineLengthText, sizeof l.Xfer.LineLengthText, "20");
  Save(l);
  EXPECT_EQ(l.LineLength, 20);   // the choice holds for this run even though it was not stored
  std::ifstream in(Store.DatabasePath(), std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), junk);
}

TEST(TextValueTest, ReadsSignAndDigitsUpToTheFirstOtherCharacter)
{
  EXPECT_EQ(TextValue("", 3), 0);
  EXPECT_EQ(TextValue("+12", 3), 12);
  EXPECT_EQ(TextValue("-5", 3), -5);
  EXPECT_EQ(TextValue("7x9", 3), 7);
  EXPECT_EQ(TextValue("x", 3), 0);
  EXPECT_EQ(TextValue("-", 3), 0);
  EXPECT_EQ(TextValue(nullptr, 3), 0);
  const char unterminated[4] = {'1', '2', '3', '4'};
  EXPECT_EQ(TextValue(unterminated, 3), 123);   // never reads past its size
  EXPECT_EQ(TextValue("99999999999999", 14), 2147483647);
  EXPECT_EQ(TextValue("-99999999999999", 15), -2147483647 - 1);
}

TEST(ComboBoxDataTest, SelectionByTextAndCopyOut)
{
  TComboBoxData d;
  EXPECT_EQ(d.GetSelIndex(), 0);
  d.AddString("no");
  d.AddString("Hardware");
  d.AddString("Hardware");
  d.SelectString("Hardware");
  EXPECT_EQ(d.GetSelIndex(), 1);   // the first equal entry
  d.SelectString("hardware");
  EXPECT_EQ(d.GetSelIndex(), -1);
  EXPECT_EQ(d.GetSelection(), "hardware");
  char buffer[6];
  std::memset(buffer, 'x', sizeof buffer);
  d.GetSelString(buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, 6), std::string("hardw\0", 6));
  d.SelectString("no");
  d.GetSelString(buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer, 6), std::string("no\0\0\0\0", 6));
  d.Select(7);
  EXPECT_EQ(d.GetSelIndex(), -1);
  EXPECT_EQ(d.GetSelection(), "");
}

} // namespace
