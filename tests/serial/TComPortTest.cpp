#include "serial/TComPort.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <chrono>
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

TEST_F(TComPortTest, ALongStreamIsTakenInBurstsWithoutLoss)
{
  OpenAndConfigure();
  const std::string data = Pattern(20000);
  std::thread feeder([&] { Pty.Send(data); });
  int polls = 0;
  for (; polls < 50 && Owner.Bytes.size() < data.size(); ++polls) {
    Port.Poll();
    std::this_thread::sleep_for(100ms);
  }
  feeder.join();
  EXPECT_EQ(Owner.Bytes.size(), data.size());
  EXPECT_TRUE(Owner.Bytes == data) << "received bytes differ from the sent ones";
  // 20 000 bytes at 80 per read, one read per poll, would need 250 polls.
  EXPECT_LE(polls, 15);
}

TEST_F(TComPortTest, ConfigureMapsEachHandshakeKindToTheLine)
{
  OpenAndConfigure();
  const auto crtscts = [&] {
    termios2 t {};
    const int fd = open(Pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ioctl(fd, TCGETS2, &t);
    close(fd);
    return (t.c_cflag & CRTSCTS) != 0;
  };
  ASSERT_EQ(Port.Configure(115200, 8, 2, 0, 1, 0, 0, 0, 0), 0);
  EXPECT_TRUE(crtscts());
  EXPECT_EQ(Port.CommState().fDtrControl, DTR_CONTROL_HANDSHAKE);
  EXPECT_EQ(Port.CommState().fRtsControl, RTS_CONTROL_HANDSHAKE);
  EXPECT_TRUE(Port.CommState().fOutxCtsFlow && Port.CommState().fOutxDsrFlow);

  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 0, 1, 0, 1, 1), 0);
  EXPECT_FALSE(crtscts());
  EXPECT_FALSE(Port.CommState().fOutxCtsFlow || Port.CommState().fOutxDsrFlow);
  EXPECT_EQ(Port.CommState().fDtrControl, DTR_CONTROL_ENABLE);
  EXPECT_EQ(Port.CommState().fRtsControl, RTS_CONTROL_DISABLE);

  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 2, 0, 1, 1, 0), 0);
  EXPECT_TRUE(crtscts());
  EXPECT_TRUE(Port.CommState().fOutxCtsFlow);
  EXPECT_FALSE(Port.CommState().fOutxDsrFlow);
  EXPECT_EQ(Port.CommState().fDtrControl, DTR_CONTROL_DISABLE);

  // Kind 3 leaves flow control alone but still sets the rest and purges.
  ASSERT_TRUE(Pty.Send("stale input"));
  std::this_thread::sleep_for(20ms);
  ASSERT_EQ(Port.Configure(4800, 8, 0, 0, 3, 1, 1, 0, 1), 0);
  EXPECT_TRUE(crtscts());
  EXPECT_TRUE(Port.CommState().fOutxCtsFlow);
  EXPECT_FALSE(Port.CommState().fOutxDsrFlow);
  EXPECT_EQ(Port.CommState().BaudRate, 4800u);
  Port.Poll();
  std::this_thread::sleep_for(110ms);
  Port.Poll();
  EXPECT_TRUE(Owner.Bytes.empty()) << "configure did not drop queued input";

  EXPECT_EQ(Port.Configure(0, 8, 0, 0, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(Port.Configure(9600, 9, 0, 0, 0, 0, 0, 0, 0), -1);
}

TEST_F(TComPortTest, ParityAndFramingFollowTheArguments)
{
  Store.LinkPort(2, "loopback");
  ASSERT_EQ(Port.Open(&Owner, 2, 1024, 1024), 2);
  for (int parity = 0; parity <= 4; ++parity) {
    ASSERT_EQ(Port.Configure(1200, 7, 1, parity, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(Port.CommState().Parity, parity);
    EXPECT_EQ(Port.CommState().fParity, parity != 0);
    EXPECT_EQ(Port.CommState().ByteSize, 7);
    EXPECT_EQ(Port.CommState().StopBits, ONE5STOPBITS);
  }
}

TEST_F(TComPortTest, LoopbackModemLinesFollowDtrAndRts)
{
  Store.LinkPort(2, "loopback");
  ASSERT_EQ(Port.Open(&Owner, 2, 1024, 1024), 2);
  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 0, 1, 0, 0, 0), 0);
  EXPECT_EQ(Port.GetModemStatus(), long(MS_DSR_ON | MS_RLSD_ON));
  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 0, 0, 1, 0, 0), 0);
  EXPECT_EQ(Port.GetModemStatus(), long(MS_CTS_ON));
  ASSERT_EQ(Port.Configure(9600, 8, 0, 0, 1, 0, 0, 0, 0), 0);   // hardware: both driven
  EXPECT_EQ(Port.GetModemStatus(), long(MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON));

  ASSERT_EQ(Port.Write("echo", 4), 0);
  PollUntil(4);
  EXPECT_EQ(Owner.Bytes, "echo");
}

TEST_F(TComPortTest, APseudoTerminalHasNoModemStatus)
{
  OpenAndConfigure();
  EXPECT_EQ(Port.GetModemStatus(), -1);
}

TEST_F(TComPortTest, AVanishedLineDeliversWhatArrivedAndFreesTheWriter)
{
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
