#include "settings/PortSettings.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <thread>

namespace {

struct TLoaded {
  TComSetupXfer Xfer;
  std::int32_t N[3] = {-7, -7, -7};   // line length, delay time, delay character
  TLoaded() { LoadPortSettings(Xfer, N[0], N[1], N[2]); }
  bool Save()
  {
    std::string reason;
    return SavePortSettings(Xfer, N[0], N[1], N[2], reason);
  }
};

// A stored value: its type (S: text, D: number) and its bytes.
std::string Text(const std::string& bytes)
{
  return "S" + bytes;
}
std::string Number(std::uint32_t v)
{
  return std::string {'D', char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

TEST(PortSettingsTest, TheThirteenValuesAreStoredWithTheirExactBytesAndReadBackWithinTheirLimits)
{
  TScratchStore store;
  // Nothing stored: the defaults apply, and a save stores them, waiting out another program
  // that holds the store for a while.
  TLoaded defaults;
  sqlite3* other = nullptr;
  sqlite3_open(store.DatabasePath().c_str(), &other);
  sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  std::thread owner([&] { usleep(500000), sqlite3_close(other); });
  EXPECT_TRUE(defaults.Save());
  owner.join();
  // clang-format off
  const std::map<std::string, std::string> stored = {
    {"Baudrate", Text({"9600\0\0\0", 7})}, {"COM-Port", Text({"COM 1\0", 6})}, {"DataBits", Text({"8 Bit\0", 6})},
    {"Handshake", Text({"Hardware\0\0\0\0", 12})}, {"Parity", Text({"even\0\0", 6})}, {"SetDTR", Number(0)},
    {"StopBits", Text({"1 Bit\0\0\0", 8})}, {"SetRTS", Number(0)}, {"UseCTS", Number(0)}, {"UseDSR", Number(0)},
    {"Linelength", Number(80)}, {"Delaytime", Number(0)}, {"Delaychar", Number(44)}, {"BaudrateBps", Number(9600)}};
  // clang-format on
  EXPECT_EQ(store.Stored(), stored);

  // One value as someone else stored it, and what a load and a save keep of it.
  const std::tuple<const char*, std::string, std::string> rows[] = {
    {"Baudrate", Text({"115200\0\0", 8}), Text({"9600\0\0\0", 7})},   // longer than its limit
    {"Baudrate", Text({"38400\0\0", 7}), Text({"38400\0\0", 7})},
    {"BaudrateBps", Number(1500000), Number(38400)},                             // a rate in "Baudrate" wins
    {"Baudrate", Text({"1152000", 7}), Text(std::string(7, '\0'))},              // a rate too long for it goes beside
    {"Handshake", Text({"XOn / XOff\0\0", 12}), Text({"XOn / XOff\0\0", 12})},   // as long as its limit
    {"StopBits", Text({"2 Bit\0\0\0\0", 9}), Text({"1 Bit\0\0\0", 8})},
    {"COM-Port", Text("COM1"), Text({"COM1\0\0", 6})},   // matching no entry
    {"SetDTR", Number(5), Number(5)},
    {"SetRTS", std::string("D\1\0\0\0\0", 6), Number(0)},   // five bytes
    {"Linelength", Number(0), Number(80)},                  // outside its range
    {"Linelength", Number(1), Number(1)},
    {"Delaytime", Number(10000), Number(0)},
    {"Delaytime", Number(9999), Number(9999)},
    {"Delaychar", Number(std::uint32_t(-1)), Number(44)},
    {"Delaychar", Number(255), Number(255)},
  };
  for (const auto& [name, put, kept] : rows) {
    SCOPED_TRACE(::testing::Message() << name << " " << ::testing::PrintToString(put));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(put.data() + 1);
    const std::uint32_t type = put[0] == 'S' ? REG_SZ : REG_DWORD;
    TRegKey(HKEY_LOCAL_MACHINE, SettingsKeyName).SetValue(name, type, bytes, std::uint32_t(put.size() - 1));
    TLoaded().Save();
    EXPECT_EQ(store.Stored().at(name), kept);
  }
}

// A store that is no database, no plain file or locked, or that can keep no journal, gives the
// defaults; a save under it stores nothing and says why. (One that fails half-way, through the
// window: KalvixFaults.ASaveTheStoreRefusesHalfWay...)
TEST(PortSettingsTest, AStoreThatIsCorruptNoFileOrLockedGivesDefaultsAndASaveThatFailsStoresNothingAndSaysWhy)
{
  TScratchStore store;
  const std::string db = store.DatabasePath();
  sqlite3* other = nullptr;
  // A FIFO (as anything but a plain file) is no store: reads from it would wait for a writer
  // that never comes.
  const std::tuple<const char*, std::function<void()>, std::string> faults[] = {
    {"corrupt", [&] { std::ofstream(db) << std::string(6000, 'x'); }, "file is not a database"},
    {"FIFO", [&] { mkfifo(db.c_str(), 0600); }, "unable to open database file"},
    {"locked",
     [&] { sqlite3_open(db.c_str(), &other), sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr); },
     "database is locked"},
    {"the journal's name a directory", [&] { std::filesystem::create_directory(db + "-journal"); },
     "unable to open database file"},
  };
  const auto selected = [](const TLoaded& l) {
    return l.Xfer.BaudRateData.GetSelection() + " " + l.Xfer.DataBitsData.GetSelection();
  };
  for (const auto& [name, make, reason] : faults) {
    SCOPED_TRACE(name);
    std::filesystem::remove_all(db);
    std::filesystem::remove_all(db + "-journal");
    make();
    TLoaded loaded;
    EXPECT_EQ(selected(loaded), "9600 8 Bit");
    loaded.Xfer.BaudRateData.SelectString("38400");
    loaded.Xfer.DataBitsData.SelectString("7 Bit");
    std::string said;
    EXPECT_FALSE(SavePortSettings(loaded.Xfer, loaded.N[0], loaded.N[1], loaded.N[2], said));
    EXPECT_EQ(said, reason);
    sqlite3_close(std::exchange(other, nullptr));   // the lock, if any, is gone
    EXPECT_EQ(selected(TLoaded()), "9600 8 Bit") << "the save is dropped whole";
    EXPECT_TRUE(std::string(name) != "corrupt" || FileText(db) == std::string(6000, 'x')) << "left alone";
  }
}

}   // namespace
