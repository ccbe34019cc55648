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
  FILE* p = popen((std::string(KALVIX_PORTS) + " " + args + " 2>&1").c_str(), "r");
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
}

TEST_F(PortMapTest, BadRequestsAreRefusedWithAReason)
{
  EXPECT_NE(MapPort(0, "loopback"), "");
  EXPECT_NE(MapPort(5, "loopback"), "");
  EXPECT_NE(UnmapPort(9), "");
  EXPECT_NE(MapPort(2, "/dev/no-such-tty").find("no such device"), std::string::npos);
  EXPECT_NE(MapPort(2, "/etc/hostname").find("not a character device"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Store.StoreDir() + "/ports/COM2"));

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

TEST_F(PortMapTest, TheToolMapsListsAndReportsErrorsByExitStatus)
{
  TRun r = Tool("map COM2 " + Pty.SlavePath());
  EXPECT_EQ(r.Status, 0) << r.Output;
  r = Tool("list");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Output.find("COM2  " + Pty.SlavePath()), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find("free"), std::string::npos);
  EXPECT_EQ(Tool("map 7 loopback").Status, 1);
  EXPECT_EQ(Tool("map 1 /dev/no-such-tty").Status, 1);
  EXPECT_EQ(Tool("unmap 2").Status, 0);
  EXPECT_EQ(Tool("frobnicate").Status, 2);
  r = Tool("--help");
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Output.find("Usage"), std::string::npos);
}

} // namespace
