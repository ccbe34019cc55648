#include "platform/SerialDevice.h"
#include "platform/UucpLock.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
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

TEST_F(SerialDeviceTest, ComNamesResolveThroughTheirLinksOrToTheirTtySDevice)
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

TEST_F(SerialDeviceTest, AUucpLockFileOfALiveProcessHoldsThePort)
{
  Store.LinkPort(1, Pty.SlavePath());
  const std::string name = Pty.SlavePath().substr(Pty.SlavePath().rfind('/') + 1);
  const std::string lockFile = "/run/lock/LCK.." + name;
  if (access("/run/lock", W_OK) != 0)
    GTEST_SKIP() << "/run/lock is not writable here";

  // While we hold the port, our own lock file tells other programs so.
  {
    auto dev = OpenComDevice("COM1");
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(access(lockFile.c_str(), F_OK), 0);
  }
  EXPECT_NE(access(lockFile.c_str(), F_OK), 0) << "the lock file outlived the port";

  const pid_t child = fork();
  if (child == 0) {
    pause();
    _exit(0);
  }
  const auto writeLock = [&](pid_t pid) {
    FILE* f = fopen(lockFile.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fprintf(f, "%10d\n", int(pid));
    fclose(f);
  };
  writeLock(child);
  EXPECT_EQ(TUucpLock::Holder(Pty.SlavePath()), child);
  EXPECT_EQ(OpenComDevice("COM1"), nullptr);
  EXPECT_EQ(access(lockFile.c_str(), F_OK), 0) << "a live holder's lock file was removed";
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  // Now stale: ignored, and replaced by ours while we hold the port.
  EXPECT_EQ(TUucpLock::Holder(Pty.SlavePath()), 0);
  {
    auto dev = OpenComDevice("COM1");
    EXPECT_NE(dev, nullptr);
  }
  unlink(lockFile.c_str());
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
