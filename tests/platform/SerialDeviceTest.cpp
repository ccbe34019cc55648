#include "platform/PortMap.h"
#include "platform/SerialDevice.h"
#include "platform/UucpLock.h"
#include "tests/support/Child.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Another program that makes its lock at a chosen moment: armed with a lock file's name, the
// first rename of that name in this process is preceded by that program's fresh lock (Fresh, a
// whole file) taking the name. Linked into this executable, like the null-modem.
struct {
  const char* Lock = nullptr;
  const char* Fresh = nullptr;
} Competitor;

extern "C" int rename(const char* from, const char* to) __THROW
{
  static const auto next = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
  if (Competitor.Lock && std::strcmp(from, Competitor.Lock) == 0)
    next(std::exchange(Competitor.Fresh, nullptr), std::exchange(Competitor.Lock, nullptr));
  return next(from, to);
}

namespace {

// A lock file's text in the given form (ours: "%10d\n").
std::string PidText(int pid, const char* form = "%10d\n")
{
  char text[64];
  std::snprintf(text, sizeof text, form, pid);
  return text;
}

class SerialDeviceTest : public ::testing::Test {
protected:
  void SetUp() override { Store.LinkPort(1, Pty.SlavePath()); }
  TScratchStore Store;
  TPty Pty;
  const std::string PtyName = Pty.SlavePath().substr(Pty.SlavePath().rfind('/') + 1);
  const std::string LockFile = Store.LockDir() + "/LCK.." + PtyName;
};

TEST_F(SerialDeviceTest, ComNamesResolveThroughTheirLinksOrToTheirTtySDeviceUnlessItIsAConsoleAndOpenOnce)
{
  Store.LinkPort(2, "loopback");
  std::filesystem::remove(Store.StoreDir() + "/ports/COM3");
  std::filesystem::remove(Store.StoreDir() + "/ports/COM4");
  // ttyS2 is a system console, so no default; through a link the user made (the pty stands in
  // for one) a console opens.
  std::ofstream(Store.ConsoleList()) << "ttyS2  -W- (EC p a)  4:66\n" << PtyName << "  -W- (E p )  136:0\n";
  // clang-format off
  const std::pair<const char*, std::string> rows[] = {
    {"COM1", Store.StoreDir() + "/ports/COM1"}, {"COM2", "loopback"}, {"COM3", ""}, {"COM4", "/dev/ttyS3"},
    {"COM0", ""}, {"COM5", ""}, {"COM", ""}, {"COM12", ""}, {"com1", ""}, {"LPT1", ""}};
  // clang-format on
  for (const auto& [name, device] : rows)
    EXPECT_EQ(ResolveComDevice(name), device) << name;
  // Held exclusively (flock, so against other programs as well), and free again once closed.
  for (const char* name : {"COM1", "COM1", "COM2"})
    EXPECT_TRUE([&] {
      const auto first = OpenComDevice(name);
      return first && !OpenComDevice(name);
    }())
      << name;
}

TEST_F(SerialDeviceTest, ALockFileHoldsThePortWhileItNamesALiveProcessOrCannotBeRead)
{
  // Every form another program may leave (nullptr: the old binary int), naming pid 1, which
  // always lives, or one above any pid. Ours, while we hold the port, is the first.
  for (const char* form : {"%10d\n", "%d\n", "%4d", "%3d\n", "%10d cu root\n", (const char*)nullptr, "no pid\n", ""})
    for (const int pid : {1, INT_MAX}) {
      const std::string bytes = form ? PidText(pid, form) : std::string(reinterpret_cast<const char*>(&pid), 4);
      SCOPED_TRACE(::testing::PrintToString(bytes));
      std::ofstream(LockFile, std::ios::binary) << bytes;
      const bool held = pid == 1 && (!form || std::strchr(form, '%'));
      EXPECT_EQ(TUucpLock::Holder(Pty.SlavePath()), held ? 1 : 0);
      auto dev = OpenComDevice("COM1");
      EXPECT_EQ(dev == nullptr, held);
      EXPECT_EQ(FileText(LockFile), held ? bytes : PidText(getpid()));   // a stale one is replaced by ours
      dev.reset();
      EXPECT_EQ(FileText(LockFile), held ? bytes : "") << "ours outlived the port";
      unlink(LockFile.c_str());
    }
  // Not a plain file, planted by anyone who may write the lock directory: never waited for (a
  // FIFO), followed or removed, and the port stays untouched. Checked in a child given 5 s.
  for (const char* plant : {"FIFO", "directory", "link"}) {
    ASSERT_EQ(*plant == 'F'   ? mkfifo(LockFile.c_str(), 0644)
              : *plant == 'd' ? mkdir(LockFile.c_str(), 0755)
                              : symlink("/nonexistent", LockFile.c_str()),
              0);
    const auto type = std::filesystem::symlink_status(LockFile).type();
    EXPECT_EQ(TChild([&] {
                return TUucpLock::Holder(Pty.SlavePath()) == TUucpLock::Unreadable && !OpenComDevice("COM1") ? 0 : 1;
              }).Wait(5000),
              "exit 0")
      << plant;
    EXPECT_EQ(std::filesystem::symlink_status(LockFile).type(), type) << plant;
    std::filesystem::remove(LockFile);
  }
}

// A reader that polls the lock directory while we take and release the lock again and again
// finds either no file or the whole of ours: never one empty or in part, which it would take
// for a stale lock and remove.
TEST_F(SerialDeviceTest, OurLockFileIsOnlyEverSeenWholeAndAFreshOneMadeWhileWeTakeAStaleOneAwayStays)
{
  std::atomic<bool> done = false;
  int seen = 0;
  std::vector<std::string> partial;
  std::thread reader([&] {
    while (!done)
      if (std::ifstream lock {LockFile}; lock) {
        ++seen;
        if (const std::string text(std::istreambuf_iterator<char>(lock), {}); text != PidText(getpid()))
          partial.push_back(text);
      }
  });
  int made = 0;
  for (int i = 0; i < 2000; ++i) {
    TUucpLock lock;
    made += lock.Acquire(Pty.SlavePath()) && access(LockFile.c_str(), F_OK) == 0;
  }
  done = true;
  reader.join();
  EXPECT_EQ(made, 2000);
  EXPECT_GT(seen, 0) << "the reader never saw the lock";
  EXPECT_EQ(partial, std::vector<std::string>());

  // Another program takes the port in the moment between our finding its lock stale and our
  // moving or removing that lock: the fresh lock it made is left in place, and we do not hold the
  // port. Without that moment, a stale lock is replaced by ours.
  const std::string fresh = Store.Root() + "/fresh";
  for (const bool meanwhile : {true, false}) {
    std::ofstream(LockFile) << PidText(INT_MAX);   // above any pid: no live process
    std::ofstream(fresh) << PidText(1);
    Competitor.Lock = meanwhile ? LockFile.c_str() : nullptr;
    Competitor.Fresh = fresh.c_str();
    TUucpLock lock;
    EXPECT_EQ(lock.Acquire(Pty.SlavePath()), !meanwhile);
    EXPECT_EQ(FileText(LockFile), PidText(meanwhile ? 1 : getpid()));
    Competitor = {};
  }
}

// A release that has no descriptor left to read the lock file back with removes it all the
// same. (Ways out of the process that skip the port's closing: KalvixSignals.)
TEST_F(SerialDeviceTest, OurLockFileGoesAtAReleaseWithoutDescriptors)
{
  EXPECT_EQ(TChild([&] {
              auto lock = std::make_unique<TUucpLock>();
              if (!lock->Acquire(Pty.SlavePath()) || access(LockFile.c_str(), F_OK) != 0)
                return 1;
              const rlimit none {0, 0};
              setrlimit(RLIMIT_NOFILE, &none);
              lock.reset();
              return 0;
            }).Wait(5000),
            "exit 0");
  EXPECT_NE(access(LockFile.c_str(), F_OK), 0) << "the lock file was left";
}

}   // namespace
