// The send path: both notations, the paced send step tick by tick, Stop and repeat, and a
// pseudo-terminal at the far end reading what goes out.
#include "terminal/TKalvixDlgClient.h"

#include "tests/support/RecordingPresenter.h"
#include "tests/support/NullModem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The terminal window with its send-path members in reach of the tests.
class TSendHarness : public TKalvixDlgClient {
public:
  using TKalvixDlgClient::TKalvixDlgClient;
  using TKalvixDlgClient::CmSend;
  using TKalvixDlgClient::CmStop;
  using TKalvixDlgClient::DelayChar;
  using TKalvixDlgClient::DelayPos;
  using TKalvixDlgClient::DelayTime;
  using TKalvixDlgClient::Port;
  using TKalvixDlgClient::Repeat;
  using TKalvixDlgClient::SendBuf;
  using TKalvixDlgClient::SendState;
  using TKalvixDlgClient::TextMode;

  std::string Bytes(int n) const { return std::string(reinterpret_cast<const char*>(SendBuf), std::size_t(n)); }
  std::vector<int> Delays() const
  {
    std::vector<int> d;
    for (int i = 0; i < SendMax && DelayPos[i] != NoDelay; ++i)
      d.push_back(DelayPos[i]);
    return d;
  }
};

std::string Hex(const std::string& bytes)
{
  std::string s;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%s%02X", s.empty() ? "" : " ", c);
    s += b;
  }
  return s;
}

struct TRow {
  bool Text;
  const char* Input;
  const char* Bytes;
  std::vector<int> Delays;
  bool Repeat;
};

class SendPathTest : public ::testing::Test {
protected:
  void SetUp() override { Store.LinkPort(1, Pty.SlavePath()); }
  void TearDown() override { Client.reset(); }
  void Start()
  {
    Client = std::make_unique<TSendHarness>(nullptr);
    ASSERT_TRUE(Client->Create());
  }
  // Converts by the row's mode and checks bytes, delay points and repeat.
  void Check(const TRow& row)
  {
    std::fill(std::begin(Client->DelayPos), std::end(Client->DelayPos), TKalvixDlgClient::NoDelay);
    Client->Repeat = false;
    const int n = row.Text ? Client->ConvertText(row.Input) : Client->ConvertBinary(row.Input);
    EXPECT_EQ(Hex(Client->Bytes(n)), row.Bytes) << row.Input;
    EXPECT_EQ(Client->Delays(), row.Delays) << row.Input;
    EXPECT_EQ(Client->Repeat, row.Repeat) << row.Input;
  }
  void Type(const std::string& text, bool textMode)
  {
    Client->TextMode = textMode;
    dynamic_cast<TEdit*>(Client->ChildWithId(IDC_SENDTEXT))->SetText(text);
  }
  // One timer tick; returns what the far end got from it.
  std::string Tick()
  {
    SendMessage(Client.get(), WM_TIMER, TKalvixDlgClient::PollTimer, 0);
    // What a write put on the line reaches the master within moments; wait that long.
    return Pty.Receive(4096, 15);
  }
  // Ticks n times and lists "tick:bytes" for every tick that sent something.
  std::vector<std::string> Ticks(int n, int first = 1)
  {
    std::vector<std::string> out;
    for (int t = first; t < first + n; ++t)
      if (const std::string got = Tick(); !got.empty())
        out.push_back(std::to_string(t) + ":" + got);
    return out;
  }
  bool SendShown() { return !Client->ChildWithId(IDC_SEND)->GetWidget()->isHidden(); }
  bool StopShown() { return !Client->ChildWithId(IDC_STOP)->GetWidget()->isHidden(); }
  // The far end lowers RTS, our CTS: under the default Hardware handshake writes stay in flight.
  void HoldWrites(bool hold) { Modem.SetRts(!hold); }

  TScratchStore Store;
  TPty Pty;
  TNullModem Modem {Pty};
  TRecordingPresenter Presenter;
  std::unique_ptr<TSendHarness> Client;
};

TEST_F(SendPathTest, EveryWorkedConversionHolds)
{
  Start();
  const TRow rows[] = {
      {true, "AT/0D", "41 54 0D", {}, false},
      {true, "AB,CD", "41 42 43 44", {2}, false},
      {true, "AB/2CCD", "41 42 43 44", {2}, false},
      {true, "/ABC", "AB 43", {}, false},
      {true, "/2F", "2F", {}, false},
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
  };
  for (const TRow& row : rows)
    Check(row);
}

TEST_F(SendPathTest, EdgesOfBothNotations)
{
  Start();
  const TRow rows[] = {
      {true, ",A,", "41", {0, 1}, false},              // delay points first and last
      {true, "A,,B", "41 42", {1, 1}, false},          // two in a row
      {true, "/-1", "FF", {}, false},                  // a sign: two's complement
      {true, "/5Z", "05", {}, false},                  // the Z goes with the escape field
      {true, "/F", "0F", {}, false},                   // one digit at the end of the text
      {true, "/ZZA", "41", {}, false},                 // no number: nothing stored
      {true, "/", "", {}, false},
      {true, "a/2c", "61", {1}, false},                // lower-case escape of the delay character
      {true, "\xe4\x01", "E4 01", {}, false},          // bytes from a command file pass unchanged
      {false, "", "", {}, false},
      {false, ";", "", {0}, false},
      {false, "1;;2", "01 02", {1, 1}, false},
      {false, "#", "", {}, false},                     // no digit after #: nothing
      {false, "#AB", "", {}, false},
      {false, "G1,2", "02", {}, false},                // a token that is no number
      {false, " 7,-1,#-1", "07 FF FF 07", {}, false},
      {false, "1:2:", "01 02", {}, true},
  };
  for (const TRow& row : rows)
    Check(row);
}

TEST_F(SendPathTest, NoInputCanOverrunTheBuffers)
{
  Start();
  Client->DelayChar = 'A';
  const std::string delays(80, 'A'), semicolons(80, ';');
  const TRow rows[] = {
      {true, delays.c_str(), "", std::vector<int>(80, 0), false},
      {false, semicolons.c_str(), "", std::vector<int>(80, 0), false},
  };
  for (const TRow& row : rows)
    Check(row);
  // 80 characters give at most 80 bytes; with every delay slot in use the step still ends.
  Type(std::string(80, ';'), false);
  Client->CmSend();
  int ticks = 0;
  while (!SendShown() && ticks < 400) {
    SendMessage(Client.get(), WM_TIMER, TKalvixDlgClient::PollTimer, 0);
    ++ticks;
  }
  EXPECT_TRUE(SendShown());
  EXPECT_EQ(ticks, 80 * 3 + 2);   // 80 pauses of three ticks, the last write, the end
}

TEST_F(SendPathTest, ASegmentAfterADelayPointGoesOutDelayTimeOver100Plus3TicksLater)
{
  Start();
  Type("AB,CD", true);
  Client->CmSend();
  EXPECT_TRUE(StopShown());
  EXPECT_FALSE(SendShown());
  EXPECT_EQ(Ticks(8), (std::vector<std::string> {"1:AB", "4:CD"}));
  EXPECT_TRUE(SendShown());

  Client->DelayTime = 1000;
  Client->CmSend();
  EXPECT_EQ(Ticks(20), (std::vector<std::string> {"1:AB", "14:CD"}));
  Client->DelayTime = 99;   // under one tick: the shortest pause
  Client->CmSend();
  EXPECT_EQ(Ticks(6), (std::vector<std::string> {"1:AB", "4:CD"}));
}

TEST_F(SendPathTest, ARepeatingStringGoesOutEveryTwoTicksUntilStop)
{
  Start();
  Type("41,42:", false);
  Client->CmSend();
  EXPECT_EQ(Ticks(6), (std::vector<std::string> {"1:AB", "3:AB", "5:AB"}));
  Client->CmStop();
  EXPECT_TRUE(SendShown());
  EXPECT_TRUE(Ticks(6).empty());
}

TEST_F(SendPathTest, ChangingDelayTimeDuringARepeatChangesTheNextPause)
{
  Start();
  Type("41;:", false);
  Client->CmSend();
  // Write, pause start, pause end, empty write, rewind: a cycle of five ticks.
  EXPECT_EQ(Ticks(5), (std::vector<std::string> {"1:A"}));
  Client->DelayTime = 500;   // read when the next pause starts, at tick 7
  EXPECT_EQ(Ticks(25, 6), (std::vector<std::string> {"6:A", "16:A", "26:A"}));
  Client->CmStop();
}

TEST_F(SendPathTest, StopDuringAPauseLetsItRunOutAndASendMeanwhileWaitsForIt)
{
  Start();
  Client->DelayTime = 1000;
  Type("A,B", true);
  Client->CmSend();
  EXPECT_EQ(Tick(), "A");
  Tick();   // the write is seen done: a pause of ten ticks starts
  Client->CmStop();
  EXPECT_TRUE(SendShown());
  EXPECT_FALSE(StopShown());
  EXPECT_TRUE(Ticks(4, 3).empty());
  Type("C", true);
  Client->CmSend();
  // B never goes; C goes when the pause has run out, as B would have.
  EXPECT_EQ(Ticks(12, 7), (std::vector<std::string> {"14:C"}));
  EXPECT_TRUE(SendShown());
  EXPECT_EQ(Client->SendState, TKalvixDlgClient::Ready);
}

TEST_F(SendPathTest, AnEmptyStringMakesOneEmptyWriteAndShowsStopForATick)
{
  Start();
  Type("", false);
  Client->CmSend();
  EXPECT_TRUE(StopShown());
  Tick();
  EXPECT_TRUE(StopShown());
  Tick();
  EXPECT_TRUE(SendShown());
  EXPECT_FALSE(Client->Repeat);
}

TEST_F(SendPathTest, StopDuringAWriteHeldByFlowControlWaitsForItAndSendsNoMore)
{
  Start();
  HoldWrites(true);
  Type("41,42;43", false);
  Client->CmSend();
  EXPECT_EQ(Tick(), "");
  EXPECT_FALSE(Client->Port.IsWriteIdle());
  Client->CmStop();
  EXPECT_TRUE(SendShown());
  EXPECT_TRUE(Ticks(3).empty());
  HoldWrites(false);
  std::vector<std::string> got = Ticks(10);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].substr(got[0].find(':') + 1), "AB");   // the held write, and nothing after it
}

TEST_F(SendPathTest, SendAfterStopWithAWriteOutstandingSendsTheNewStringWhole)
{
  Start();
  HoldWrites(true);
  Type("41,42;43", false);
  Client->CmSend();
  Tick();
  Client->CmStop();
  Type("44:", false);   // cyclic, to be sure it starts from its first byte
  Client->CmSend();
  Tick();
  HoldWrites(false);
  std::string all;
  for (int t = 0; t < 6; ++t)
    all += Tick();
  EXPECT_EQ(all.substr(0, 4), "ABDD");
  Client->CmStop();
}

TEST_F(SendPathTest, TypedStringsReachTheFarEndWithTheirPause)
{
  Start();
  TEdit& field = *dynamic_cast<TEdit*>(Client->ChildWithId(IDC_SENDTEXT));
  QWidget* send = Client->ChildWithId(IDC_SEND)->GetWidget();
  Client->Show(SW_SHOW);
  QTest::keyClicks(field.GetWidget(), "1B,41;0D");
  QTest::keyClick(field.GetWidget(), Qt::Key_Return);   // Enter does not send
  QTest::qWait(250);
  EXPECT_EQ(Pty.Receive(10, 0), "");
  QTest::mouseClick(send, Qt::LeftButton);

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

  SendMessage(Client.get(), WM_COMMAND, CM_SWITCHMODE, 0);
  QTest::keyClicks(field.GetWidget(), "AT/0D/0a");
  QTest::mouseClick(send, Qt::LeftButton);
  std::string typed;
  EXPECT_TRUE(QTest::qWaitFor([&] { return (typed += Pty.Receive(10, 0)).size() >= 4; }, 5000));
  EXPECT_EQ(typed, "AT\r\n");
}

TEST_F(SendPathTest, EveryChangeOfTheSendFieldResetsTheCaptionForTheMode)
{
  Start();
  TEdit& field = *dynamic_cast<TEdit*>(Client->ChildWithId(IDC_SENDTEXT));
  Client->SetCaption("Kalvix in binary mode - label");
  field.SetText("41");
  EXPECT_EQ(Client->GetCaption(), "Kalvix in binary mode");
  SendMessage(Client.get(), WM_COMMAND, CM_SWITCHMODE, 0);
  QTest::keyClicks(field.GetWidget(), "x");
  EXPECT_EQ(Client->GetCaption(), "Kalvix in Text mode");
  QTest::keyClicks(field.GetWidget(), std::string(100, 'y').c_str());
  EXPECT_EQ(field.GetText().size(), 80u);
}

} // namespace

namespace {

TEST_F(SendPathTest, LeavingTheSendFieldWithACharacterOutsideItsSetBringsTheFocusBack)
{
  Start();
  Client->Show(SW_SHOW);
  QWidget* top = Client->GetWidget();
  top->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(top));
  TEdit& field = *dynamic_cast<TEdit*>(Client->ChildWithId(IDC_SENDTEXT));
  field.SetText("1b zz");   // placed by the program: not filtered
  field.SetFocus();
  QApplication::processEvents();
  Presenter.Boxes.clear();
  QTest::mouseClick(Client->ChildWithId(IDC_RECEIVE)->GetWidget(), Qt::LeftButton);
  QTest::qWait(50);
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text, "Invalid character in input");
  EXPECT_EQ(Presenter.Boxes[0].Type, 0x30u);
  EXPECT_EQ(QApplication::focusWidget(), field.GetWidget());

  // Once the text fits the set the focus may go.
  field.SetText("1B");
  QTest::mouseClick(Client->ChildWithId(IDC_RECEIVE)->GetWidget(), Qt::LeftButton);
  QTest::qWait(50);
  EXPECT_EQ(Presenter.Boxes.size(), 1u);
}

} // namespace
