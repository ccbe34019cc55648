#include "serial/TComPort.h"
#include "platform/Rfc2217Device.h"
#include "tests/support/NullModem.h"
#include "tests/support/Rfc2217Peer.h"
#include "tests/support/Ser2net.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

// The owner window's part: what the port delivers, in order.
struct TCollector : TMessageTarget {
  LRESULT ReceiveMessage(UINT, WPARAM n, LPARAM bytes) override
  {
    Got.append(reinterpret_cast<const char*>(bytes), n);
    return 0;
  }
  std::string Got;
};

// Polls port as the window's timer would, until done() or limitMs have passed; done()'s last answer.
bool PollUntil(TComPort& port, int limitMs, const std::function<bool()>& done)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;; usleep(5000)) {
    port.Poll();
    if (done() || std::chrono::steady_clock::now() > end)
      return done();
  }
}

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
    {1, 0, 0, 0, 0, true, true, true, "CD"},   // hardware: the flags count for nothing
    // XOn / XOff: lines as set, held as the use flags say; each pair of flags in all four states.
    {2, 0, 0, 0, 0, false, false, false, ""},
    {2, 0, 1, 1, 1, false, false, true, "CD"},
    {2, 1, 0, 1, 1, false, true, false, "CD"},
    {2, 1, 1, 0, 1, false, true, true, "D"},
    {2, 1, 1, 1, 0, false, true, true, "C"},
    {3, 0, 0, 0, 1, false, true, true, "C"},   // another kind: all as the row before left it
  };
  const std::string first = Bytes(1024, 0);
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
  // reused): it is left alone. (Under a link made anew it is taken up: KalvixFaults.AnAdapter...)
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
}

TEST_F(TComPortTest, AReadErrorOnALineStillThereCostsOneReadAndOnlyFiveInARowEndIt)
{
  TCollector owner;
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

// A remote port served by a real ser2net, its serial device a pseudo-terminal held here. (A
// server that goes away: the scripted server's hang-ups below.)
TEST(RemotePortTest, ThroughSer2netBytesGoBothWaysAndSettingsReachTheLine)
{
  TScratchStore store;
  TPty pty;
  TSer2net server(pty.SlavePath());
  ASSERT_NE(server.Url(), "") << "ser2net did not start";
  store.LinkPort(1, server.Url());
  TCollector owner;
  TComPort port;
  ASSERT_EQ(port.Open(&owner, 1, 1024, 1024), 1);
  // A pseudo-terminal keeps the speed and the stop bits; the kernel makes it 8 bits without parity.
  const auto speedAndStops = [&] {
    termios2 t {};
    ioctl(pty.Slave(), TCGETS2, &t);
    return std::pair(t.c_ospeed, (t.c_cflag & CSTOPB) != 0);
  };
  ASSERT_EQ(port.Configure(1500000, 8, 2, 0, 0, 1, 1, 0, 0), 0);   // RFC 2217 carries 32 bits
  EXPECT_TRUE(PollUntil(port, 2000, [&] { return speedAndStops() == std::pair(1500000u, true); }));
  ASSERT_EQ(port.Configure(57600, 8, 0, 0, 0, 1, 1, 0, 0), 0);
  EXPECT_TRUE(PollUntil(port, 2000, [&] { return speedAndStops() == std::pair(57600u, false); }));

  // Every byte value and runs of 0xFF (Telnet's escape), both ways.
  const std::string bytes = Bytes(256, 0) + std::string(300, '\xff') + "end";
  ASSERT_EQ(port.Write(bytes.data(), std::uint32_t(bytes.size())), 0);
  EXPECT_TRUE(PollUntil(port, 2000, [&] { return port.IsWriteIdle(); }));
  EXPECT_EQ(pty.Receive(bytes.size() + 1, 2000), bytes);
  ASSERT_TRUE(pty.Send(bytes));
  PollUntil(port, 3000, [&] { return owner.Got.size() >= bytes.size(); });
  EXPECT_EQ(owner.Got, bytes);
}

// The server's side of the COM-PORT option: IAC SB 44 command value IAC SE.
std::string Sb(int command, const std::string& value)
{
  return std::string("\xff\xfa\x2c") + char(command) + value + "\xff\xf0";
}
std::string Sb(int command, int value)
{
  return Sb(command, std::string(1, char(value)));
}

// The remote port's clock in the scripted test: the waits between connections are timed on it.
std::chrono::steady_clock::time_point TestTime;

// A scripted server, for what ser2net cannot show on a pseudo-terminal: each row, what the server
// says, what the program then does, and what the server hears, the owner receives and the lamps show.
TEST(RemotePortTest, AScriptedServerSeesEverySettingLineAndBreakAndDrivesTheLampsAndNothingItSaysBreaksThePort)
{
  TScratchStore store;
  TRfc2217Peer peer;
  TRfc2217Device::Now = [] { return TestTime; };
  const std::shared_ptr<void> realClock(nullptr, [](void*) { TRfc2217Device::Now = std::chrono::steady_clock::now; });
  store.LinkPort(1, peer.Url());
  store.LinkPort(2, "rfc2217://127.0.0.1:1");   // nobody there
  TCollector owner;
  TComPort port, nobody;
  EXPECT_EQ(nobody.Open(nullptr, 2, 1024, 1024), -1);
  ASSERT_EQ(port.Open(&owner, 1, 1024, 1024), 1);
  ASSERT_TRUE(peer.Accept(1000));
  // BINARY both ways, the COM-PORT option, and every modem-line change to be told.
  const std::string hello = "\xff\xfb\x00\xff\xfd\x00\xff\xfb\x2c"s + Sb(11, "\xff\xff");
  EXPECT_EQ(peer.Received(50), hello);
  const std::string purges = Sb(12, 2) + Sb(12, 1);   // transmit, then receive, as Configure purges
  const std::string settings9600 =
    Sb(1, "\0\0\x25\x80"s) + Sb(2, 8) + Sb(3, 5) + Sb(4, 2) + Sb(5, 3) + Sb(5, 8) + Sb(5, 11) + purges;
  const std::string settings19200 =
    Sb(1, "\0\0\x4b\0"s) + Sb(2, 7) + Sb(3, 3) + Sb(4, 1) + Sb(5, 1) + Sb(5, 14) + Sb(5, 8) + Sb(5, 12);
  const struct {
    std::string Says;
    std::function<void()> Then;
    std::string Hears, Delivered;
    long Lamps;
  } rows[] = {
    // 19200 7E1, XOn / XOff with the CTS gate, DTR up, RTS down; no modem state told yet: nothing held.
    {"", [&] { port.Configure(19200, 7, 0, 2, 2, 1, 0, 1, 0); }, settings19200 + purges, "", -1},
    {"", [&] { port.Write(("a\xff\xff"s + "b").data(), 4); }, "a\xff\xff\xff\xff"s + "b", "", -1},
    // CTS low holds output, up again lets it go; the lamps show the lines, not their deltas.
    {Sb(107, 0x20), [&] { port.Write("held", 4); }, "", "", MS_DSR_ON},
    {Sb(107, 0xf3), [] {}, "held", "", MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON},
    // Data with a doubled 0xFF and a NOP in it.
    {"x\xff\xffy\xff\xf1z", [] {}, "", "x\xffyz", 0xf0},
    // Echo and terminal type refused; BINARY and COM-PORT, already on, are not answered again.
    {"\xff\xfb\x01\xff\xfd\x18\xff\xfb\x00\xff\xfd\x2c"s, [] {}, "\xff\xfe\x01\xff\xfc\x18", "", 0xf0},
    // A subnegotiation longer than 64 bytes is dropped to its end, its modem state with it.
    {"\xff\xfa\x2c\x6b\x00"s + std::string(100, 's') + "\xff\xf0tail", [] {}, "", "tail", 0xf0},
    // An IAC that neither doubles nor ends a subnegotiation ends it unread.
    {"\xff\xfa\x2c\x6b\x10\xff\xfb\x03"s + "after", [] {}, "\xff\xfe\x03", "after", 0xf0},
    {"", [&] { port.SetOutputLines(false, true); }, Sb(5, 9) + Sb(5, 11), "", 0xf0},
    {"", [&] { port.SetBreak(true), port.SetBreak(false); }, Sb(5, 5) + Sb(5, 6), "", 0xf0},
    // 255 baud has a 0xFF to double; five bits, mark parity, 1.5 stop bits; no handshake.
    {"", [&] { port.Configure(255, 5, 1, 3, 0, 0, 0, 0, 0); },
     Sb(1, "\0\0\0\xff\xff"s) + Sb(2, 5) + Sb(3, 4) + Sb(4, 3) + Sb(5, 1) + Sb(5, 14) + Sb(5, 9) + Sb(5, 12) + purges,
     "", 0xf0},
    // Hardware handshake, 8S2: flow control both ways at once, DTR and RTS up.
    {"", [&] { port.Configure(9600, 8, 2, 4, 1, 0, 0, 0, 0); }, settings9600, "", 0xf0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(::testing::Message() << "row " << &r - rows);
    ASSERT_TRUE(peer.Send(r.Says));
    PollUntil(port, 100, [&] { return owner.Got.size() >= r.Delivered.size(); });
    r.Then();
    PollUntil(port, 30, [] { return false; });
    EXPECT_EQ(peer.Received(30), r.Hears);
    EXPECT_EQ(owner.Got, r.Delivered);
    EXPECT_EQ(port.GetModemStatus(), r.Lamps);
    owner.Got.clear();
  }
  bool dtr = false, rts = false;   // as the last row set them
  EXPECT_TRUE(port.GetOutputLines(dtr, rts) && dtr && rts);
  // What the server sent before Configure's purge is dropped, not delivered.
  ASSERT_TRUE(peer.Send("stale"));
  usleep(20000);
  ASSERT_EQ(port.Configure(9600, 8, 2, 4, 1, 0, 0, 0, 0), 0);
  PollUntil(port, 30, [] { return false; });
  EXPECT_EQ(peer.Received(30), settings9600);
  EXPECT_EQ(owner.Got, "");

  // A flood of negotiation is gone through on the next poll: the data behind it arrives as the
  // read it is in ends, 100 ms on.
  std::string flood;
  for (int i = 0; i < 20000; ++i)
    flood += "\xff\xfb\x05";
  ASSERT_TRUE(peer.Send(flood + "data"));
  port.Poll(), usleep(100000), port.Poll();
  EXPECT_EQ(owner.Got, "data");
  EXPECT_LE(peer.Received(30).size(), flood.size());

  // Dropped: lost with its lamps dark, tried again on the port's clock when its wait is up and
  // not a millisecond before, and given the settings and the levels of DTR and RTS they name.
  // The wait grows to 10 s while the server closes each connection at once, and is 1 s again
  // after one that lasted 10 s.
  const int waits[] = {1, 2, 4, 8, 10, 10, 1};
  for (const int& wait : waits) {
    SCOPED_TRACE(wait);
    peer.Hangup();
    ASSERT_TRUE(PollUntil(port, 1000, [&] { return !port.IsAttached(); }));
    EXPECT_EQ(port.GetModemStatus(), -1);
    TestTime += std::chrono::seconds(wait) - 1ms;
    port.Poll();
    EXPECT_FALSE(peer.Accept(20));
    TestTime += 1ms;
    port.Poll();
    ASSERT_TRUE(peer.Accept(1000));
    EXPECT_TRUE(PollUntil(port, 1000, [&] { return port.IsAttached(); }));
    EXPECT_EQ(peer.Received(50), hello + settings9600);
    TestTime += &wait == &waits[5] ? 10s : 0s;
  }
  // Taken up again, bytes go both ways.
  owner.Got.clear();
  ASSERT_TRUE(peer.Send("again"));
  ASSERT_EQ(port.Write("x", 1), 0);
  PollUntil(port, 1000, [&] { return owner.Got.size() >= 5; });
  EXPECT_EQ(std::pair(owner.Got, peer.Received(50)), std::pair("again"s, "x"s));
}

}   // namespace
