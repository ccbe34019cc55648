// The terminal window on real widgets: display formatting, lamps, Clear and Switch Mode, and
// the port behind it on pseudo-terminals, with and without a null-modem cable.
#include "terminal/TKalvixDlgClient.h"
#include "terminal/TModemLamps.h"

#include "settings/PortSettings.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/NullModem.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/ioctl.h>
#include <atomic>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

std::string Format(const std::string& bytes, bool textMode, int lineLength, std::int32_t& column)
{
  char out[TReceiveView::ChunkTextSize];
  const std::size_t n = TReceiveView::FormatChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                                  textMode, lineLength, column, out);
  EXPECT_EQ(out[n], '\0');
  return std::string(out, n);
}

TEST(ReceiveFormat, TextModeEscapesWhatIsNotPrintableAndBreaksAtCarriageReturn)
{
  std::int32_t column = 0;
  EXPECT_EQ(Format("Hello\r\n", true, 80, column), "Hello\r\n/0A");
  EXPECT_EQ(column, 1);
  column = 0;
  EXPECT_EQ(Format("a/\x7f\x80\xff", true, 80, column), "a/2F\x7f/80/FF");
  EXPECT_EQ(column, 5);
  column = 0;
  // An escape counts as one column although it is three characters wide.
  EXPECT_EQ(Format("\x01\x02\x03", true, 3, column), "/01/02/03\r\n");
  EXPECT_EQ(column, 0);
}

TEST(ReceiveFormat, BinaryModeWritesValuesAndBreaksAfterLineLengthOfThem)
{
  std::int32_t column = 0;
  EXPECT_EQ(Format("\x01\x02\x03\x04\x05", false, 4, column), "01,02,03,04,\r\n05,");
  EXPECT_EQ(column, 1);
  column = 0;
  EXPECT_EQ(Format("\r", false, 80, column), "0D,");   // a carriage return breaks no line
  EXPECT_EQ(column, 1);
}

TEST(ReceiveFormat, TheColumnCarriesAcrossChunksAndShortLinesBreakEveryByte)
{
  std::int32_t column = 0;
  EXPECT_EQ(Format("ab", true, 3, column), "ab");
  EXPECT_EQ(Format("cd", true, 3, column), "c\r\nd");
  EXPECT_EQ(column, 1);

  // A line of one value: 80 values and 80 line breaks, 400 characters held whole.
  column = 0;
  const std::string full = Format(std::string(80, '\xAB'), false, 1, column);
  EXPECT_EQ(full.size(), 400u);
  EXPECT_EQ(full.substr(0, 10), "AB,\r\nAB,\r\n");
  // No line length at all: still a break after every byte; a CR gives two.
  column = 0;
  EXPECT_EQ(Format("x\r", true, 0, column), "x\r\n\r\n\r\n");
  column = 0;
  EXPECT_EQ(Format("x", true, -5, column), "x\r\n");
  // More than 80 bytes in one message: only 80 are taken.
  column = 0;
  EXPECT_EQ(Format(std::string(100, '\x01'), false, 80, column).size(), 80u * 3 + 2);
}

TEST(ReceiveView, APollsAppendedTextGoesInOnceAtItsEndAndClearStartsANewLine)
{
  TDialog dialog(nullptr, IDD_CLIENT);
  TReceiveView view(&dialog);
  ASSERT_TRUE(dialog.Create());
  view.LineLength = 4;
  const auto receive = [&](const std::string& bytes) {
    return std::string(view.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), false));
  };
  EXPECT_EQ(receive("\x01\x02"), "01,02,");
  EXPECT_EQ(view.ReceiveField.GetText(), "01,02,");   // outside a poll: at once
  view.BeginPoll();
  EXPECT_EQ(receive("\x03\x04\x05"), "03,04,\r\n05,");
  EXPECT_EQ(view.ReceiveField.GetText(), "01,02,");
  view.EndPoll();
  EXPECT_EQ(view.ReceiveField.GetText(), "01,02,03,04,\r\n05,");
  view.Clear();
  EXPECT_EQ(view.ReceiveField.GetText(), "");
  EXPECT_EQ(receive("\x06\x07\x08\x09\x0A"), "06,07,08,09,\r\n0A,");
}

TEST(ModemLamps, OutputLampsAreRedAndInputLampsFollowOnlyAChangedStatusWord)
{
  TDialog dialog(nullptr, IDD_CLIENT);
  TModemLamps lamps(&dialog);
  ASSERT_TRUE(dialog.Create());
  lamps.ShowOutputs(true, false);
  EXPECT_EQ(lamps.DtrLed.GetState(), TLed::LedRed);
  EXPECT_EQ(lamps.RtsLed.GetState(), TLed::LedOff);

  constexpr int G = TLed::LedGreen, O = TLed::LedOff;
  struct TRow {
    long Status;
    int Cts, Dsr, Ri, Dcd;
  };
  const TRow rows[] = {
    {0x10, G, O, O, O}, {0x20 | 0x80, O, G, O, G}, {0x40, O, O, G, O},
    {0xFF, G, G, G, G}, {-1, O, O, O, O},   // a status that cannot be read shows them all off
  };
  for (const TRow& r : rows) {
    lamps.ShowInputs(r.Status);
    EXPECT_EQ((std::vector<int> {lamps.CtsLed.GetState(), lamps.DsrLed.GetState(), lamps.RiLed.GetState(),
                                 lamps.DcdLed.GetState()}),
              (std::vector<int> {r.Cts, r.Dsr, r.Ri, r.Dcd}))
      << r.Status;
  }
  lamps.DsrLed.SetState(TLed::LedRed);
  lamps.ShowInputs(0);   // the same word as the last one shown: no lamp is touched
  EXPECT_EQ(lamps.DsrLed.GetState(), TLed::LedRed);
}

// The terminal window, counting the ticks of its own poll timer.
class TTickCounting : public TKalvixDlgClient {
public:
  using TKalvixDlgClient::TKalvixDlgClient;
  LRESULT ReceiveMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
  {
    if (msg == WM_TIMER && wParam == PollTimer)
      ++Ticks;
    return TKalvixDlgClient::ReceiveMessage(msg, wParam, lParam);
  }
  int Ticks = 0;
};

// A stand-in main frame: the window that receives the terminal's captions.
class TerminalWindowTest : public ::testing::Test {
protected:
  void TearDown() override
  {
    Client.reset();
    Frame.reset();
  }
  // Creates frame and client with the settings now in the store.
  void Start()
  {
    Frame = std::make_unique<TWindow>(nullptr, "Kalvix");
    Frame->Attr.W = 800;
    Frame->Attr.H = 400;
    Client = std::make_unique<TTickCounting>(Frame.get());
    ASSERT_TRUE(Frame->Create());
  }
  void StoreSettings(const char* handshake, std::uint32_t setDtr, std::uint32_t setRts, std::uint32_t lineLength = 80)
  {
    TComSetupXfer x;
    std::int32_t l = 0, t = 0, c = 0;
    LoadPortSettings(x, l, t, c);
    x.HandshakeData.SelectString(handshake);
    x.SetDtrCheck = setDtr;
    x.SetRtsCheck = setRts;
    std::snprintf(x.LineLengthText, sizeof x.LineLengthText, "%u", lineLength);
    const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
    SavePortSettings(key, x, l, t, c);
  }
  TEdit& Field(int id) { return *dynamic_cast<TEdit*>(Client->ChildWithId(id)); }
  TLed& Lamp(int id) { return *dynamic_cast<TLed*>(Client->ChildWithId(id)); }
  std::string Received() { return Field(IDC_RECEIVE).GetText(); }
  void Deliver(const std::string& bytes) { SendMessage(Client.get(), WM_USER, bytes.size(), LPARAM(bytes.data())); }
  void Tick() { SendMessage(Client.get(), WM_TIMER, TKalvixDlgClient::PollTimer, 0); }
  QPlainTextEdit* ReceiveWidget() { return qobject_cast<QPlainTextEdit*>(Field(IDC_RECEIVE).GetWidget()); }

  TScratchStore Store;
  TRecordingPresenter Presenter;
  std::unique_ptr<TWindow> Frame;
  // Lets the window's own timer tick n more times (however late a loaded machine makes them).
  void WaitTicks(int n)
  {
    const int until = Client->Ticks + n;
    for (int i = 0; i < 500 && Client->Ticks < until; ++i)
      QTest::qWait(10);
    ASSERT_GE(Client->Ticks, until) << "the poll timer does not run";
  }
  std::unique_ptr<TTickCounting> Client;

  // Plays a device that sends all of bytes as fast as the line takes them, while the window
  // runs; returns once the window has taken and shown everything.
  void Flood(const TPty& pty, const std::string& bytes)
  {
    fcntl(pty.Master(), F_SETFL, fcntl(pty.Master(), F_GETFL) | O_NONBLOCK);
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t n = write(pty.Master(), bytes.data() + at, bytes.size() - at);
      if (n > 0)
        at += std::size_t(n);
      else
        QTest::qWait(5);
    }
    int queued = 1;
    for (int i = 0; i < 500 && queued > 0; ++i) {
      QTest::qWait(10);
      ioctl(pty.Slave(), FIONREAD, &queued);
    }
    WaitTicks(2);
  }
};

std::string FileText(const std::string& path)
{
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST_F(TerminalWindowTest, BytesFromTheLineAppearWithinTwoTicks)
{
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Start();
  EXPECT_TRUE(Presenter.Boxes.empty());
  EXPECT_EQ(Frame->GetCaption(), "Kalvix in binary mode");
  EXPECT_TRUE(Client->ChildWithId(IDC_SEND)->IsWindowEnabled());
  EXPECT_TRUE(Client->ChildWithId(IDC_SEND)->IsVisible());
  EXPECT_FALSE(Client->ChildWithId(IDC_STOP)->IsVisible());

  ASSERT_TRUE(pty.Send("\x01\x02"));
  WaitTicks(2);
  EXPECT_EQ(Received(), "01,02,");
  // The display continues the line where the last chunk left it.
  ASSERT_TRUE(pty.Send(std::string(79, '\x03')));
  WaitTicks(2);
  const std::string text = Received();
  EXPECT_EQ(
    text.substr(0, 80 * 3 + 2), "01,02," + [] {
      std::string s;
      for (int i = 0; i < 78; ++i)
        s += "03,";
      return s;
    }() + "\r\n");
  EXPECT_EQ(text.substr(80 * 3 + 2), "03,");
}

TEST_F(TerminalWindowTest, TextGoesInAtTheCaretTheUserMovedAndOverTheirSelection)
{
  Start();
  Deliver(std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09", 10));
  QTextCursor cursor = ReceiveWidget()->textCursor();
  cursor.setPosition(3);
  ReceiveWidget()->setTextCursor(cursor);
  Deliver("\x01");
  EXPECT_EQ(Received(), "00,01,01,02,03,04,05,06,07,08,09,");
  cursor.setPosition(0);
  cursor.setPosition(6, QTextCursor::KeepAnchor);
  ReceiveWidget()->setTextCursor(cursor);
  Deliver("\xff");
  EXPECT_EQ(Received(), "FF,01,02,03,04,05,06,07,08,09,");
}

TEST_F(TerminalWindowTest, SwitchModeEmptiesBothFieldsAndSwapsFilterAndCaption)
{
  Start();
  Deliver("\x41\x42");
  Field(IDC_SENDTEXT).SetText("41,42");

  SendMessage(Client.get(), WM_COMMAND, CM_SWITCHMODE, 0);
  EXPECT_TRUE(Client->IsTextMode());
  EXPECT_EQ(Received(), "");
  EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), "");
  EXPECT_EQ(Frame->GetCaption(), "Kalvix in text mode");
  Deliver("ab");
  Deliver("\r");
  Deliver("c");
  EXPECT_EQ(Received(), "ab\r\nc");   // the column restarted after the switch

  SendMessage(Client.get(), WM_COMMAND, CM_SWITCHMODE, 0);
  EXPECT_FALSE(Client->IsTextMode());
  EXPECT_EQ(Frame->GetCaption(), "Kalvix in binary mode");

  Deliver("\x01");
  SendMessage(Client.get(), WM_COMMAND, CM_CLEAR, 0);
  EXPECT_EQ(Received(), "");
  EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), "");
  EXPECT_FALSE(Client->IsTextMode());
}

TEST_F(TerminalWindowTest, TheSendFieldTakesOnlyWhatTheModesSetAdmitsWhateverItHoldsAlready)
{
  struct TCase {
    bool TextMode;
    const char* Held;     // put there by the program (a chosen command), unfiltered
    const char* Typed;    // key by key; \b is Backspace, \x7f Delete, \x1a Ctrl+Z
    const char* Pasted;   // then in one paste
    const char* Expected;
  };
  const TCase cases[] = {
    {false, "", "1b;x,#:F", "", "1;,#:F"},
    {false, "1b,0d", "zq x1F", "", "1b,0d1F"},
    {false, "1b,0d", "", ",2F", "1b,0d,2F"},
    {false, "1b,0d", "", ",2f", "1b,0d"},           // a paste with a character outside goes in not at all
    {false, "1b,0d", "\b\b\x1a", ",2f", "1b,0d"},   // an undo brings back what was held, nothing more
    {false, "", "\u20ac\u00e4A", "A\u20ac", "A"},
    {true, "", "AT x/0D~\x7f", "", "AT x/0D~"},   // DEL deletes: it is typed as no character
    {true, "\x01", "x\u20ac\u03c9y\u00e4", "", "\x01xy"},
    {true, "\xe4", "", "b\u00e4", "\xe4"},
    {true, "\xe4", "", "ok", "\xe4ok"},
    {true, "", "", "x\u20acy", ""},
  };
  Start();
  Frame->Show(SW_SHOW);
  QApplication::setActiveWindow(Frame->GetWidget());
  QWidget* field = Field(IDC_SENDTEXT).GetWidget();
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.TextMode << " '" << c.Typed << "' '" << c.Pasted << "'");
    if (Client->IsTextMode() != c.TextMode)
      SendMessage(Client.get(), WM_COMMAND, CM_SWITCHMODE, 0);
    Field(IDC_SENDTEXT).SetText(c.Held);
    Field(IDC_SENDTEXT).SetFocus();
    qobject_cast<QLineEdit*>(field)->end(false);
    for (const QChar ch : QString::fromUtf8(c.Typed)) {
      if (ch == u'\x1a')
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
      else
        QTest::sendKeyEvent(QTest::Click, field,
                            ch == u'\x7f' ? Qt::Key_Delete
                            : ch == u'\b' ? Qt::Key_Backspace
                                          : Qt::Key(ch.toUpper().unicode()),
                            QString(ch), Qt::NoModifier);
    }
    if (*c.Pasted) {
      QApplication::clipboard()->setText(QString::fromUtf8(c.Pasted));
      QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    }
    EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), c.Expected);
  }
}

TEST_F(TerminalWindowTest, AnUnopenablePortIsReportedOnceAndNothingRuns)
{
  StoreSettings("no", 1, 1);
  Start();
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text, "Configured COM Port is already uses by an other appication\nor is not "
                                     "available!\nUse setup to select an other one!");
  EXPECT_EQ(Presenter.Boxes[0].Caption, "");
  EXPECT_EQ(Presenter.Boxes[0].Type, 0x30u);
  EXPECT_FALSE(Client->ChildWithId(IDC_SEND)->IsWindowEnabled());
  EXPECT_FALSE(Client->ChildWithId(IDC_STOP)->IsVisible());
  // No lamp was set: configuring never happened.
  EXPECT_EQ(Lamp(IDC_LED_DTR).GetState(), TLed::LedOff);
  QTest::qWait(250);
  for (int id : {IDC_LED_CTS, IDC_LED_DSR, IDC_LED_DCD, IDC_LED_RI, IDC_LED_DTR, IDC_LED_RTS})
    EXPECT_EQ(Lamp(id).GetState(), TLed::LedOff) << id;
  EXPECT_EQ(Presenter.Boxes.size(), 1u);
}

TEST_F(TerminalWindowTest, OutputLampsShowTheLinesAsConfiguredAndInputLampsTheDevicesLines)
{
  TPty pty;
  TNullModem modem(pty);
  Store.LinkPort(1, pty.SlavePath());
  struct TRow {
    const char* Handshake;
    std::uint32_t SetDtr, SetRts;
    bool Dtr, Rts;
  };
  const TRow rows[] = {
    {"no", 1, 0, true, false},          {"no", 0, 1, false, true},        {"Hardware", 0, 0, true, true},
    {"hardware", 0, 0, true, true},   // matches no entry: configured as Hardware, and lit so
    {"XOn / XOff", 0, 0, false, false}, {"XOn / XOff", 1, 1, true, true},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Handshake);
    StoreSettings(r.Handshake, r.SetDtr, r.SetRts);
    Start();
    EXPECT_EQ(Lamp(IDC_LED_DTR).GetState(), r.Dtr ? TLed::LedRed : TLed::LedOff);
    EXPECT_EQ(Lamp(IDC_LED_RTS).GetState(), r.Rts ? TLed::LedRed : TLed::LedOff);
    EXPECT_EQ(modem.Sees(), (r.Dtr ? TIOCM_DSR | TIOCM_CAR : 0) | (r.Rts ? TIOCM_CTS : 0));
    TearDown();
  }

  // The device's DTR reaches us as DSR and DCD, its RTS as CTS; ring and carrier on their own.
  Start();
  struct TLines {
    bool Dtr, Rts, Ri, Dcd;
    bool CtsLit, DsrLit, RiLit, DcdLit;
  };
  const TLines lines[] = {
    {false, false, false, false, false, false, false, false}, {true, false, false, false, false, true, false, true},
    {false, true, false, false, true, false, false, false},   {false, false, true, false, false, false, true, false},
    {false, false, false, true, false, false, false, true},   {true, true, true, true, true, true, true, true},
  };
  const auto lit = [](bool on) { return on ? TLed::LedGreen : TLed::LedOff; };
  for (const TLines& l : lines) {
    modem.SetDtr(l.Dtr);
    modem.SetRts(l.Rts);
    modem.SetRi(l.Ri);
    modem.SetDcd(l.Dcd);
    Tick();
    EXPECT_EQ(Lamp(IDC_LED_CTS).GetState(), lit(l.CtsLit));
    EXPECT_EQ(Lamp(IDC_LED_DSR).GetState(), lit(l.DsrLit));
    EXPECT_EQ(Lamp(IDC_LED_RI).GetState(), lit(l.RiLit));
    EXPECT_EQ(Lamp(IDC_LED_DCD).GetState(), lit(l.DcdLit));
  }
  // An unchanged status word touches no lamp.
  Lamp(IDC_LED_DSR).SetState(TLed::LedRed);
  Tick();
  EXPECT_EQ(Lamp(IDC_LED_DSR).GetState(), TLed::LedRed);
}

TEST_F(TerminalWindowTest, APseudoTerminalWithoutModemLinesShowsTheLampsOff)
{
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Start();
  for (int id : {IDC_LED_CTS, IDC_LED_DSR, IDC_LED_DCD, IDC_LED_RI})
    Lamp(id).SetState(TLed::LedGreen);
  Tick();   // the status cannot be read; it differs from the last one shown
  Tick();
  for (int id : {IDC_LED_CTS, IDC_LED_DSR, IDC_LED_DCD, IDC_LED_RI})
    EXPECT_EQ(Lamp(id).GetState(), TLed::LedGreen) << "status 0 equals the start value: nothing to redraw";
}

TEST_F(TerminalWindowTest, AFullReceiveFieldDropsWholeLinesFarFromTheCaretAndAPollShowsWhatItsChunksWouldOneByOne)
{
  // 270 lines of 80 values, 242 characters each with the break: 65 340 of 65 534.
  constexpr int Lines = 270;
  const auto line = [](int value) {
    char v[4];
    std::snprintf(v, sizeof v, "%02X,", value & 0xFF);
    std::string s;
    for (int i = 0; i < 80; ++i)
      s += v;
    return s + "\r\n";
  };
  const auto lines = [&](int from, int to) {   // lines from..to-1
    std::string s;
    for (int i = from; i < to; ++i)
      s += line(i);
    return s;
  };
  struct TCase {
    const char* Where;
    int Anchor, Caret;      // at the start of these lines; -1: the end of the text
    std::string Expected;   // after the three chunks that follow
  };
  const std::string in = line(0xEE) + line(0xCC) + "DD,";
  const std::string three = std::string(80, '\xEE') + std::string(80, '\xCC') + "\xDD";
  const TCase cases[] = {
    {"caret at the end", -1, -1, lines(2, Lines) + in},
    {"caret at the start", 0, 0, in + lines(0, Lines - 2)},
    {"caret nearer the start", 100, 100, lines(0, 100) + in + lines(100, Lines - 2)},
    {"caret nearer the end", 200, 200, lines(2, 200) + in + lines(200, Lines)},
    // The selection gives room: nothing needs to go.
    {"two lines selected", 10, 12, lines(0, 10) + in + lines(12, Lines)},
    {"the last lines selected", 268, -1, lines(0, 268) + in},
  };
  // A flood of more than a field-full: 375 lines of which the last 270 fit.
  std::string flood;
  for (int i = 0; i < 30000; ++i)
    flood.push_back(char(i * 7 % 251));
  std::int32_t column = 0;
  std::string floodText;
  for (std::size_t at = 0; at < flood.size(); at += 80)
    floodText += Format(flood.substr(at, 80), false, 80, column);
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Start();
  const auto place = [&](const TCase& c) {
    SendMessage(Client.get(), WM_COMMAND, CM_CLEAR, 0);
    Field(IDC_RECEIVE).SetText(lines(0, Lines));
    QTextCursor cursor = ReceiveWidget()->textCursor();
    const auto at = [&](int n) { return n < 0 ? ReceiveWidget()->document()->characterCount() - 1 : n * 241; };
    cursor.setPosition(at(c.Anchor));
    cursor.setPosition(at(c.Caret), QTextCursor::KeepAnchor);
    ReceiveWidget()->setTextCursor(cursor);
  };
  // The field's text, and its caret and selection, after bytes arrived chunk by chunk, each
  // shown at once, or through the line, as many chunks in one poll.
  const auto oneByOne = [&](const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += 80)
      Deliver(bytes.substr(at, 80));
    const QTextCursor cursor = ReceiveWidget()->textCursor();
    return std::make_tuple(Received(), cursor.anchor(), cursor.position());
  };
  const auto polled = [&](const std::string& bytes) {
    std::atomic<bool> sent {false};
    std::thread feeder([&] { sent = pty.Send(bytes); });
    int queued = 1;
    for (int i = 0; i < 1000 && (!sent || queued > 0); ++i) {
      Tick();
      QTest::qWait(1);
      ioctl(pty.Slave(), FIONREAD, &queued);
    }
    feeder.join();
    EXPECT_TRUE(sent);
    // The last short read completes when its time is up.
    QTest::qWait(120);
    Tick();
    const QTextCursor cursor = ReceiveWidget()->textCursor();
    return std::make_tuple(Received(), cursor.anchor(), cursor.position());
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Where);
    place(c);
    const auto single = oneByOne(three);
    EXPECT_LE(std::get<0>(single).size(), 65534u);
    EXPECT_TRUE(std::get<0>(single) == c.Expected)
      << std::get<0>(single).size() << " characters, expected " << c.Expected.size();
    place(c);
    EXPECT_TRUE(polled(three) == single);

    place(c);
    const auto floodSingle = oneByOne(flood);
    EXPECT_LE(std::get<0>(floodSingle).size(), 65534u);
    if (c.Anchor < 0 || c.Caret < 0) {   // appended: the last 270 lines of the flood
      EXPECT_TRUE(std::get<0>(floodSingle) == floodText.substr(floodText.size() - 270 * 242));
    }
    place(c);
    EXPECT_TRUE(polled(flood) == floodSingle);
    // The field keeps its caret in view.
    EXPECT_TRUE(ReceiveWidget()->viewport()->rect().contains(ReceiveWidget()->cursorRect()));
  }
}

TEST_F(TerminalWindowTest, EnterPressesTheFocusedButtonAndElseLeavesTheWindowAloneAsEscapeDoes)
{
  Store.LinkPort(1, "loopback");
  Start();
  Frame->Show(SW_SHOW);
  QApplication::setActiveWindow(Frame->GetWidget());   // focus exists only in the active window
  QWidget* send = Client->ChildWithId(IDC_SEND)->GetWidget();
  Field(IDC_SENDTEXT).SetText("41");
  Field(IDC_SENDTEXT).SetFocus();
  QTest::keyClick(Field(IDC_SENDTEXT).GetWidget(), Qt::Key_Return);
  QTest::keyClick(Field(IDC_SENDTEXT).GetWidget(), Qt::Key_Escape);
  SendMessage(Client.get(), WM_COMMAND, IDOK, 0);
  SendMessage(Client.get(), WM_COMMAND, IDCANCEL, 0);
  QApplication::processEvents();
  EXPECT_TRUE(Client->IsCreated());
  EXPECT_FALSE(Client->GetWidget()->isHidden());
  EXPECT_FALSE(send->isHidden()) << "nothing was sent";

  send->setFocus();
  QTest::keyClick(send, Qt::Key_Return);
  EXPECT_TRUE(send->isHidden()) << "Send was pressed";
  EXPECT_TRUE(Client->ChildWithId(IDC_STOP)->IsVisible());
}

}   // namespace

namespace {

TEST_F(TerminalWindowTest, ManyChunksOfOnePollAreShownWholeAndInOrder)
{
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  StoreSettings("no", 0, 0, 16);
  Start();
  std::string bytes;
  for (int i = 0; i < 1000; ++i)
    bytes.push_back(char(i % 256));
  ASSERT_TRUE(pty.Send(bytes));
  std::int32_t column = 0;
  std::string expected;
  for (std::size_t at = 0; at < bytes.size(); at += 80)
    expected += Format(bytes.substr(at, 80), false, 16, column);
  for (int i = 0; i < 10 && Received().size() < expected.size(); ++i)
    WaitTicks(1);
  EXPECT_EQ(Received(), expected);
}

}   // namespace

namespace {

TEST_F(TerminalWindowTest, AFloodIsLoggedWholeInBothFormsAndModesAfterWhatTheFileHeld)
{
  // 2000 records: in text mode each shows as one line of its own.
  std::string flood;
  for (int i = 0; i < 2000; ++i) {
    char record[40];
    std::snprintf(record, sizeof record, "%05d The quick brown fox jumps/\x07\r", i);
    flood += record;
  }
  ASSERT_EQ(flood.size(), 68000u);
  struct TRow {
    int Filter;   // 1 raw data, 2 text log, 3 all files
    const char* Name;
    bool TextMode, TextForm;
  };
  const TRow rows[] = {
    {1, "raw.bin", false, false},
    {1, "text-mode.bin", true, false},
    {2, "binary-mode.log", false, true},
    {3, "all-files.log", true, true},   // under All Files a name ending in .log is a text log
  };
  // Local time, in a zone half an hour off any whole-hour one such as the machine's UTC (no
  // other test here reads the zone).
  setenv("TZ", "KLV-05:30", 1);
  tzset();
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Name);
    Presenter.FileRequests.clear();
    Presenter.FileAnswer = Store.Root() + "/" + r.Name;
    Presenter.FilterAnswer = r.Filter;
    std::ofstream(Presenter.FileAnswer) << "earlier\n";
    Start();
    const std::time_t begin = std::time(nullptr);
    SendMessage(Client.get(), WM_COMMAND, CM_LOGTOFILE, 0);
    ASSERT_EQ(Presenter.FileRequests.size(), 1u);
    EXPECT_TRUE(Presenter.FileRequests[0].Save);
    EXPECT_EQ(Presenter.FileRequests[0].Title, "Log to File");
    EXPECT_EQ(Presenter.FileRequests[0].Data.Filter,
              "Raw data (*.bin)|*.bin|Text log with times (*.log)|*.log|All Files (*.*)|*.*|");
    EXPECT_EQ(Presenter.FileRequests[0].Data.FilterIndex, 1);
    EXPECT_EQ(Presenter.FileRequests[0].Data.Flags & OFN_FILEMUSTEXIST, 0u);
    if (r.TextMode)
      SendMessage(Client.get(), WM_COMMAND, CM_SWITCHMODE, 0);
    Flood(pty, flood);
    const std::string shown = Received();
    EXPECT_GT(shown.size(), 65000u) << "the field did not fill";
    SendMessage(Client.get(), WM_COMMAND, CM_LOGTOFILE, 0);   // ends the log
    const std::time_t end = std::time(nullptr);
    EXPECT_EQ(Presenter.FileRequests.size(), 1u);
    EXPECT_TRUE(Presenter.Boxes.empty());
    TearDown();

    const std::string file = FileText(Store.Root() + "/" + r.Name);
    ASSERT_EQ(file.substr(0, 8), "earlier\n");
    if (!r.TextForm) {
      EXPECT_TRUE(file.substr(8) == flood) << "the raw file differs from what was sent";
      continue;
    }
    // Every line: local time to the millisecond, a space, then what the field shows.
    std::vector<std::string> lines;
    std::istringstream in(file.substr(8));
    for (std::string line; std::getline(in, line);) {
      std::tm t {};
      const char* rest = strptime(line.c_str(), "%Y-%m-%d %H:%M:%S", &t);
      ASSERT_TRUE(rest && std::strlen(rest) >= 5 && rest[0] == '.' && std::isdigit(rest[1]) && std::isdigit(rest[3]) &&
                  rest[4] == ' ')
        << line;
      t.tm_isdst = -1;
      EXPECT_GE(std::mktime(&t), begin);
      EXPECT_LE(std::mktime(&t), end);
      lines.push_back(rest + 5);
    }
    ASSERT_EQ(file.back(), '\n');
    std::vector<std::string> notes {"--- binary mode ---"};
    if (r.TextMode)
      notes.push_back("--- text mode ---");
    ASSERT_GT(lines.size(), notes.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + std::ptrdiff_t(notes.size())), notes);
    lines.erase(lines.begin(), lines.begin() + std::ptrdiff_t(notes.size()));
    std::string asField;
    for (const std::string& line : lines)
      asField += line + "\r\n";
    EXPECT_TRUE(asField.ends_with(shown)) << "the log's newest lines are not what the field shows";
    if (r.TextMode) {
      ASSERT_EQ(lines.size(), 2000u);
      EXPECT_EQ(lines[0], "00000 The quick brown fox jumps/2F/07");
      EXPECT_EQ(lines[1999], "01999 The quick brown fox jumps/2F/07");
    } else {
      // 80 values a line; read back, they are the bytes sent.
      ASSERT_EQ(lines.size(), 850u);
      std::string values;
      for (const std::string& line : lines) {
        ASSERT_EQ(line.size(), 240u);
        for (std::size_t i = 0; i < line.size(); i += 3)
          values.push_back(char(std::stoi(line.substr(i, 2), nullptr, 16)));
      }
      EXPECT_TRUE(values == flood) << "the values of the text log differ from what was sent";
    }
  }
}

TEST_F(TerminalWindowTest, ALogFileThatCannotBeOpenedOrWrittenIsReportedAndTheTerminalGoesOn)
{
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Start();
  SendMessage(Client.get(), WM_COMMAND, CM_LOGTOFILE, 0);   // cancelled: nothing happens
  EXPECT_TRUE(Presenter.Boxes.empty());

  const std::string missing = Store.Root() + "/no/such/folder/x.bin";
  Presenter.FileAnswer = missing;
  SendMessage(Client.get(), WM_COMMAND, CM_LOGTOFILE, 0);
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text, "The log file cannot be opened:\n" + missing + "\nNo such file or directory");
  EXPECT_EQ(Presenter.Boxes[0].Caption, "Kalvix");
  EXPECT_EQ(Presenter.Boxes[0].Type, UINT(MB_OK | MB_ICONEXCLAMATION));

  // A device that is always full stands in for a full disk. While its box is up, the poll goes on.
  int ticksWhileShown = 0;
  Presenter.WhileShown = [&] {
    const int before = Client->Ticks;
    QTest::qWait(350);
    ticksWhileShown = Client->Ticks - before;
  };
  Presenter.FileAnswer = "/dev/full";
  SendMessage(Client.get(), WM_COMMAND, CM_LOGTOFILE, 0);
  EXPECT_EQ(Presenter.FileRequests.size(), 3u) << "a log that could not be opened still runs";
  ASSERT_TRUE(pty.Send("\x41"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Presenter.Boxes.size() == 2; }, 2000));
  ASSERT_EQ(Presenter.Boxes.size(), 2u);
  EXPECT_EQ(Presenter.Boxes[1].Text,
            "Logging has stopped: the log file cannot be written:\n/dev/full\nNo space left on device");
  EXPECT_EQ(Presenter.Boxes[1].Caption, "Kalvix");
  EXPECT_GE(ticksWhileShown, 2);
  ASSERT_TRUE(pty.Send("\x42"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "41,42,"; }, 2000)) << Received();
  EXPECT_EQ(Presenter.Boxes.size(), 2u);
  Presenter.FileAnswer.clear();
  SendMessage(Client.get(), WM_COMMAND, CM_LOGTOFILE, 0);
  EXPECT_EQ(Presenter.FileRequests.size(), 4u) << "the failed log still runs";
}

}   // namespace
