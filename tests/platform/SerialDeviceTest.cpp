#include "platform/SerialDevice.h"
#include "platform/UucpLock.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

termios2 LineOf(const TPty& pty)
{
  termios2 t {};
  const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  EXPECT_GE(fd, 0);
  ioctl(fd, TCGETS2, &t);
  close(fd);
  return t;
}

// Waits for a pending transfer to complete, checking as a poller would.
TIoResult Finish(TSerialDevice& dev, TOverlapped& ov, std::uint32_t& n)
{
  TIoResult r = TIoResult::Pending;
  for (int i = 0; i < 100 && r == TIoResult::Pending; ++i) {
    std::this_thread::sleep_for(10ms);
    r = dev.GetOverlappedResult(ov, n);
  }
  return r;
}

class SerialDeviceTest : public ::testing::Test {
protected:
  TScratchStore Store;
  TPty Pty;
};

TEST_F(SerialDeviceTest, ComNamesResolveThroughTheirLinksOrToTheirTtySDeviceUnlessItIsAConsole)
{
  Store.LinkPort(1, Pty.SlavePath());
  Store.LinkPort(2, "loopback");
  Store.UnlinkPort(3);
  EXPECT_EQ(ResolveComDevice("COM1"), Store.StoreDir() + "/ports/COM1");
  EXPECT_EQ(ResolveComDevice("COM2"), "loopback");
  EXPECT_EQ(ResolveComDevice("COM3"), "/dev/ttyS2");   // resolved only, never opened here
  for (const char* bad : {"COM0", "COM5", "COM", "COM12", "com1", "LPT1", ""})
    EXPECT_EQ(ResolveComDevice(bad), "") << bad;
  EXPECT_EQ(OpenComDevice("COM5"), nullptr);

  // A system console is no default: COM3 names nothing while ttyS2 is one. Through a link the
  // user made, a console opens (the pty stands in for it).
  const std::string ptyName = Pty.SlavePath().substr(Pty.SlavePath().rfind('/') + 1);
  std::ofstream(Store.ConsoleList()) << "ttyS2                -W- (EC  p a)    4:66\n"
                                     << ptyName << "                -W- (E   p  )  136:0\n";
  Store.UnlinkPort(4);
  EXPECT_EQ(ResolveComDevice("COM3"), "");
  EXPECT_EQ(ResolveComDevice("COM4"), "/dev/ttyS3");
  EXPECT_NE(OpenComDevice("COM1"), nullptr);
}

TEST_F(SerialDeviceTest, AMissingOrNonTerminalDeviceDoesNotOpen)
{
  EXPECT_EQ(OpenComDevice("COM1"), nullptr);   // the scratch link names nothing
  const std::string plain = Store.Root() + "/plain-file";
  close(open(plain.c_str(), O_CREAT | O_WRONLY, 0600));
  Store.LinkPort(1, plain);
  EXPECT_EQ(OpenComDevice("COM1"), nullptr);
}

TEST_F(SerialDeviceTest, APortIsHeldExclusivelyAgainstThisAndOtherPrograms)
{
  Store.LinkPort(1, Pty.SlavePath());
  {
    auto first = OpenComDevice("COM1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(OpenComDevice("COM1"), nullptr);
  }
  // Released on close: another program can take it, and then we cannot.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    const bool locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    (void)!write(ready[1], locked ? "L" : "F", 1);
    pause();
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'L');
  EXPECT_EQ(OpenComDevice("COM1"), nullptr);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_NE(OpenComDevice("COM1"), nullptr);
  close(ready[0]);
  close(ready[1]);

  Store.LinkPort(2, "loopback");
  auto loop = OpenComDevice("COM2");
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(OpenComDevice("COM2"), nullptr);
}

// Runs check in a child process that gets five seconds; its exit status, or -1 when it hung.
int Bounded(const std::function<int()>& check)
{
  const pid_t child = fork();
  if (child == 0) {
    alarm(5);
    _exit(check());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Contents(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(SerialDeviceTest, ALockFileHoldsThePortWhileItNamesALiveProcessAndWhenItCannotBeRead)
{
  Store.LinkPort(1, Pty.SlavePath());
  const std::string lockFile = Store.LockDir() + "/LCK.." + Pty.SlavePath().substr(Pty.SlavePath().rfind('/') + 1);
  const auto text = [](const char* format, pid_t pid) {
    char bytes[64];
    std::snprintf(bytes, sizeof bytes, format, int(pid));
    return std::string(bytes);
  };
  const std::string ours = text("%10d\n", getpid());

  // While we hold the port, our own lock file tells other programs so.
  {
    auto dev = OpenComDevice("COM1");
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(Contents(lockFile), ours);
  }
  EXPECT_NE(access(lockFile.c_str(), F_OK), 0) << "the lock file outlived the port";

  // Every form another program may leave (nullptr: the old binary int), naming pid 1, which
  // always lives, or a small pid that nothing has.
  const pid_t live = 1;
  pid_t dead = 0;
  for (pid_t pid = 999; pid > 1 && !dead; --pid)
    if (kill(pid, 0) != 0 && errno == ESRCH)
      dead = pid;
  ASSERT_NE(dead, 0);
  for (const char* format : {"%10d\n", "%d\n", "%4d", "%3d\n", "%10d minicom root\n", static_cast<const char*>(nullptr),
                             "no pid here\n", ""})
    for (const pid_t pid : {live, dead}) {
      const std::string bytes = format ? text(format, pid) : std::string(reinterpret_cast<const char*>(&pid), 4);
      SCOPED_TRACE(::testing::PrintToString(bytes));
      std::ofstream(lockFile, std::ios::binary) << bytes;
      const bool held = pid == live && (!format || std::strchr(format, '%'));
      EXPECT_EQ(TUucpLock::Holder(Pty.SlavePath()), held ? pid : 0);
      auto dev = OpenComDevice("COM1");
      EXPECT_EQ(dev == nullptr, held);
      // A live holder's file stays as it was; a stale one is replaced by ours.
      EXPECT_EQ(Contents(lockFile), held ? bytes : ours);
      dev.reset();
      unlink(lockFile.c_str());
    }

  // Not a plain file, planted by anyone who may write the lock directory: neither waited for
  // nor followed nor removed, and the port stays untouched.
  const std::string elsewhere = Store.Root() + "/elsewhere";
  std::ofstream(elsewhere) << text("%10d\n", dead);
  const std::function<int()> plant[] = {
      [&] { return mkfifo(lockFile.c_str(), 0644); },
      [&] { return mkdir(lockFile.c_str(), 0755); },
      [&] { return symlink(elsewhere.c_str(), lockFile.c_str()); },
  };
  for (const auto& make : plant) {
    ASSERT_EQ(make(), 0);
    struct stat before {};
    lstat(lockFile.c_str(), &before);
    SCOPED_TRACE(S_ISFIFO(before.st_mode) ? "FIFO" : S_ISDIR(before.st_mode) ? "directory" : "link");
    EXPECT_EQ(Bounded([&] { return TUucpLock::Holder(Pty.SlavePath()) == TUucpLock::Unreadable ? 0 : 1; }), 0);
    EXPECT_EQ(Bounded([&] { return OpenComDevice("COM1") == nullptr ? 0 : 1; }), 0);
    struct stat after {};
    EXPECT_EQ(lstat(lockFile.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    std::filesystem::remove(lockFile);
  }
}

TEST_F(SerialDeviceTest, TheLineIsRawSoEveryByteValuePassesBothWays)
{
  Store.LinkPort(1, Pty.SlavePath());
  auto dev = OpenComDevice("COM1");
  ASSERT_NE(dev, nullptr);
  std::string all;
  for (int b = 0; b < 256; ++b)
    all.push_back(char(b));
  ASSERT_TRUE(Pty.Send(all));

  std::uint8_t buffer[256];
  TOverlapped ov;
  dev->SetCommTimeouts(TCommTimeouts {0, 0, 100, 0, 0});
  std::uint32_t n = 0;
  TIoResult r = dev->ReadFile(buffer, 256, ov);
  if (r == TIoResult::Completed)
    n = ov.Done;
  else
    r = Finish(*dev, ov, n);
  ASSERT_EQ(r, TIoResult::Completed);
  ASSERT_EQ(n, 256u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), n), all);

  TOverlapped wov;
  r = dev->WriteFile(buffer, 256, wov);
  if (r == TIoResult::Pending)
    r = Finish(*dev, wov, n);
  EXPECT_EQ(r, TIoResult::Completed);
  EXPECT_EQ(Pty.Receive(256, 1000), all);
}

TEST_F(SerialDeviceTest, LineParametersReachTheDriverAndReadBack)
{
  Store.LinkPort(1, Pty.SlavePath());
  auto dev = OpenComDevice("COM1");
  ASSERT_NE(dev, nullptr);
  TDcb dcb;
  ASSERT_TRUE(dev->GetCommState(dcb));
  dcb.BaudRate = 256000;   // no B-constant exists for it
  dcb.StopBits = TWOSTOPBITS;
  dcb.fOutX = true;
  ASSERT_TRUE(dev->SetCommState(dcb));

  termios2 t = LineOf(Pty);
  EXPECT_EQ(t.c_ospeed, 256000u);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_iflag & IXON);
  TDcb back;
  ASSERT_TRUE(dev->GetCommState(back));
  EXPECT_EQ(back.BaudRate, 256000u);
  EXPECT_EQ(back.StopBits, TWOSTOPBITS);
  // A pseudo-terminal forces 8 data bits and no parity; the request is accepted and the
  // read-back tells the truth.
  dcb.ByteSize = 7;
  dcb.Parity = EVENPARITY;
  dcb.fOutX = false;
  ASSERT_TRUE(dev->SetCommState(dcb));
  ASSERT_TRUE(dev->GetCommState(back));
  EXPECT_EQ(back.ByteSize, 8);
  EXPECT_EQ(back.Parity, NOPARITY);
  EXPECT_FALSE(LineOf(Pty).c_iflag & IXON);

  TDcb bad = dcb;
  bad.BaudRate = 0;   // would hang the line up
  EXPECT_FALSE(dev->SetCommState(bad));
  bad = dcb;
  bad.ByteSize = 9;
  EXPECT_FALSE(dev->SetCommState(bad));
  bad = dcb;
  bad.Parity = 5;
  EXPECT_FALSE(dev->SetCommState(bad));
  EXPECT_EQ(LineOf(Pty).c_ospeed, 256000u);

  std::uint32_t status = 0;
  EXPECT_FALSE(dev->GetCommModemStatus(status));   // a pseudo-terminal has no modem lines
}

TEST_F(SerialDeviceTest, AReadEndsAtItsDeadlineWithWhatArrivedOrAtOnceWhenFull)
{
  Store.LinkPort(1, Pty.SlavePath());
  auto dev = OpenComDevice("COM1");
  ASSERT_NE(dev, nullptr);
  dev->SetCommTimeouts(TCommTimeouts {0, 0, 100, 0, 0});
  std::uint8_t buffer[80];
  TOverlapped ov;
  std::uint32_t n = 99;

  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(dev->ReadFile(buffer, 80, ov), TIoResult::Pending);
  ASSERT_TRUE(Pty.Send("abc"));
  ASSERT_EQ(Finish(*dev, ov, n), TIoResult::Completed);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);   // 100 ms, less the poller's slack
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "abc");

  ASSERT_EQ(dev->ReadFile(buffer, 80, ov), TIoResult::Pending);
  ASSERT_EQ(Finish(*dev, ov, n), TIoResult::Completed);
  EXPECT_EQ(n, 0u);   // timed out empty

  ASSERT_TRUE(Pty.Send(std::string(100, 'x')));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(dev->ReadFile(buffer, 80, ov), TIoResult::Completed);
  EXPECT_EQ(ov.Done, 80u);
}

TEST_F(SerialDeviceTest, PurgeEndsTransfersInFlightAndDropsQueuedInput)
{
  Store.LinkPort(1, Pty.SlavePath());
  auto dev = OpenComDevice("COM1");
  ASSERT_NE(dev, nullptr);
  dev->SetCommTimeouts(TCommTimeouts {0, 0, 100, 0, 0});
  std::uint8_t buffer[80];
  TOverlapped ov;
  ASSERT_EQ(dev->ReadFile(buffer, 80, ov), TIoResult::Pending);
  ASSERT_TRUE(dev->PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR));
  std::uint32_t n = 0;
  EXPECT_EQ(dev->GetOverlappedResult(ov, n), TIoResult::Failed);

  ASSERT_TRUE(Pty.Send("stale"));
  std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(dev->PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR));
  ASSERT_EQ(dev->ReadFile(buffer, 80, ov), TIoResult::Pending);
  ASSERT_EQ(Finish(*dev, ov, n), TIoResult::Completed);
  EXPECT_EQ(n, 0u);
}

TEST_F(SerialDeviceTest, AFailedCompletionCheckEndsTheTransfer)
{
  Store.LinkPort(1, Pty.SlavePath());
  auto dev = OpenComDevice("COM1");
  ASSERT_NE(dev, nullptr);
  dev->SetCommTimeouts(TCommTimeouts {0, 0, 100, 0, 0});
  std::uint8_t buffer[80];
  TOverlapped ov;
  ASSERT_EQ(dev->ReadFile(buffer, 80, ov), TIoResult::Pending);
  Pty.CloseMaster();
  std::uint32_t n = 0;
  EXPECT_EQ(dev->GetOverlappedResult(ov, n), TIoResult::Failed);
  EXPECT_FALSE(ov.Active);
  EXPECT_EQ(dev->GetOverlappedResult(ov, n), TIoResult::Failed);
  EXPECT_EQ(dev->ReadFile(buffer, 80, ov), TIoResult::Failed);
  EXPECT_EQ(dev->WriteFile(buffer, 10, ov), TIoResult::Failed);
}

TEST_F(SerialDeviceTest, TheLoopbackPlugEchoesAndWiresItsModemLines)
{
  Store.LinkPort(2, "loopback");
  auto dev = OpenComDevice("COM2");
  ASSERT_NE(dev, nullptr);
  TDcb dcb;
  ASSERT_TRUE(dev->GetCommState(dcb));
  std::uint32_t status = 0;
  const std::pair<std::uint8_t, std::uint8_t> lines[] = {
      {DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE}, {DTR_CONTROL_ENABLE, RTS_CONTROL_DISABLE},
      {DTR_CONTROL_DISABLE, RTS_CONTROL_ENABLE}, {DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE}};
  const std::uint32_t expected[] = {0, MS_DSR_ON | MS_RLSD_ON, MS_CTS_ON, MS_DSR_ON | MS_RLSD_ON | MS_CTS_ON};
  for (int i = 0; i < 4; ++i) {
    dcb.fDtrControl = lines[i].first;
    dcb.fRtsControl = lines[i].second;
    ASSERT_TRUE(dev->SetCommState(dcb));
    ASSERT_TRUE(dev->GetCommModemStatus(status));
    EXPECT_EQ(status, expected[i]) << i;
  }

  std::uint8_t out[5000];
  for (int i = 0; i < 5000; ++i)
    out[i] = std::uint8_t(i * 7);
  TOverlapped wov, rov;
  // More than the plug holds: the write stays in flight until reads make room.
  ASSERT_EQ(dev->WriteFile(out, 5000, wov), TIoResult::Pending);
  std::uint8_t in[5000];
  dev->SetCommTimeouts(TCommTimeouts {0, 0, 100, 0, 0});
  ASSERT_EQ(dev->ReadFile(in, 4096, rov), TIoResult::Completed);
  std::uint32_t n = 0;
  ASSERT_EQ(dev->GetOverlappedResult(wov, n), TIoResult::Completed);
  EXPECT_EQ(n, 5000u);
  ASSERT_EQ(dev->ReadFile(in + 4096, 904, rov), TIoResult::Completed);
  EXPECT_EQ(std::memcmp(in, out, 5000), 0);

  // Output gated by CTS while RTS (wired to it) is low does not move.
  dcb.fOutxCtsFlow = true;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  ASSERT_TRUE(dev->SetCommState(dcb));
  ASSERT_EQ(dev->WriteFile(out, 1, wov), TIoResult::Pending);
  EXPECT_EQ(dev->GetOverlappedResult(wov, n), TIoResult::Pending);
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  ASSERT_TRUE(dev->SetCommState(dcb));
  EXPECT_EQ(dev->GetOverlappedResult(wov, n), TIoResult::Completed);
}

} // namespace
