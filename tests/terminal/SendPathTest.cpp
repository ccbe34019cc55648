// The send path tick by tick through a real port on a pseudo-terminal, the far end reading what
// goes out. (A Send after Stop while a write is held: KalvixFaults.AWriteTheFarEndNeverTakes...)
#include "terminal/TSendPath.h"
#include "tests/support/ScratchStore.h"

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
  // Ticks first to last as the window does, the port's poll then one step: "tick:bytes " for
  // every tick whose write reached the far end, "tick:end " for the one that ended the transmission.
  std::string Ticks(int first, int last)
  {
    std::string out;
    for (int t = first; t <= last; ++t) {
      const bool inFlight = !Port.IsWriteIdle(), ready = Path.State() == TSendPath::Ready;
      Port.Poll();
      const bool ended = Path.Tick(Port);
      // What a write put on the line reaches the master within moments; wait that long.
      const std::string got = Pty.Receive(4096, inFlight || (ready && Path.State() == TSendPath::Writing) ? 15 : 0);
      out += got.empty() && !ended ? "" : std::to_string(t) + ":" + got + (ended ? "end " : " ");
    }
    return out;
  }

  TScratchStore Store;
  TPty Pty;
  TComPort Port;
  TSendPath Path;
};

TEST_F(SendPathTest, SegmentsGoOutPausedByDelayTimeAndTheTransmissionEndsOnTheTickAfterTheLast)
{
  // Text, text mode, delay time, ticks, what went out when. A segment after a delay point goes
  // out DelayTime / 100 + 3 ticks after the one before.
  const std::tuple<std::string, bool, int, int, const char*> runs[] = {
    {"AB,CD", true, 0, 8, "1:AB 4:CD 5:end "},
    {"AB,CD", true, 1000, 20, "1:AB 14:CD 15:end "},
    {std::string(80, ';'), false, 0, 250, "242:end "},   // every delay slot: 80 pauses of three ticks
    {"41,42:", false, 0, 6, "1:AB 3:AB 5:AB "},          // a repeat every two ticks
  };
  for (const auto& [text, textMode, delayTime, ticks, out] : runs) {
    Path.DelayTime = delayTime;
    Path.Start(text, textMode);
    EXPECT_EQ(Ticks(1, ticks), out) << text;
    Path.Stop();
    EXPECT_EQ(Ticks(1, 6), "") << "nothing goes after Stop";
  }
}

TEST_F(SendPathTest, StopDuringAPauseLetsItRunOutAndAStartMeanwhileWaitsForIt)
{
  Path.DelayTime = 1000;
  Path.Start("A,B", true);
  EXPECT_EQ(Ticks(1, 2), "1:A ");   // the second sees the write done: a pause of ten ticks starts
  Path.Stop();
  EXPECT_EQ(Ticks(3, 6), "");
  Path.Start("C", true);
  EXPECT_EQ(Ticks(7, 18), "14:C 15:end ") << "B never goes; C goes when the pause has run out, as B would have";
}

}   // namespace
