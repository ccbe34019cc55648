#include "serial/TComPort.h"
#include "tests/support/NullModem.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <cstring>
#include <sys/ioctl.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The owner window: records every received-data message, each taking Delay to handle.
class TRecorder : public TMessageTarget {
public:
  LRESULT ReceiveMessage(UINT, WPARAM wParam, LPARAM lParam) override
  {
    Sizes.push_back(std::size_t(wParam));
    Bytes.append(reinterpret_cast<const char*>(lParam), std::size_t(wParam));
    std::this_thread::sleep_for(Delay);
    return 0;
  }
  std::vector<std::size_t> Sizes;
  std::string Bytes;
  std::chrono::milliseconds Delay {0};
};

std::string Pattern(std::size_t n)
{
  std::string s;
  for (std::size_t i = 0; i < n; ++i)
    s.push_back(char(i * 131 % 251));
  return s;
}

class TComPortTest : public ::testing::Test {
protected:
  // COM1 with the terminal's queue sizes, at 9600 8N1 without handshake, DTR and RTS up.
  void SetUp() override
  {
    Store.LinkPort(1, Pty.SlavePath());
    ASSERT_EQ(Port.Open(&Owner, 1, 1024, 1024), 1);
    ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 0, 1, 1, 0, 0), 0);
  }
  TScratchStore Store;
  TPty Pty;
  TNullModem Modem {Pty};
  TRecorder Owner;
  TComPort Port;
};

TEST_F(TComPortTest, EveryHandshakeRowDrivesTheLinesAndHoldsWholeWritesAsConfigured)
{
  // Configure's handshake arguments; the kernel's RTS/CTS handshake, the levels the device sees
  // of DTR and RTS, and the lines that hold output (C: CTS, D: DSR).
  const struct { int Kind, SetDtr, SetRts, UseCts, UseDsr; bool Crtscts, Dtr, Rts; const char* HeldBy; } rows[] = {
    {0, 0, 0, 1, 1, false, false, false, ""},   // none: the set flags drive the lines
    {0, 1, 0, 0, 0, false, true, false, ""},
    {0, 0, 1, 0, 0, false, false, true, ""},
    {0, 1, 1, 1, 1, false, true, true, ""},
    {1, 0, 0, 0, 0, true, true, true, "CD"},   // hardware: the flags count for nothing
    {1, 1, 1, 1, 1, true, true, true, "CD"},
    {2, 0, 0, 0, 0, false, false, false, ""},   // XOn / XOff: lines as set, held as the use flags say
    {2, 0, 0, 0, 1, false, false, false, "D"},
    {2, 0, 0, 1, 0, false, false, false, "C"},
    {2, 0, 0, 1, 1, false, false, false, "CD"},
    {2, 0, 1, 0, 0, false, false, true, ""},
    {2, 0, 1, 0, 1, false, false, true, "D"},
    {2, 0, 1, 1, 1, false, false, true, "CD"},
    {2, 1, 0, 0, 0, false, true, false, ""},
    {2, 1, 0, 0, 1, false, true, false, "D"},
    {2, 1, 0, 1, 0, false, true, false, "C"},
    {2, 1, 0, 1, 1, false, true, false, "CD"},
    {2, 1, 1, 0, 0, false, true, true, ""},
    {2, 1, 1, 0, 1, false, true, true, "D"},
    {2, 1, 1, 1, 0, false, true, true, "C"},
    {2, 1, 1, 1, 1, false, true, true, "CD"},
    {2, 0, 1, 1, 0, false, false, true, "C"},
    {3, 1, 0, 0, 1, false, false, true, "C"},   // another kind: all as the row before left it
  };
  const std::string first = Pattern(1024);
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << &r - rows);
    ASSERT_EQ(Port.Configure(9600, 8, 0, 0, r.Kind, r.SetDtr, r.SetRts, r.UseCts, r.UseDsr), 0);
    EXPECT_EQ((Modem.Cflag() & CRTSCTS) != 0, r.Crtscts);
    EXPECT_EQ(Modem.Sees(), (r.Dtr ? TIOCM_DSR | TIOCM_CAR : 0) | (r.Rts ? TIOCM_CTS : 0));
    // Each input line low in turn: a write it holds keeps its first 1024 bytes, in order, until
    // the line rises, and refuses the next; the caller's buffer is free at once.
    for (const char line : {'C', 'D'}) {
      const bool held = std::strchr(r.HeldBy, line) != nullptr;
      line == 'C' ? Modem.SetRts(false) : Modem.SetDtr(false);
      std::string data = Pattern(1500);
      ASSERT_EQ(Port.Write(data.data(), 1500), 0);
      data.assign(1500, 'Z');
      Port.Poll();
      EXPECT_EQ(Port.Write("!", 1), held ? -2 : 0) << line;
      EXPECT_EQ(Pty.Receive(1025, held ? 50 : 2000), held ? "" : first + "!") << line;
      line == 'C' ? Modem.SetRts(true) : Modem.SetDtr(true);
      Port.Poll();
      EXPECT_EQ(Pty.Receive(1024, held ? 2000 : 50), held ? first : "") << line;
      Port.Poll();
      EXPECT_TRUE(Port.IsWriteIdle()) << line;
    }
  }
  // Configuring drops a held write.
  Modem.SetRts(false);
  ASSERT_EQ(Port.Write("x", 1), 0);
  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 2, 0, 1, 1, 0), 0);
  Modem.SetRts(true);
  Port.Poll();
  EXPECT_EQ(Pty.Receive(1, 100), "") << "a purged write went out";
}

TEST_F(TComPortTest, EveryFramingReachesTheLineOrIsRefused)
{
  constexpr std::uint32_t Sizes[] = {CS5, CS6, CS7, CS8};
  // none, odd, even, and the stick parities: CMSPAR with PARODD sends a 1 (mark), without it a 0.
  constexpr std::uint32_t Parities[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
  for (int stopBits = 0; stopBits <= 2; ++stopBits)
    for (int byteSize = 5; byteSize <= 8; ++byteSize)
      for (int parity = 0; parity <= 4; ++parity) {
        SCOPED_TRACE(::testing::Message() << byteSize << " bits, stop bits " << stopBits << ", parity " << parity);
        // 1.5 stop bits exist only with 5 data bits, 2 only with 6 to 8.
        const bool valid = stopBits == 0 || (stopBits == 1) == (byteSize == 5);
        const std::uint32_t before = Modem.Cflag();
        ASSERT_EQ(Port.Configure(256000, byteSize, stopBits, parity, 0, 1, 1, 0, 0), valid ? 0 : -1);
        EXPECT_EQ(Modem.Speed(), 256000u);
        EXPECT_EQ(Modem.Cflag() & (CBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR),
                  valid ? BOTHER | Sizes[byteSize - 5] | (stopBits ? CSTOPB : 0) | Parities[parity]
                        : before & (CBAUD | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR));
      }
  EXPECT_EQ(Port.Configure(0, 8, 0, 0, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(Port.Configure(9600, 9, 0, 0, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(Port.Configure(9600, 8, 0, 5, 0, 0, 0, 0, 0), -1);
}

TEST_F(TComPortTest, UnderAFloodAPollEndsWithItsBudgetAndTheNextGoesOnWithEveryByteInOrder)
{
  // More than the line holds, to an owner that takes 2 ms a message: a poll hands out no more
  // than its budget's worth of them, and tells that more waits.
  const std::string flood = Pattern(300000);
  std::thread feeder([&] { Pty.Send(flood); });
  Owner.Delay = 2ms;
  for (int i = 0; i < 3; ++i) {
    for (int wait = 0, waiting = 0; wait < 200 && waiting < 2000; ++wait, std::this_thread::sleep_for(10ms))
      ioctl(Pty.Slave(), FIONREAD, &waiting);
    const std::size_t before = Owner.Sizes.size();
    Port.Poll();
    EXPECT_LE(Owner.Sizes.size() - before, std::size_t(TComPort::PollBudget / 2ms) + 1);
    EXPECT_TRUE(Port.MoreToRead());
  }
  Owner.Delay = 0ms;
  for (const auto end = std::chrono::steady_clock::now() + 120s;
       Owner.Bytes.size() < flood.size() && std::chrono::steady_clock::now() < end;)
    if (Port.Poll(); !Port.MoreToRead())
      std::this_thread::sleep_for(1ms);
  Pty.CloseMaster();   // frees a feeder still blocked on the line
  feeder.join();
  ASSERT_TRUE(Owner.Bytes == flood) << "received " << Owner.Bytes.size() << " bytes, not the sent ones";
  const auto [least, most] = std::minmax_element(Owner.Sizes.begin(), Owner.Sizes.end());
  EXPECT_TRUE(*least >= 1 && *most <= 80) << *least << " to " << *most << " bytes a message";
}

} // namespace
