#include "platform/PortMap.h"
#include "platform/SerialDevice.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct TRun {
  int Status;
  std::string Output;
};

// Runs the kalvix-ports tool with the test's store directory, collecting stdout and stderr.
TRun Tool(const std::string& args)
{
  TRun r {};
  // A tool that hangs ends after ten seconds, with status 124.
  FILE* p = popen(("timeout 10 " + std::string(KALVIX_PORTS) + " " + args + " 2>&1").c_str(), "r");
  std::array<char, 512> buffer {};
  while (p && fgets(buffer.data(), int(buffer.size()), p))
    r.Output += buffer.data();
  r.Status = p ? WEXITSTATUS(pclose(p)) : -1;
  return r;
}

class PortMapTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    for (int n = 1; n <= 4; ++n)
      Store.UnlinkPort(n);
  }
  TScratchStore Store;
  TPty Pty;
};

TEST_F(PortMapTest, MapRemapAndUnmapWriteTheLinksTheProgramReads)
{
  EXPECT_EQ(MapPort(1, Pty.SlavePath()), "");
  EXPECT_EQ(std::filesystem::read_symlink(Store.StoreDir() + "/ports/COM1"), Pty.SlavePath());
  auto dev = OpenComDevice("COM1");
  EXPECT_NE(dev, nullptr) << "the program cannot open what the tool mapped";
  dev.reset();

  EXPECT_EQ(MapPort(1, "loopback"), "");
  EXPECT_EQ(ReadPortMapping(1).Resolved, "loopback");
  EXPECT_EQ(UnmapPort(1), "");
  EXPECT_EQ(UnmapPort(1), "");   // already gone: fine
  const TPortMapping m = ReadPortMapping(1);
  EXPECT_FALSE(m.Linked);
  EXPECT_EQ(m.Device, "/dev/ttyS0");   // named, not opened

  // A store directory that cannot be made.
  const std::string blocked = Store.Root() + "/file";
  std::ofstream(blocked) << "x";
  setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
  EXPECT_NE(MapPort(2, "loopback").find("cannot"), std::string::npos);
  setenv("XDG_CONFIG_HOME", Store.Root().c_str(), 1);
}

TEST_F(PortMapTest, AHeldPortNamesItsHolder)
{
  ASSERT_EQ(MapPort(3, Pty.SlavePath()), "");
  EXPECT_FALSE(ReadPortMapping(3).Held);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    (void)!write(ready[1], fd >= 0 && flock(fd, LOCK_EX) == 0 ? "L" : "F", 1);
    pause();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'L');
  const TPortMapping m = ReadPortMapping(3);
  EXPECT_TRUE(m.Held);
  EXPECT_EQ(m.Holder, child);
  EXPECT_NE(Tool("").Output.find("held by process " + std::to_string(child)), std::string::npos);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(PortMapTest, TheToolMapsOnlyTerminalDevicesAndReportsErrorsByExitStatus)
{
  // Only terminal devices: a character device such as /dev/null would then be reported as a
  // port held by another program. None of them is opened to find out.
  struct TCase {
    std::string Args;
    int Status;
    std::string Says;
    std::string Link;   // what COM2 names afterwards, empty for none
  };
  const TCase cases[] = {
      {"map COM2 " + Pty.SlavePath(), 0, "COM2 -> " + Pty.SlavePath(), Pty.SlavePath()},
      {"map 2 loopback", 0, "COM2 -> loopback", "loopback"},
      {"map 2 /dev/null", 1, "not a terminal device: /dev/null", ""},
      {"map 2 /dev/zero", 1, "not a terminal device: /dev/zero", ""},
      {"map 2 /dev/tty", 1, "not a terminal device: /dev/tty", ""},
      {"map 2 /etc/hostname", 1, "not a terminal device: /etc/hostname", ""},
      {"map 2 /dev/no-such-tty", 1, "no such device: /dev/no-such-tty", ""},
      {"map 7 loopback", 1, "not a COM number (1 to 4): 7", ""},
      {"map 2", 2, "Usage", ""},
      {"frobnicate", 2, "Usage", ""},
      {"unmap 2", 0, "", ""},
      {"--help", 0, "Usage", ""},
  };
  const std::string link = Store.StoreDir() + "/ports/COM2";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Args);
    std::filesystem::remove(link);
    const TRun r = Tool(c.Args);
    EXPECT_EQ(r.Status, c.Status);
    EXPECT_NE(r.Output.find(c.Says), std::string::npos) << r.Output;
    std::error_code none;
    EXPECT_EQ(std::filesystem::read_symlink(link, none).string(), c.Link);
  }
}

TEST_F(PortMapTest, TheListingMarksConsolesAndLockFilesThatCannotBeRead)
{
  ASSERT_EQ(MapPort(2, Pty.SlavePath()), "");
  const std::string ptyName = Pty.SlavePath().substr(Pty.SlavePath().rfind('/') + 1);
  std::ofstream(Store.ConsoleList()) << "ttyS0  -W- (EC p a)  4:64\n" << ptyName << "  -W- (E p )  136:0\n";
  // A FIFO as lock file: opening it for reading would wait for a writer for ever.
  ASSERT_EQ(mkfifo((Store.LockDir() + "/LCK.." + ptyName).c_str(), 0644), 0);
  const TRun r = Tool("");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Output.find("COM1  /dev/ttyS0"), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find("console (opened only through a link)"), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find(Pty.SlavePath() + ", held (a lock file that cannot be read), console\n"), std::string::npos)
      << r.Output;
  EXPECT_TRUE(ReadPortMapping(1).Console);
  EXPECT_FALSE(ReadPortMapping(3).Console);
}

} // namespace
