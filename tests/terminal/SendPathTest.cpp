// The send path tick by tick through a real port on a pseudo-terminal, the far end reading what
// goes out, with the triggers' replies. (A Send after Stop while a write is held:
// KalvixFaults.AWriteTheFarEndNeverTakes...)
#include "resources/ResourceIds.h"
#include "terminal/TSendPath.h"
#include "triggers/TTriggerRun.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

namespace {

class SendPathTest : public ::testing::Test {
protected:
  using TTime = TTriggerMatcher::TTime;
  using TChunks = std::vector<std::pair<int, std::string>>;   // what comes on which tick
  void SetUp() override
  {
    Store.LinkPort(1, Pty.SlavePath());
    ASSERT_EQ(Port.Open(nullptr, 1, 1024, 1024), 1);
    ASSERT_EQ(Port.Configure(9600, 8, ONESTOPBIT, EVENPARITY, int(THandshake::Hardware), 0, 0, 0, 0), 0);
  }
  static TTriggerRule Rule(std::string text, std::string reply, int delay = 0)
  {
    return {.On = true, .Text = text, .Regex = false, .Reply = reply, .Delay = delay, .Once = false};
  }
  // Ticks first to last, 100 ms apart, as the terminal window runs them: what arrives on the
  // line, the user's Send or Stop, the port's poll, the replies' step, the send step. "tick:bytes "
  // for what reached the far end, "tick:end " for the tick that ended the transmission,
  // "[status]" for what the status bar is to say.
  std::string Ticks(int first, int last, const TChunks& line = {}, const TChunks& user = {})
  {
    std::string out;
    for (int t = first; t <= last; ++t) {
      const TTime now = TTime() + t * std::chrono::milliseconds(100);
      for (const auto& [tick, bytes] : line)
        if (tick == t)
          Matcher.Received(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now);
      for (const auto& [tick, send] : user)
        if (tick == t && send == "Stop")
          Path.Stop(), Run.Clear();
        else if (tick == t)
          Path.Start(send, TextMode);
      const bool inFlight = !Port.IsWriteIdle(), ready = Path.State() == TSendPath::Ready;
      Port.Poll();
      std::string said;
      if (const std::string piece = Run.Step(now, TextMode, !Path.IsSending(), said); !piece.empty())
        Path.Start(piece, TextMode);
      const bool ended = Path.Tick(Port);
      // What a write put on the line reaches the master within moments; wait that long.
      const std::string got = Pty.Receive(4096, inFlight || (ready && Path.State() == TSendPath::Writing) ? 15 : 0);
      out += got.empty() && !ended ? "" : std::to_string(t) + ":" + got + (ended ? "end " : " ");
      out += said.empty() ? "" : "[" + said + "] ";
    }
    return out;
  }

  TScratchStore Store;
  TPty Pty;
  TComPort Port;
  TSendPath Path;
  TTriggerRun Run {SendMax, [](unsigned id, char* text, int size) {
                     return std::snprintf(text, std::size_t(size), "%s", id == IDS_TRIGGER_SENT ? "%u sent %s" : "?");
                   }};
  TTriggerMatcher& Matcher = Run.Matcher();
  bool TextMode = true;
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

using ReplyTest = SendPathTest;

TEST_F(ReplyTest, RepliesGoPacedAfterTheirDelayInPiecesBehindARunningSendInTheOrderTheyFiredUntilStop)
{
  Matcher.Assign({Rule("login: ", "root,/0D"), Rule("Password: ", "pw/0D", 500)});
  Path.DelayTime = 200;   // two ticks more at the pause
  EXPECT_EQ(Ticks(0, 12, {{1, "login: "}, {2, "Password: "}}),
            "1:root [1 sent root,/0D] 6:\r 7:end 8:pw\r [2 sent pw/0D] 9:end ");
  Matcher.Assign({Rule("a", "1"), Rule("b", "2")});
  EXPECT_EQ(Ticks(0, 10, {{1, "ba"}}, {{0, "AB,CD"}}), "0:AB 5:CD 6:end 7:2 [2 sent 2] 8:end 9:1 [1 sent 1] 10:end ");
  // A long reply goes in pieces the send path takes whole.
  const std::string x(79, 'x'), y(77, 'y'), z(23, 'y');
  Matcher.Assign({Rule("go", x + "/0D" + y + z)});
  EXPECT_EQ(Ticks(0, 6, {{0, "go"}}), "0:" + x + " [1 sent " + x + "] 1:end 2:\r" + y + " [1 sent /0D" + y +
                                        "] 3:end 4:" + z + " [1 sent " + z + "] 5:end ");
  EXPECT_EQ(TTriggerRun::PieceLength(std::string(50, '1') + ":" + std::string(50, '2'), false, SendMax), 51u);
  // Behind a repeating send the replies wait, until Stop drops them (the stopped send ends once its
  // write is done); Stop ends a reply under way too.
  TextMode = false;
  Matcher.Assign({Rule("a", "31"), Rule("b", "32;33")});
  EXPECT_EQ(Ticks(0, 9, {{1, "ab"}}, {{0, "41:"}, {7, "Stop"}}), "0:A 2:A 4:A 6:A 7:end ");
  EXPECT_EQ(Ticks(0, 9, {{1, "ba"}}, {{2, "Stop"}}), "1:2 [2 sent 32;33] ");
}

TEST_F(ReplyTest, ADelayedReplyAsksForTheWakeUpAtItsTimeButNotWhileItWaitsForTheSendPath)
{
  using namespace std::chrono_literals;
  Matcher.Assign({Rule("login: ", "root", 250)});
  const TTime now = TTime() + 1h;
  Matcher.Received(reinterpret_cast<const std::uint8_t*>("login: "), 7, now);
  std::string said;
  EXPECT_EQ(Run.Step(now, true, true, said) + said, "");
  EXPECT_EQ(Run.WakeAt(now), now + 250ms);
  EXPECT_EQ(Run.Step(now + 250ms, true, false, said) + said, "");
  EXPECT_EQ(Run.WakeAt(now + 250ms), TTime::max()) << "the ticks step the send path";
  EXPECT_EQ(Run.Step(now + 300ms, true, true, said) + said, "root1 sent root");
}

}   // namespace
