#include "serial/TComPort.h"
#include "tests/support/NullModem.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/ioctl.h>

namespace {

class TComPortTest : public ::testing::Test {
protected:
  // COM1 with the terminal's queue sizes and no owner (nothing is received here), at 9600 8N1
  // without handshake, DTR and RTS up.
  void SetUp() override
  {
    std::filesystem::create_symlink(Pty.SlavePath(), Via);   // as /dev/serial/by-id names an adapter
    Store.LinkPort(1, Via);
    ASSERT_EQ(Port.Open(nullptr, 1, 1024, 1024), 1);
    ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 0, 1, 1, 0, 0), 0);
  }
  TScratchStore Store;
  TPty Pty;
  TNullModem Modem {Pty};
  TComPort Port;
  const std::string Via = Store.Root() + "/via";
};

TEST_F(TComPortTest, EveryHandshakeRowHoldsWritesAsConfiguredAndAVanishedLineComesBackOnlyUnderANewLink)
{
  // Configure's handshake arguments; the kernel's RTS/CTS handshake, the levels the device sees
  // of DTR and RTS, and the lines that hold output (C: CTS, D: DSR).
  const struct {
    int Kind, SetDtr, SetRts, UseCts, UseDsr;
    bool Rtscts, Dtr, Rts;
    const char* Held;
  } rows[] = {
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
  std::string first(1024, '\0');
  for (std::size_t i = 0; i < first.size(); ++i)
    first[i] = char(i * 131 % 251);
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << &r - rows);
    ASSERT_EQ(Port.Configure(9600, 8, 0, 0, r.Kind, r.SetDtr, r.SetRts, r.UseCts, r.UseDsr), 0);
    EXPECT_EQ((Modem.Cflag() & CRTSCTS) != 0, r.Rtscts);
    EXPECT_EQ(Modem.Sees(), (r.Dtr ? TIOCM_DSR | TIOCM_CAR : 0) | (r.Rts ? TIOCM_CTS : 0));
    // Each input line low in turn: a write it holds keeps its first 1024 bytes, in order, until
    // the line rises, and refuses the next; the caller's buffer is free at once.
    for (const char line : {'C', 'D'}) {
      const bool held = std::strchr(r.Held, line) != nullptr;
      line == 'C' ? Modem.SetRts(false) : Modem.SetDtr(false);
      std::string data = first + "cut off";
      ASSERT_EQ(Port.Write(data.data(), std::uint32_t(data.size())), 0);
      data.assign(data.size(), 'Z');
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
  EXPECT_TRUE(Port.IsWriteIdle());
  Modem.SetRts(true);
  Port.Poll();
  EXPECT_EQ(Pty.Receive(1, 100), "") << "a purged write went out";
  // A line that vanishes ends the held write: writing is not blocked for good, it fails. A
  // pseudo-terminal that turns up under the unchanged link may be anyone's (their numbers are
  // reused): it is left alone. Under a link made anew, it is taken up.
  Modem.SetRts(false);
  ASSERT_EQ(Port.Write("x", 1), 0);
  Pty.CloseMaster();
  Port.Poll();
  EXPECT_TRUE(Port.IsWriteIdle());
  TPty next;
  std::filesystem::remove(Via);
  std::filesystem::create_symlink(next.SlavePath(), Via);
  Port.Poll();
  EXPECT_EQ(Port.Write("x", 1), -1);
  Store.LinkPort(1, next.SlavePath());
  Port.Poll();
  ASSERT_EQ(Port.Write("y", 1), 0);
  EXPECT_EQ(next.Receive(1, 1000), "y");
}

TEST_F(TComPortTest, AReadErrorOnALineStillThereCostsOneReadAndOnlyFiveInARowEndIt)
{
  struct TOwner : TMessageTarget {
    LRESULT ReceiveMessage(UINT, WPARAM n, LPARAM bytes) override
    {
      Got.append(reinterpret_cast<const char*>(bytes), n);
      return 0;
    }
    std::string Got;
  } owner;
  Port.Close();
  ASSERT_EQ(Port.Open(&owner, 1, 1024, 1024), 1);
  Port.SetReadAtOnce(true);
  // Reads that fail in a row, and whether the port has kept its line after them.
  for (const auto& [failures, kept] : {std::pair(4, true), std::pair(5, false)}) {
    Modem.FailReads(failures, EIO);
    ASSERT_TRUE(Pty.Send("ab"));
    for (int poll = 0; poll <= failures; ++poll)
      Port.Poll();
    EXPECT_EQ(std::pair(Port.IsAttached(), owner.Got), std::pair(kept, std::string(kept ? "ab" : ""))) << failures;
    owner.Got.clear();
  }
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
  EXPECT_EQ(Port.Configure(0, 8, 0, 0, 0, 0, 0, 0, 0), -1);   // would hang the line up
}

}   // namespace
