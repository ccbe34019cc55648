// How long the settings store's work of a start (loading the settings) and of a Setup OK
// (saving them) takes on a store that cannot be used: locked by another writer, corrupt, a
// directory or a FIFO in the database's place. A load must end promptly with the defaults; a
// save fails, storing nothing, and waits for a lock no longer than its few seconds. Runs on a
// scratch store of its own.
//   store_faults [rounds]
#include "platform/Registry.h"
#include "platform/StoreDirectory.h"
#include "settings/PortSettings.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
  return std::chrono::duration<double, std::milli>(d).count();
}

// The slowest of rounds loads and saves; whether every load gave the default baud rate, and
// whether any save reported success.
struct TTimes {
  double LoadMs = 0, SaveMs = 0;
  bool Defaults = true, Saved = false;
};

TTimes Measure(int rounds)
{
  TTimes times;
  for (int i = 0; i < rounds; ++i) {
    TComSetupXfer xfer;
    std::int32_t lineLength = 0, delayTime = 0, delayChar = 0;
    Clock::time_point start = Clock::now();
    LoadPortSettings(xfer, lineLength, delayTime, delayChar);
    times.LoadMs = std::max(times.LoadMs, Ms(Clock::now() - start));
    times.Defaults = times.Defaults && xfer.BaudRateData.GetSelection() == "9600";
    xfer.BaudRateData.SelectString("57600");
    start = Clock::now();
    std::string reason;
    times.Saved = SavePortSettings(xfer, lineLength, delayTime, delayChar, reason) || times.Saved;
    times.SaveMs = std::max(times.SaveMs, Ms(Clock::now() - start));
  }
  return times;
}

// A store whose baud rate is 38400, so that a load that could read it would not give defaults.
void StoreBaudRate()
{
  const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
  const char value[7] = "38400";
  key.SetValue("Baudrate", REG_SZ, reinterpret_cast<const std::uint8_t*>(value), sizeof value);
}

}   // namespace

int main(int argc, char** argv)
{
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char root[] = "/tmp/kalvix-store-faults-XXXXXX";
  if (!mkdtemp(root)) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("XDG_CONFIG_HOME", root, 1);
  const std::string database = StoreDirectory() + "/" + RegistryFileName();
  MakeDirectories(StoreDirectory());

  sqlite3* other = nullptr;
  const std::pair<const char*, std::function<void()>> faults[] = {
    {"locked",
     [&] {
       StoreBaudRate();
       sqlite3_open(database.c_str(), &other);
       sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
     }},
    {"corrupt", [&] { std::ofstream(database, std::ios::binary) << std::string(6000, 'x'); }},
    {"directory", [&] { std::filesystem::create_directory(database); }},
    {"fifo", [&] { mkfifo(database.c_str(), 0600); }},
  };
  bool ok = true;
  for (const auto& [name, make] : faults) {
    std::filesystem::remove_all(database);
    make();
    const TTimes times = Measure(rounds);
    if (other) {
      sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
      sqlite3_close(other);
      other = nullptr;
    }
    std::printf("store=%s rounds=%d load_ms_max=%.1f save_ms_max=%.1f defaults=%s saved=%s\n", name, rounds,
                times.LoadMs, times.SaveMs, times.Defaults ? "yes" : "no", times.Saved ? "yes" : "no");
    ok = ok && times.Defaults && !times.Saved;
  }
  std::filesystem::remove_all(root);
  return ok ? 0 : 1;
}
