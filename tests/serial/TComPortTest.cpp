#include "serial/TComPort.h"
#include "tests/support/NullModem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <asm/termbits.h>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The owner window: records every received-data message.
class TRecorder : public TMessageTarget {
public:
  LRESULT ReceiveMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
  {
    if (msg == WM_USER) {
      Sizes.push_back(std::size_t(wParam));
      Bytes.append(reinterpret_cast<const char*>(lParam), std::size_t(wParam));
    }
    if (OnMessage)
      OnMessage();
    return 0;
  }
  std::vector<std::size_t> Sizes;
  std::string Bytes;
  std::function<void()> OnMessage;
};

std::string Pattern(std::size_t n, unsigned seed = 0)
{
  std::string s;
  for (std::size_t i = 0; i < n; ++i)
    s.push_back(char((i * 131 + seed) % 251));
  return s;
}

class TComPortTest : public ::testing::Test {
protected:
  void SetUp() override { Store.LinkPort(1, Pty.SlavePath()); }

  // Opens COM1 with the terminal's queue sizes and 9600 8N1 without handshake.
  void OpenAndConfigure()
  {
    ASSERT_EQ(Port.Open(&Owner, 1, 1024, 1024), 1);
    ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 0, 1, 1, 0, 0), 0);
  }
  // Polls as the terminal's timer does until want bytes arrived or about two seconds passed.
  void PollUntil(std::size_t want)
  {
    for (int i = 0; i < 20 && Owner.Bytes.size() < want; ++i) {
      Port.Poll();
      if (Owner.Bytes.size() < want)
        std::this_thread::sleep_for(100ms);
    }
  }
  // Writes 1024-byte blocks without reading the far end until one stays in flight.
  std::string FillUntilInFlight()
  {
    std::string sent;
    for (unsigned i = 0; i < 2000 && Port.IsWriteIdle(); ++i) {
      const std::string block = Pattern(1024, i);
      if (Port.Write(block.data(), 1024) != 0)
        break;
      sent += block;
    }
    return sent;
  }

  TScratchStore Store;
  TPty Pty;
  TNullModem Modem {Pty};
  TRecorder Owner;
  TComPort Port;
};

TEST_F(TComPortTest, OnlyPortsOneToFourByTheirLowByteOpen)
{
  Store.LinkPort(4, "loopback");
  for (int bad : {0, 5, -1, 256, 0x105})
    EXPECT_EQ(Port.Open(&Owner, bad, 1024, 1024), -1) << bad;
  EXPECT_EQ(Port.Open(&Owner, 0x104, 1024, 1024), 4);   // low byte 4
  Port.Close();
  EXPECT_EQ(Port.Open(&Owner, 2, 1024, 1024), -1);      // links to nothing
  Port.Close();
  EXPECT_EQ(Port.Configure(9600, 8, 0, 0, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(Port.Write("x", 1), -1);
  EXPECT_EQ(Port.GetModemStatus(), -1);
}

TEST_F(TComPortTest, APortHeldByAnotherOpenerFailsAndCloseReleasesItOnce)
{
  OpenAndConfigure();
  TComPort other;
  EXPECT_EQ(other.Open(&Owner, 1, 1024, 1024), -1);
  other.Close();
  other.Close();

  Port.Close();
  Port.Close();
  TComPort next;
  TRecorder nextOwner;
  ASSERT_EQ(next.Open(&nextOwner, 1, 1024, 1024), 1);
  ASSERT_EQ(next.Configure(9600, 8, 0, 0, 0, 0, 0, 0, 0), 0);
  Port.Close();   // must not release what the other port now holds
  ASSERT_EQ(next.Write("still mine", 10), 0);
  EXPECT_EQ(Pty.Receive(10, 1000), "still mine");
}

TEST_F(TComPortTest, AWriteIsCutTo1024BytesAndTheCallersBufferIsFreeAtOnce)
{
  OpenAndConfigure();
  std::string data = Pattern(1500);
  ASSERT_EQ(Port.Write(data.data(), std::uint32_t(data.size())), 0);
  const std::string expected = data.substr(0, 1024);
  data.assign(data.size(), 'Z');
  EXPECT_EQ(Pty.Receive(1500, 500), expected);
  EXPECT_EQ(Port.Write(nullptr, 0), 0);
  EXPECT_EQ(Port.Write(nullptr, 5), -1);
}

TEST_F(TComPortTest, AWriteInFlightRefusesTheNextAndArrivesIntact)
{
  OpenAndConfigure();
  const std::string sent = FillUntilInFlight();
  ASSERT_FALSE(Port.IsWriteIdle()) << "the line never filled up";
  const std::string refused(1024, '!');
  EXPECT_EQ(Port.Write(refused.data(), 1024), -2);
  Port.Poll();
  EXPECT_FALSE(Port.IsWriteIdle());

  // The far end reads: the write in flight completes with its own bytes, not the refused ones.
  std::string got = Pty.Receive(sent.size(), 2000);
  for (int i = 0; i < 20 && !Port.IsWriteIdle(); ++i) {
    std::this_thread::sleep_for(10ms);
    Port.Poll();
  }
  EXPECT_TRUE(Port.IsWriteIdle());
  got += Pty.Receive(sent.size() - got.size(), 500);
  EXPECT_EQ(got.size(), sent.size());
  EXPECT_TRUE(got == sent) << "bytes of the write in flight were changed";
  EXPECT_EQ(Pty.Receive(1, 100), "");
}

TEST_F(TComPortTest, AReadThatTimesOutEmptySendsNoMessage)
{
  OpenAndConfigure();
  for (int i = 0; i < 3; ++i) {
    Port.Poll();
    std::this_thread::sleep_for(110ms);
  }
  Port.Poll();
  EXPECT_TRUE(Owner.Sizes.empty());
  ASSERT_TRUE(Pty.Send("late"));
  PollUntil(4);
  EXPECT_EQ(Owner.Bytes, "late");
}

TEST_F(TComPortTest, ReceivedBytesArriveInOrderInMessagesOfOneTo80)
{
  OpenAndConfigure();
  const std::string data = Pattern(200);
  ASSERT_TRUE(Pty.Send(data));
  std::this_thread::sleep_for(20ms);
  PollUntil(200);
  EXPECT_EQ(Owner.Bytes, data);
  ASSERT_GE(Owner.Sizes.size(), 3u);
  for (std::size_t n : Owner.Sizes) {
    EXPECT_GE(n, 1u);
    EXPECT_LE(n, 80u);
  }
}

TEST_F(TComPortTest, UnderAFloodAPollDrainsTheLineUntilItsBudgetIsSpentAndKeepsEveryByteInOrder)
{
  OpenAndConfigure();
  // What the line holds when the poll starts is taken whole (the old cap was 128 reads of 80
  // bytes), unless the machine was so busy that the poll's budget ran out first.
  const std::string queued = Pattern(12000);
  std::thread first([&] { Pty.Send(queued); });
  int held = 0;
  for (int last = -1, wait = 0; wait < 200 && held != last; ++wait) {
    last = held;
    std::this_thread::sleep_for(20ms);
    ioctl(Pty.Slave(), FIONREAD, &held);
  }
  const auto start = std::chrono::steady_clock::now();
  Port.Poll();
  if (std::chrono::steady_clock::now() - start < TComPort::PollBudget) {
    EXPECT_GE(Owner.Bytes.size(), std::size_t(held));
  }
  for (int polls = 0; polls < 1000 && Owner.Bytes.size() < queued.size(); ++polls) {
    Port.Poll();
    std::this_thread::sleep_for(1ms);
  }
  if (Owner.Bytes.size() < queued.size())
    Pty.CloseMaster();
  first.join();
  ASSERT_EQ(Owner.Bytes.size(), queued.size());

  // A flood larger than the line holds, taken by an owner whose every message takes 2 ms: the
  // budget ends each poll after at most PollBudget / 2 ms messages, and the next poll goes on
  // where it stopped.
  const std::string flood = Pattern(300000, 7);
  std::thread feeder([&] { Pty.Send(flood); });
  Owner.OnMessage = [] { std::this_thread::sleep_for(2ms); };
  const std::size_t most = std::size_t(TComPort::PollBudget / 2ms) + 1;
  for (int i = 0; i < 3; ++i) {
    // More than the budget's worth of messages waits on the line.
    int waiting = 0;
    for (int wait = 0; wait < 200 && waiting < 2000; ++wait) {
      std::this_thread::sleep_for(10ms);
      ioctl(Pty.Slave(), FIONREAD, &waiting);
    }
    const std::size_t before = Owner.Sizes.size();
    Port.Poll();
    EXPECT_GE(Owner.Sizes.size() - before, 1u);
    EXPECT_LE(Owner.Sizes.size() - before, most);
    EXPECT_TRUE(Port.MoreToRead());
  }
  Owner.OnMessage = nullptr;
  const std::string all = queued + flood;
  const auto giveUp = std::chrono::steady_clock::now() + 120s;
  while (Owner.Bytes.size() < all.size() && std::chrono::steady_clock::now() < giveUp) {
    Port.Poll();
    if (!Port.MoreToRead())
      std::this_thread::sleep_for(1ms);
  }
  if (Owner.Bytes.size() < all.size())
    Pty.CloseMaster();   // frees a feeder still blocked on the line
  feeder.join();
  EXPECT_EQ(Owner.Bytes.size(), all.size());
  EXPECT_TRUE(Owner.Bytes == all) << "received bytes differ from the sent ones";
  EXPECT_TRUE(std::all_of(Owner.Sizes.begin(), Owner.Sizes.end(), [](std::size_t n) { return n >= 1 && n <= 80; }));
}

// One row of Configure's handshake arguments and what the line must do: the kernel's RTS/CTS
// handshake, the levels the device sees of DTR and RTS, and the lines that hold output
// (C: CTS, D: DSR).
struct THandshakeRow {
  int Kind, SetDtr, SetRts, UseCts, UseDsr;
  bool Crtscts, Dtr, Rts;
  const char* HeldBy;
};

TEST_F(TComPortTest, EveryHandshakeRowDrivesTheLinesAndHoldsOutputAsConfigured)
{
  OpenAndConfigure();
  const THandshakeRow rows[] = {
      // No handshake: the set flags drive the lines, the use flags count for nothing.
      {0, 0, 0, 1, 1, false, false, false, ""},
      {0, 1, 0, 0, 0, false, true, false, ""},
      {0, 0, 1, 0, 0, false, false, true, ""},
      {0, 1, 1, 1, 1, false, true, true, ""},
      // Hardware: the kernel's RTS handshake, DTR up, output held by CTS and DSR, flags ignored.
      {1, 0, 0, 0, 0, true, true, true, "CD"},
      {1, 1, 1, 1, 1, true, true, true, "CD"},
      // XOn / XOff: lines as set, never the kernel's handshake, output held as the use flags say.
      {2, 0, 0, 0, 0, false, false, false, ""},
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
      // Any other kind leaves all of it as the row before set it.
      {3, 1, 0, 0, 1, false, false, true, "C"},
  };
  for (const THandshakeRow& r : rows) {
    SCOPED_TRACE(::testing::Message() << "kind " << r.Kind << " setDtr " << r.SetDtr << " setRts " << r.SetRts
                                      << " useCts " << r.UseCts << " useDsr " << r.UseDsr);
    ASSERT_EQ(Port.Configure(9600, 8, 0, 0, r.Kind, r.SetDtr, r.SetRts, r.UseCts, r.UseDsr), 0);
    EXPECT_EQ((Modem.Cflag() & CRTSCTS) != 0, r.Crtscts);
    EXPECT_EQ(Modem.Sees(), (r.Dtr ? TIOCM_DSR | TIOCM_CAR : 0) | (r.Rts ? TIOCM_CTS : 0));
    // Each input line low in turn: a write it holds stays in flight until the line rises.
    for (const char line : {'C', 'D'}) {
      const bool held = std::strchr(r.HeldBy, line) != nullptr;
      const auto device = [&](bool on) { line == 'C' ? Modem.SetRts(on) : Modem.SetDtr(on); };
      device(false);
      ASSERT_EQ(Port.Write(&line, 1), 0);
      Port.Poll();
      EXPECT_EQ(Port.IsWriteIdle(), !held) << line;
      if (held) {
        EXPECT_EQ(Port.Write("!", 1), -2);
        EXPECT_EQ(Pty.Receive(1, 50), "") << line;
      }
      device(true);
      Port.Poll();
      EXPECT_TRUE(Port.IsWriteIdle()) << line;
      EXPECT_EQ(Pty.Receive(1, 1000), std::string(1, line));
    }
  }

  // Kind 3 still sets the speed and purges both directions.
  ASSERT_TRUE(Pty.Send("stale input"));
  std::this_thread::sleep_for(20ms);
  ASSERT_EQ(Port.Configure(4800, 8, 0, 0, 3, 1, 1, 0, 1), 0);
  EXPECT_EQ(Modem.Speed(), 4800u);
  Port.Poll();
  std::this_thread::sleep_for(110ms);
  Port.Poll();
  EXPECT_TRUE(Owner.Bytes.empty()) << "configure did not drop queued input";
}

TEST_F(TComPortTest, EveryFramingReachesTheLineOrIsRefused)
{
  OpenAndConfigure();
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
        if (!valid) {
          EXPECT_EQ(Modem.Cflag(), before);
          continue;
        }
        EXPECT_EQ(Modem.Speed(), 256000u);
        EXPECT_EQ(Modem.Cflag() & CBAUD, std::uint32_t(BOTHER));
        EXPECT_EQ(Modem.Cflag() & CSIZE, Sizes[byteSize - 5]);
        EXPECT_EQ((Modem.Cflag() & CSTOPB) != 0, stopBits != 0);
        EXPECT_EQ(Modem.Cflag() & (PARENB | PARODD | CMSPAR), Parities[parity]);
        EXPECT_EQ(Port.CommState().fParity, parity != 0);
      }
  EXPECT_EQ(Port.Configure(0, 8, 0, 0, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(Port.Configure(9600, 9, 0, 0, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(Port.Configure(9600, 8, 0, 5, 0, 0, 0, 0, 0), -1);
}

TEST_F(TComPortTest, AHeldWriteKeepsEveryByteInOrderUntilItsGateRisesAndConfigureDropsIt)
{
  OpenAndConfigure();
  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 2, 1, 1, 0, 1), 0);   // output held while DSR is low
  Modem.SetDtr(false);
  const std::string data = Pattern(1024);
  ASSERT_EQ(Port.Write(data.data(), 1024), 0);
  for (int i = 0; i < 3; ++i) {
    Port.Poll();
    EXPECT_FALSE(Port.IsWriteIdle());
  }
  EXPECT_EQ(Pty.Receive(1, 100), "");
  Modem.SetDtr(true);
  Port.Poll();
  EXPECT_EQ(Pty.Receive(1024, 2000), data);
  EXPECT_TRUE(Port.IsWriteIdle());

  Modem.SetDtr(false);
  ASSERT_EQ(Port.Write(data.data(), 1024), 0);
  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 2, 1, 1, 0, 1), 0);
  EXPECT_TRUE(Port.IsWriteIdle());
  Modem.SetDtr(true);
  Port.Poll();
  EXPECT_EQ(Pty.Receive(1, 100), "") << "a purged write went out";
}

TEST_F(TComPortTest, APseudoTerminalWithoutModemLinesHasNoStatusAndHoldsNothing)
{
  TPty bare;
  Store.LinkPort(2, bare.SlavePath());
  ASSERT_EQ(Port.Open(&Owner, 2, 1024, 1024), 2);
  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 1, 0, 0, 0, 0), 0);   // hardware handshake
  EXPECT_EQ(Port.GetModemStatus(), -1);
  ASSERT_EQ(Port.Write("free", 4), 0);
  EXPECT_EQ(bare.Receive(4, 1000), "free");
}

TEST_F(TComPortTest, AVanishedLineDeliversWhatArrivedFreesTheWriterAndOnlyANewLinkBringsItBack)
{
  // COM1 names the line through a second link, as /dev/serial/by-id names an adapter.
  const std::string via = Store.Root() + "/via";
  std::filesystem::create_symlink(Pty.SlavePath(), via);
  Store.LinkPort(1, via);
  OpenAndConfigure();
  ASSERT_TRUE(Pty.Send("last"));
  std::this_thread::sleep_for(20ms);
  Port.Poll();   // the read takes the 4 bytes and waits for more
  const std::string sent = FillUntilInFlight();
  ASSERT_FALSE(Port.IsWriteIdle());
  Pty.CloseMaster();
  Port.Poll();
  EXPECT_EQ(Owner.Bytes, "last");
  EXPECT_TRUE(Port.IsWriteIdle()) << "a failed write must not block writing for good";
  EXPECT_EQ(Port.Write("x", 1), -1);
  for (int i = 0; i < 5; ++i)
    Port.Poll();
  EXPECT_EQ(Owner.Sizes.size(), 1u);

  // A pseudo-terminal that turns up under the unchanged COM link may be anyone's (their numbers
  // are reused): it is left alone. Once the link is made anew, it is taken up.
  TPty next;
  std::filesystem::remove(via);
  std::filesystem::create_symlink(next.SlavePath(), via);
  Port.Poll();
  EXPECT_EQ(Port.Write("x", 1), -1);
  Store.LinkPort(1, next.SlavePath());
  Port.Poll();
  ASSERT_EQ(Port.Write("y", 1), 0);
  EXPECT_EQ(next.Receive(1, 1000), "y");
}

TEST_F(TComPortTest, TheOwnerMayCloseThePortWhileHandlingReceivedData)
{
  OpenAndConfigure();
  Owner.OnMessage = [&] { Port.Close(); };
  ASSERT_TRUE(Pty.Send(Pattern(400)));
  std::this_thread::sleep_for(20ms);
  Port.Poll();
  EXPECT_EQ(Owner.Sizes.size(), 1u);
  Port.Poll();
  EXPECT_EQ(Owner.Sizes.size(), 1u);
}

} // namespace
