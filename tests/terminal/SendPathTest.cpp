// The send path: both notations as tables, the paced send step tick by tick through a real
// port on a pseudo-terminal with the far end reading what goes out, and, on the real window,
// what the user does: type, press Send, see Stop in its place.
#include "terminal/TKalvixDlgClient.h"
#include "terminal/TSendPath.h"

#include "tests/support/NullModem.h"
#include "tests/support/RecordingPresenter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>

namespace {

std::string Hex(const std::uint8_t* bytes, int count)
{
  std::string s;
  char b[4];
  for (int i = 0; i < count; ++i) {
    std::snprintf(b, sizeof b, "%s%02X", s.empty() ? "" : " ", bytes[i]);
    s += b;
  }
  return s;
}

struct TConversion {
  bool Text;
  std::string Input;
  const char* Bytes;
  std::vector<int> Delays;
  bool Repeat;
};

void Check(const TConversion& row, std::int32_t delayChar)
{
  std::uint8_t bytes[SendMax + 1] = {};
  std::int32_t delays[SendMax];
  std::fill(std::begin(delays), std::end(delays), TSendPath::NoDelay);
  bool repeat = false;
  const int n =
    row.Text ? ConvertText(row.Input, delayChar, bytes, delays) : ConvertBinary(row.Input, bytes, delays, repeat);
  std::vector<int> recorded;
  for (int i = 0; i < SendMax && delays[i] != TSendPath::NoDelay; ++i)
    recorded.push_back(delays[i]);
  EXPECT_EQ(Hex(bytes, n), row.Bytes) << row.Input;
  EXPECT_EQ(recorded, row.Delays) << row.Input;
  EXPECT_EQ(repeat, row.Repeat) << row.Input;
}

TEST(SendNotation, EveryWorkedConversionAndTheEdgesOfBothNotationsHold)
{
  const TConversion rows[] = {
    {true, "AT/0D", "41 54 0D", {}, false},
    {true, "AB,CD", "41 42 43 44", {2}, false},
    {true, "AB/2CCD", "41 42 43 44", {2}, false},
    {true, "/ABC", "AB 43", {}, false},
    {true, "/2F", "2F", {}, false},
    {true, ",A,", "41", {0, 1}, false},       // delay points first and last
    {true, "A,,B", "41 42", {1, 1}, false},   // two in a row
    {true, "/-1", "FF", {}, false},           // a sign: two's complement
    {true, "/5Z", "05", {}, false},           // the Z goes with the escape field
    {true, "/F", "0F", {}, false},            // one digit at the end of the text
    {true, "/ZZA", "41", {}, false},          // no number: nothing stored
    {true, "/", "", {}, false},
    {true, "a/2c", "61", {1}, false},         // lower-case escape of the delay character
    {true, "\xe4\x01", "E4 01", {}, false},   // bytes from a command file pass unchanged
    {false, "1B,5A;0D", "1B 5A 0D", {2}, false},
    {false, "41,42:", "41 42", {}, true},
    {false, "41:42", "41 42", {}, false},
    {false, "12;:", "12", {1}, true},
    {false, ",,1,,2", "01 02", {}, false},
    {false, "123", "12", {}, false},
    {false, "1#2", "01", {}, false},
    {false, "#1234", "9A 02", {}, false},
    {false, "#2047", "FF 07", {}, false},
    {false, "#2048", "00 00", {}, false},
    {false, "#12AB", "01 04", {}, false},
    {false, "", "", {}, false},
    {false, ";", "", {0}, false},
    {false, "1;;2", "01 02", {1, 1}, false},
    {false, "#", "", {}, false},   // no digit after #: nothing
    {false, "#AB", "", {}, false},
    {false, "G1,2", "02", {}, false},   // a token that is no number
    {false, " 7,-1,#-1", "07 FF FF 07", {}, false},
    {false, "1:2:", "01 02", {}, true},
    // 80 characters give at most 80 bytes and 80 delay points.
    {true, std::string(80, 'A'), "", std::vector<int>(80, 0), false},
    {false, std::string(80, ';'), "", std::vector<int>(80, 0), false},
  };
  for (const TConversion& row : rows)
    Check(row, row.Input == std::string(80, 'A') ? 'A' : 44);
}

// A port on a pseudo-terminal behind a null-modem cable, configured as the window does by
// default (Hardware handshake: the far end's RTS, our CTS, holds writes).
class SendPathTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    Store.LinkPort(1, Pty.SlavePath());
    ASSERT_EQ(Port.Open(nullptr, 1, 1024, 1024), 1);
    ASSERT_EQ(Port.Configure(9600, 8, ONESTOPBIT, EVENPARITY, int(THandshake::Hardware), 0, 0, 0, 0), 0);
  }
  // One tick as the window runs it: the port's poll, then one step. What the far end got from
  // it, and "end" when the step ended the transmission.
  std::string Tick()
  {
    const bool inFlight = !Port.IsWriteIdle();
    Port.Poll();
    const TSendPath::TSendState before = Path.State();
    const bool ended = Path.Tick(Port);
    const bool wrote = before == TSendPath::Ready && Path.State() == TSendPath::Writing;
    // What a write put on the line reaches the master within moments; wait that long.
    const std::string got = Pty.Receive(4096, inFlight || wrote ? 15 : 0);
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
  void HoldWrites(bool hold) { Modem.SetRts(!hold); }

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
    int DelayTime;
    int Ticks;
    std::vector<std::string> Out;
  };
  const TRun runs[] = {
    // A segment after a delay point goes out DelayTime / 100 + 3 ticks after the one before.
    {"AB,CD", true, 0, 8, {"1:AB", "4:CD", "5: end"}},
    {"AB,CD", true, 1000, 20, {"1:AB", "14:CD", "15: end"}},
    {"AB,CD", true, 99, 6, {"1:AB", "4:CD", "5: end"}},   // under one tick: the shortest pause
    // An empty string makes one empty write.
    {"", false, 0, 4, {"2: end"}},
    // With every delay slot in use the step still ends: 80 pauses of three ticks, the last
    // write, the end.
    {std::string(80, ';'), false, 0, 250, {"242: end"}},
    // A repeating string goes out every two ticks.
    {"41,42:", false, 0, 6, {"1:AB", "3:AB", "5:AB"}},
  };
  for (const TRun& run : runs) {
    SCOPED_TRACE(run.Text);
    Path.DelayTime = run.DelayTime;
    Path.Start(run.Text, run.TextMode);
    EXPECT_TRUE(Path.IsSending());
    EXPECT_EQ(Ticks(run.Ticks), run.Out);
    Path.Stop();
    EXPECT_FALSE(Path.IsSending());
    EXPECT_TRUE(Ticks(6).empty()) << "nothing goes after Stop";
  }
}

TEST_F(SendPathTest, ChangingDelayTimeDuringARepeatChangesTheNextPause)
{
  Path.Start("41;:", false);
  // Write, pause start, pause end, empty write, rewind: a cycle of five ticks.
  EXPECT_EQ(Ticks(5), (std::vector<std::string> {"1:A"}));
  Path.DelayTime = 500;   // read when the next pause starts, at tick 7
  EXPECT_EQ(Ticks(25, 6), (std::vector<std::string> {"6:A", "16:A", "26:A"}));
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
  EXPECT_EQ(Path.State(), TSendPath::Ready);
}

TEST_F(SendPathTest, StopDuringAWriteHeldByFlowControlWaitsForItAndSendsNoMore)
{
  HoldWrites(true);
  Path.Start("41,42;43", false);
  EXPECT_EQ(Tick(), "");
  EXPECT_FALSE(Port.IsWriteIdle());
  Path.Stop();
  EXPECT_TRUE(Ticks(3).empty());
  HoldWrites(false);
  const std::vector<std::string> got = Ticks(10);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].substr(got[0].find(':') + 1), "AB");   // the held write, and nothing after it
}

TEST_F(SendPathTest, AStartAfterStopWithAWriteOutstandingSendsTheNewStringWhole)
{
  HoldWrites(true);
  Path.Start("41,42;43", false);
  Tick();
  Path.Stop();
  Path.Start("44:", false);   // cyclic, to be sure it starts from its first byte
  Tick();
  HoldWrites(false);
  std::string all;
  for (int t = 0; t < 6; ++t)
    all += Tick();
  EXPECT_EQ(all.substr(0, 4), "ABDD");
}

// The terminal window on a pseudo-terminal: the send field, Send and Stop as the user sees them.
class SendWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    Store.LinkPort(1, Pty.SlavePath());
    ASSERT_TRUE(Client.Create());
  }
  TEdit& Field() { return *dynamic_cast<TEdit*>(Client.ChildWithId(IDC_SENDTEXT)); }
  QWidget* Widget(int id) { return Client.ChildWithId(id)->GetWidget(); }

  TScratchStore Store;
  TPty Pty;
  TRecordingPresenter Presenter;
  TKalvixDlgClient Client {nullptr};
};

TEST_F(SendWindowTest, TypedStringsReachTheFarEndWithTheirPauseAndStopStandsInForSendMeanwhile)
{
  QWidget* send = Widget(IDC_SEND);
  Client.Show(SW_SHOW);
  QTest::keyClicks(Field().GetWidget(), "1B,41;0D");
  QTest::keyClick(Field().GetWidget(), Qt::Key_Return);   // Enter does not send
  QTest::qWait(250);
  EXPECT_EQ(Pty.Receive(10, 0), "");
  QTest::mouseClick(send, Qt::LeftButton);
  EXPECT_TRUE(send->isHidden());
  EXPECT_FALSE(Widget(IDC_STOP)->isHidden());

  QElapsedTimer clock;
  clock.start();
  std::string got;
  qint64 firstAt = -1, secondAt = -1;
  while (clock.elapsed() < 5000 && got.size() < 3) {
    QTest::qWait(20);
    const std::string part = Pty.Receive(3, 0);
    if (!part.empty() && firstAt < 0)
      firstAt = clock.elapsed();
    if (!part.empty() && got.size() == 2 && secondAt < 0)
      secondAt = clock.elapsed();
    got += part;
  }
  EXPECT_EQ(got, "\x1b\x41\x0d");
  EXPECT_GE(secondAt - firstAt, 200) << "no pause between the segments";
  EXPECT_TRUE(QTest::qWaitFor([&] { return !send->isHidden(); }, 5000));
  EXPECT_TRUE(Widget(IDC_STOP)->isHidden());

  SendMessage(&Client, WM_COMMAND, CM_SWITCHMODE, 0);
  QTest::keyClicks(Field().GetWidget(), "AT/0D/0a");
  QTest::mouseClick(send, Qt::LeftButton);
  std::string typed;
  EXPECT_TRUE(QTest::qWaitFor([&] { return (typed += Pty.Receive(10, 0)).size() >= 4; }, 5000));
  EXPECT_EQ(typed, "AT\r\n");
}

TEST_F(SendWindowTest, EveryChangeOfTheSendFieldResetsTheCaptionForTheMode)
{
  Client.SetCaption("Kalvix in binary mode - label");
  Field().SetText("41");
  EXPECT_EQ(Client.GetCaption(), "Kalvix in binary mode");
  SendMessage(&Client, WM_COMMAND, CM_SWITCHMODE, 0);
  QTest::keyClicks(Field().GetWidget(), "x");
  EXPECT_EQ(Client.GetCaption(), "Kalvix in Text mode");
  QTest::keyClicks(Field().GetWidget(), std::string(100, 'y').c_str());
  EXPECT_EQ(Field().GetText().size(), 80u);
}

TEST_F(SendWindowTest, LeavingTheSendFieldWithACharacterOutsideItsSetBringsTheFocusBack)
{
  Client.Show(SW_SHOW);
  QWidget* top = Client.GetWidget();
  top->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(top));
  Field().SetText("1b zz");   // placed by the program: not filtered
  Field().SetFocus();
  QApplication::processEvents();
  Presenter.Boxes.clear();
  QTest::mouseClick(Widget(IDC_RECEIVE), Qt::LeftButton);
  QTest::qWait(50);
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text, "Invalid character in input");
  EXPECT_EQ(Presenter.Boxes[0].Type, 0x30u);
  EXPECT_EQ(QApplication::focusWidget(), Field().GetWidget());

  // Once the text fits the set the focus may go.
  Field().SetText("1B");
  QTest::mouseClick(Widget(IDC_RECEIVE), Qt::LeftButton);
  QTest::qWait(50);
  EXPECT_EQ(Presenter.Boxes.size(), 1u);
}

}   // namespace
