#include "platform/SerialDevice.h"
#include "platform/UucpLock.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

class SerialDeviceTest : public ::testing::Test {
protected:
  void SetUp() override { Store.LinkPort(1, Pty.SlavePath()); }
  TScratchStore Store;
  TPty Pty;
  const std::string PtyName = Pty.SlavePath().substr(Pty.SlavePath().rfind('/') + 1);
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
  const std::string file = Store.LockDir() + "/LCK.." + PtyName;
  const auto contents = [&] { return std::string(std::istreambuf_iterator<char>(std::ifstream(file).rdbuf()), {}); };
  const auto text = [](const char* f, int pid) {
    char b[64];
    std::snprintf(b, 64, f, pid);
    return std::string(b);
  };
  // Every form another program may leave (nullptr: the old binary int), naming pid 1, which
  // always lives, or one above any pid. Ours, while we hold the port, is the first.
  for (const char* form : {"%10d\n", "%d\n", "%4d", "%3d\n", "%10d cu root\n", (const char*)nullptr, "no pid\n", ""})
    for (const int pid : {1, INT_MAX}) {
      const std::string bytes = form ? text(form, pid) : std::string(reinterpret_cast<const char*>(&pid), 4);
      SCOPED_TRACE(::testing::PrintToString(bytes));
      std::ofstream(file, std::ios::binary) << bytes;
      const bool held = pid == 1 && (!form || std::strchr(form, '%'));
      EXPECT_EQ(TUucpLock::Holder(Pty.SlavePath()), held ? 1 : 0);
      auto dev = OpenComDevice("COM1");
      EXPECT_EQ(dev == nullptr, held);
      EXPECT_EQ(contents(), held ? bytes : text("%10d\n", getpid()));   // a stale one is replaced by ours
      dev.reset();
      EXPECT_EQ(contents(), held ? bytes : "") << "ours outlived the port";
      unlink(file.c_str());
    }
  // Not a plain file, planted by anyone who may write the lock directory: never waited for (a
  // FIFO), followed or removed, and the port stays untouched. Checked in a child given 5 s.
  for (const char* plant : {"FIFO", "directory", "link"}) {
    ASSERT_EQ(*plant == 'F'   ? mkfifo(file.c_str(), 0644)
              : *plant == 'd' ? mkdir(file.c_str(), 0755)
                              : symlink("/nonexistent", file.c_str()),
              0);
    const auto type = std::filesystem::symlink_status(file).type();
    const pid_t child = fork();
    if (child == 0) {
      alarm(5);
      _exit(TUucpLock::Holder(Pty.SlavePath()) == TUucpLock::Unreadable && !OpenComDevice("COM1") ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0) << plant << (WIFSIGNALED(status) ? " hung" : " taken");
    EXPECT_EQ(std::filesystem::symlink_status(file).type(), type) << plant;
    std::filesystem::remove(file);
  }
}

}   // namespace
