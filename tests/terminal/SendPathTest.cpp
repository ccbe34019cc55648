// The send path tick by tick through a real port on a pseudo-terminal behind a null-modem cable,
// the far end reading what goes out. Hardware handshake: the far end's RTS holds our writes.
#include "terminal/TSendPath.h"

#include "tests/support/NullModem.h"

#include <gtest/gtest.h>

namespace {

class SendPathTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    Store.LinkPort(1, Pty.SlavePath());
    ASSERT_EQ(Port.Open(nullptr, 1, 1024, 1024), 1);
    ASSERT_EQ(Port.Configure(9600, 8, ONESTOPBIT, EVENPARITY, int(THandshake::Hardware), 0, 0, 0, 0), 0);
  }
  // One tick as the window runs it, the port's poll then one step: what the far end got from
  // it, and "end" when the step ended the transmission.
  std::string Tick()
  {
    const bool inFlight = !Port.IsWriteIdle();
    Port.Poll();
    const bool ready = Path.State() == TSendPath::Ready;
    const bool ended = Path.Tick(Port);
    // What a write put on the line reaches the master within moments; wait that long.
    const std::string got = Pty.Receive(4096, inFlight || (ready && Path.State() == TSendPath::Writing) ? 15 : 0);
    return ended ? got + " end" : got;
  }
  // Ticks n times and lists "tick:what" for every tick that sent something or ended.
  std::vector<std::string> Ticks(int n, int first = 1)
  {
    std::vector<std::string> out;
    for (int t = first; t < first + n; ++t)
      if (const std::string got = Tick(); !got.empty())
        out.push_back(std::to_string(t) + ":" + got);
    return out;
  }

  TScratchStore Store;
  TPty Pty;
  TNullModem Modem {Pty};
  TComPort Port;
  TSendPath Path;
};

TEST_F(SendPathTest, SegmentsGoOutPausedByDelayTimeAndTheTransmissionEndsOnTheTickAfterTheLast)
{
  struct TRun {
    std::string Text;
    bool TextMode;
    int DelayTime, Ticks;
    std::vector<std::string> Out;
  };
  const TRun runs[] = {
    // A segment after a delay point goes out DelayTime / 100 + 3 ticks after the one before.
    {"AB,CD", true, 0, 8, {"1:AB", "4:CD", "5: end"}},
    {"AB,CD", true, 1000, 20, {"1:AB", "14:CD", "15: end"}},
    {"AB,CD", true, 99, 6, {"1:AB", "4:CD", "5: end"}},   // under one tick: the shortest pause
    {"", false, 0, 4, {"2: end"}},                        // an empty write
    // Every delay slot in use: 80 pauses of three ticks, the last write, the end.
    {std::string(80, ';'), false, 0, 250, {"242: end"}},
    {"41,42:", false, 0, 6, {"1:AB", "3:AB", "5:AB"}},   // a repeat every two ticks
  };
  for (const TRun& run : runs) {
    SCOPED_TRACE(run.Text);
    Path.DelayTime = run.DelayTime;
    Path.Start(run.Text, run.TextMode);
    EXPECT_EQ(Ticks(run.Ticks), run.Out);
    Path.Stop();
    EXPECT_FALSE(Path.IsSending());
    EXPECT_TRUE(Ticks(6).empty()) << "nothing goes after Stop";
  }
}

TEST_F(SendPathTest, StopDuringAPauseLetsItRunOutAndAStartMeanwhileWaitsForIt)
{
  Path.DelayTime = 1000;
  Path.Start("A,B", true);
  EXPECT_EQ(Tick(), "A");
  Tick();   // the write is seen done: a pause of ten ticks starts
  Path.Stop();
  EXPECT_TRUE(Ticks(4, 3).empty());
  Path.Start("C", true);
  // B never goes; C goes when the pause has run out, as B would have.
  EXPECT_EQ(Ticks(12, 7), (std::vector<std::string> {"14:C", "15: end"}));
}

TEST_F(SendPathTest, StopDuringAHeldWriteSendsNoMoreAndAStartMeanwhileSendsTheNewStringWhole)
{
  for (const bool restart : {false, true}) {
    SCOPED_TRACE(restart ? "started again" : "stopped");
    Modem.SetRts(false);
    Path.Start("41,42;43", false);
    EXPECT_EQ(Tick(), "");
    EXPECT_FALSE(Port.IsWriteIdle());
    Path.Stop();
    if (restart)
      Path.Start("44:", false);   // cyclic, to be sure it starts from its first byte
    EXPECT_TRUE(Ticks(3).empty());
    Modem.SetRts(true);
    std::string all;
    for (int t = 0; t < 8; ++t)
      all += Tick();
    EXPECT_EQ(all.substr(0, 4), restart ? "ABDD" : "AB");   // the held write, then the new string
    Path.Stop();
    Ticks(4);
  }
}

}   // namespace
