// The terminal window as the user sees it, in the running program: the receive field when it is
// full, the send field's filter and Enter, the lamps, the log, Setup and Select, and what a
// larger window gives each control.
#include "settings/PortSettings.h"
#include "tests/support/KalvixSession.h"

#include <QClipboard>
#include <QPlainTextEdit>
#include <atomic>
#include <sys/ioctl.h>
#include <thread>

namespace {

// A menu item's hint id, as the frame keeps it.
struct TMenuHints : TFrameWindow {
  using TFrameWindow::HintIdOf;
};

class TerminalWindowTest : public KalvixSession {
protected:
  void SetUp() override { Store.LinkPort(1, Pty.SlavePath()); }
  // Plays a device that sends bytes as fast as the line takes them while the window polls, until
  // a poll after a read's whole time brings nothing more: the port may still hold messages of
  // its last block, and a short read completes only when its time is up.
  void Flood(const std::string& bytes)
  {
    std::atomic<bool> sent {false};
    std::thread feeder([&] { sent = Pty.Send(bytes); });
    for (int i = 0; i < 30000 && !sent; ++i, QTest::qWait(1))
      Tick();
    feeder.join();
    for (std::string before; before != Received(); Tick())
      before = Received(), QTest::qWait(int(TComPort::ReadTimeoutMs) + 50);
  }
  TPty Pty;   // the device at the far end of the line
};

std::string Values(const std::string& bytes, std::size_t from = 0)   // binary mode: 80 values a line
{
  std::string text;
  for (std::size_t i = from; i < bytes.size(); ++i)
    text += QByteArray(1, bytes[i]).toHex().toUpper().toStdString() + ((i + 1) % 80 ? "," : ",\r\n");
  return text;
}

TEST_F(TerminalWindowTest, AFullReceiveFieldDropsWholeLinesFarFromTheCaretAndAPollShowsWhatItsChunksWouldOneByOne)
{
  // 270 lines of 80 values, 242 characters each with the break: 65 340 of 65 534.
  const auto lines = [](int from, int to) {   // lines from..to-1, line i holding the value i
    std::string bytes;
    for (int i = from * 80; i < to * 80; ++i)
      bytes += char(i / 80);
    return Values(bytes);
  };
  const std::string three = std::string(80, '\xEE') + std::string(80, '\xCC') + "\xDD", in = Values(three);
  // The caret's anchor and position at the start of these lines (-1: the end of the text), and
  // the text after the three chunks that follow.
  const std::tuple<const char*, int, int, std::string> cases[] = {
    {"caret at the end", -1, -1, lines(2, 270) + in},
    {"caret at the start", 0, 0, in + lines(0, 268)},
    {"caret nearer the start", 100, 100, lines(0, 100) + in + lines(100, 268)},
    {"caret nearer the end", 200, 200, lines(2, 200) + in + lines(200, 270)},
    {"two lines selected", 10, 12, lines(0, 10) + in + lines(12, 270)},   // the selection gives room
    {"the last lines selected", 268, -1, lines(0, 268) + in},
  };
  // A flood of more than a field-full: 375 lines of which the last 270 fit.
  const std::string flood = Bytes(30000, 0);
  Start();
  auto* field = qobject_cast<QPlainTextEdit*>(Widget(IDC_RECEIVE));
  const auto shown = [&] {
    return std::tuple(Received(), field->textCursor().anchor(), field->textCursor().position());
  };
  for (const auto& [where, anchor, caret, expected] : cases) {
    SCOPED_TRACE(where);
    // The field's text, caret and selection after bytes arrived chunk by chunk, each shown at
    // once, or through the line, as many chunks in one poll.
    const auto after = [&](const std::string& bytes, bool polled) {
      Menu("&Clear")->trigger();
      Field(IDC_RECEIVE).SetText(lines(0, 270));
      QTextCursor cursor = field->textCursor();
      cursor.setPosition(anchor < 0 ? field->document()->characterCount() - 1 : anchor * 241);
      cursor.setPosition(caret < 0 ? field->document()->characterCount() - 1 : caret * 241, QTextCursor::KeepAnchor);
      field->setTextCursor(cursor);
      for (std::size_t at = 0; !polled && at < bytes.size(); at += 80)
        Deliver(bytes.substr(at, 80));
      return polled ? (Flood(bytes), shown()) : shown();
    };
    const auto single = after(three, false), floodSingle = after(flood, false);
    EXPECT_TRUE(std::get<0>(single) == expected) << std::get<0>(single).size() << " of " << expected.size();
    // Appended: the last 270 lines of the flood.
    EXPECT_TRUE((anchor >= 0 && caret >= 0) || std::get<0>(floodSingle) == Values(flood, 105 * 80));
    EXPECT_TRUE(after(three, true) == single && after(flood, true) == floodSingle);
    EXPECT_TRUE(field->viewport()->rect().contains(field->cursorRect())) << "the caret is kept in view";
  }
}

TEST_F(TerminalWindowTest, TheSendFieldTakesOnlyWhatTheModesSetAdmitsEnterPressesOnlyAFocusedButtonAndAltSTheOneInView)
{
  // Held: put there by a chosen command, unfiltered. Typed key by key (\b Backspace, \x7f
  // Delete, \x1a Ctrl+Z), then pasted at once.
  const std::tuple<bool, const char*, const char*, const char*, const char*> cases[] = {
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
  };
  Store.LinkPort(1, "loopback");
  Start();
  QWidget* field = Widget(IDC_SENDTEXT);
  for (const auto& [textMode, held, typed, pasted, expected] : cases) {
    if (Client().IsTextMode() != textMode)
      Menu("Switch &Mode")->trigger();
    Field(IDC_SENDTEXT).SetText(held);
    Field(IDC_SENDTEXT).SetFocus();
    qobject_cast<QLineEdit*>(field)->end(false);
    for (const QChar c : QString::fromUtf8(typed))
      QTest::sendKeyEvent(QTest::Click, field,
                          c == u'\x7f'   ? Qt::Key_Delete
                          : c == u'\b'   ? Qt::Key_Backspace
                          : c == u'\x1a' ? Qt::Key_Z
                                         : Qt::Key(c.toUpper().unicode()),
                          c == u'\x1a' ? QString() : QString(c), c == u'\x1a' ? Qt::ControlModifier : Qt::NoModifier);
    QApplication::clipboard()->setText(QString::fromUtf8(pasted));
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), expected) << textMode << " '" << typed << "' '" << pasted << "'";
  }
  // Enter presses the focused button, and else leaves the window alone as Escape does.
  QTest::keyClick(field, Qt::Key_Return);
  QTest::keyClick(field, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_TRUE(Client().GetWidget()->isVisible() && Shown(IDC_SEND)) << "nothing was sent";
  Widget(IDC_SEND)->setFocus();
  QTest::keyClick(Widget(IDC_SEND), Qt::Key_Return);
  EXPECT_TRUE(Shown(IDC_STOP)) << "Send was pressed";
  // Alt+S presses the button in Send's place, not the menu's Select, which shares the letter.
  for (const int shown : {IDC_SEND, IDC_STOP}) {
    QTest::keyClick(field, Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(Shown(shown)) << "Alt+S pressed nothing";
  }
}

TEST_F(TerminalWindowTest, TheLineMenuBreaksAndTogglesTheLinesTheHandshakeLeavesFreeUntilSetup)
{
  TNullModem cable(Pty);
  // A stored handshake that matches no entry is taken as Hardware, which drives both lines.
  TRegKey(HKEY_LOCAL_MACHINE, SettingsKeyName)
    .SetValue("Handshake", REG_SZ, reinterpret_cast<const std::uint8_t*>("hardware\0\0\0"), 12);
  Start();
  constexpr int Dtr = TIOCM_DSR | TIOCM_CAR, Rts = TIOCM_CTS, Red = TLed::LedRed, Off = TLed::LedOff;
  const auto item = [&](const char* text) { return Menu("&Line", text); };
  // What the Line menu offers (Send Break, DTR, RTS) and Send, what it shows checked (DTR, RTS),
  // and the lamps.
  const auto offered = [&] {
    return std::vector {item("Send &Break")->isEnabled(), item("&DTR")->isEnabled(), item("&RTS")->isEnabled(),
                        Widget(IDC_SEND)->isEnabled()};
  };
  const auto shown = [&] {
    return std::tuple(item("&DTR")->isChecked(), item("&RTS")->isChecked(), Lamp(IDC_LED_DTR), Lamp(IDC_LED_RTS));
  };
  const auto lamps = [&] { return std::pair(Lamp(IDC_LED_DTR), Lamp(IDC_LED_RTS)); };
  const auto hint = [&] { return TDecoratedFrame::HintText(TMenuHints::HintIdOf(*item("&DTR"))); };
  EXPECT_EQ(std::pair(offered(), lamps()), std::pair(std::vector {true, false, false, true}, std::pair(Red, Red)));
  // The handshake, the port, and what the menu offers then (DTR's hint says why not), and the
  // output lamps.
  const std::tuple<const char*, const char*, std::vector<bool>, int> rows[] = {
    {"Hardware", "COM 1", {true, false, false, true}, Red},   // the kernel and the handshake drive both lines
    {"XOn / XOff", "COM 1", {true, true, true, true}, Off},
    {"no", "COM 3", {false, false, false, false}, Off},   // leads nowhere: no port, the port's message
    {"no", "COM 1", {true, true, true, true}, Off},
  };
  for (const auto& [handshake, port, expected, lit] : rows) {
    Setup([&](QDialog& d) { Choose(d, IDC_PORT, port), Choose(d, IDC_HANDSHAKE, handshake), Click(d, IDOK); });
    EXPECT_EQ(std::tuple(offered(), lamps(), hint()),
              std::tuple(expected, std::pair(lit, lit),
                         lit == Red ? "The Hardware handshake drives DTR" : "Raise or lower DTR"))
      << handshake << " " << port;
  }
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_TRUE(Presenter.Boxes[0].Text.starts_with("Configured COM Port is already"));
  // Under "no" with Set DTR and Set RTS unchecked both start low; each item toggles its line.
  EXPECT_EQ(std::pair(cable.Sees(), shown()), std::pair(0, std::tuple(false, false, Off, Off)));
  item("&DTR")->trigger();
  EXPECT_EQ(std::pair(cable.Sees(), shown()), std::pair(Dtr, std::tuple(true, false, Red, Off)));
  item("&RTS")->trigger();
  item("&DTR")->trigger();
  EXPECT_EQ(std::pair(cable.Sees(), shown()), std::pair(Rts, std::tuple(false, true, Off, Red)));
  Setup([](QDialog& d) { Click(d, IDOK); });   // Setup OK restores the stored levels
  EXPECT_EQ(std::pair(cable.Sees(), shown()), std::pair(0, std::tuple(false, false, Off, Off)));
  // A break lasts about a quarter of a second, and the window goes on meanwhile.
  item("Send &Break")->trigger();
  EXPECT_EQ(std::pair(cable.Breaks(), cable.BreakMs()), std::pair(1, -1L));
  EXPECT_TRUE(QTest::qWaitFor([&] { return cable.BreakMs() >= 0; }, 2000));
  EXPECT_TRUE(cable.BreakMs() >= 200 && cable.BreakMs() < 1000) << cable.BreakMs();
}

TEST_F(TerminalWindowTest, AFloodIsLoggedWholeInBothFormsAndModesAfterWhatTheFileHeld)
{
  std::string flood, records;   // 2000 records: in text mode each shows as one line of its own
  for (int i = 0; i < 2000; ++i) {
    char record[40];
    std::snprintf(record, sizeof record, "%05d The quick brown fox jumps/\x07\r", i);
    flood += record;
    records += std::string(record, 31) + "/2F/07\n";
  }
  std::string values = Values(flood);
  std::erase(values, '\r');
  // Local time in a zone half an hour off any whole-hour one such as the machine's UTC.
  setenv("TZ", "KLV-05:30", 1);
  tzset();
  // The filter chosen (1 raw data, 2 text log, 3 all files: the name's ending decides), the
  // mode, and what the file holds after what it held, without the times of a text log.
  const std::tuple<int, const char*, bool, std::string> rows[] = {
    {1, "raw.bin", false, flood},   // binary mode: more than two field-fulls in one poll
    {2, "binary.log", false, "--- binary mode ---\n" + values},
    {3, "text.log", true, "--- binary mode ---\n--- text mode ---\n" + records},
  };
  for (const auto& [filter, name, textMode, logged] : rows) {
    Presenter.FileAnswer = Store.Root() + "/" + name;
    Presenter.FilterAnswer = filter;
    std::ofstream(Presenter.FileAnswer) << "earlier\n";
    Start();
    const std::time_t begin = std::time(nullptr);
    Menu("&File", "&Log to File...")->trigger();
    if (textMode)
      Menu("Switch &Mode")->trigger();
    Flood(flood);
    Menu("&File", "Stop &Logging")->trigger();
    const std::string file = FileText(Presenter.FileAnswer);
    ASSERT_EQ(file.substr(0, 8), "earlier\n") << name;
    EXPECT_TRUE((filter == 1 ? file.substr(8) : Unstamped(file.substr(8), begin, std::time(nullptr))) == logged)
      << name << ": the log differs from what was sent";
  }
}

TEST_F(TerminalWindowTest, ALogFileThatCannotBeOpenedOrWrittenIsReportedAndTheTerminalGoesOn)
{
  Start();
  Presenter.FileAnswer = Store.Root() + "/no/such/folder/x.bin";
  Menu("&File", "&Log to File...")->trigger();
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text,
            "The log file cannot be opened:\n" + Presenter.FileAnswer + "\nNo such file or directory");
  // A device that is always full stands in for a full disk. While its box is up, the poll goes
  // on: the box comes after the tick, never inside it.
  bool receivedWhileShown = false;
  Presenter.WhileShown = [&] { receivedWhileShown = Pty.Send("\x42") && ShowsWithin("41,42,"); };
  Presenter.FileAnswer = "/dev/full";
  Menu("&File", "&Log to File...")->trigger();
  ASSERT_TRUE(Pty.Send("\x41"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Presenter.Boxes.size() == 2; }, 2000));
  EXPECT_EQ(Presenter.Boxes.back().Text,
            "Logging has stopped: the log file cannot be written:\n/dev/full\nNo space left on device");
  EXPECT_TRUE(receivedWhileShown) << Received();
}

// (A Setup whose port leads nowhere: the Line menu's rows.)
TEST_F(TerminalWindowTest, SetupAppliesOnOkAndARunningSendGoesOnBehindIt)
{
  Start();
  Setup([&](QDialog& d) { Type(d, IDC_LINELENGTH, "2"), Click(d, IDOK); });
  ASSERT_TRUE(Pty.Send("abc"));   // the new settings apply at once: lines of two values
  EXPECT_TRUE(ShowsWithin("61,62,\r\n63,")) << Received();
  Send("41,42:");   // repeats until stopped
  const auto goesOn = [&] { EXPECT_EQ((Pty.Receive(4096, 50), Collect(Pty, 4, 2000)), "ABAB"); };
  Setup([&](QDialog& d) { goesOn(), Click(d, IDOK); });
  EXPECT_TRUE(Shown(IDC_STOP));
  goesOn();
}

TEST_F(TerminalWindowTest, AChosenEntryFillsTheSendFieldAndItsLabelCutTo40CharactersTheCaption)
{
  Presenter.FileAnswer = Store.Root() + "/commands.dat";
  std::ofstream(Presenter.FileAnswer) << "[Reset]AT/0D\nATI\n[" + std::string(30, 'L') + "]41\n[no end\n";
  Start();
  Menu("&File", "&Open Command File...")->trigger();
  const std::tuple<bool, int, const char*, std::string> rows[] = {
    {true, 0, "AT/0D", "Kalvix in Text mode - Reset"},
    {false, 1, "ATI", "Kalvix in binary mode - "},   // no label: the bare prefix
    {true, 2, "41", "Kalvix in Text mode - " + std::string(18, 'L')},
    {true, 3, "41", "Kalvix in Text mode - " + std::string(18, 'L')},   // "[" without "]": nothing changes
  };
  for (const auto& [textMode, row, sent, caption] : rows) {
    if (Client().IsTextMode() != textMode)
      Menu("Switch &Mode")->trigger();
    PlayModal([&] { Menu("&Select")->trigger(); },
              [&](QDialog& d) {
                dynamic_cast<TSimpleComboWidget*>(DialogItem(d, IDC_COMMANDS))->List()->setCurrentRow(row);
                Click(d, IDOK);
              });
    EXPECT_EQ(std::pair(Field(IDC_SENDTEXT).GetText(), Frame().GetCaption()), std::pair(std::string(sent), caption));
  }
}

TEST_F(TerminalWindowTest, ALargerWindowGrowsTheReceiveFieldByItsGrowthKeepsSendAtTheRightAndTheLampsInPlace)
{
  // The window grown beyond its opening size, or shrunk: the receive field takes all the growth,
  // the send field its width, Send moves right by it, the lamps stay; none of them shrinks below
  // or moves left of where it opened.
  Start();
  auto& frame = *Frame().GetWidget();
  QWidget& client = *Client().GetWidget();
  ASSERT_EQ(client.size(), QSize(705, 317));   // sixty pixels taller than the template (705 x 257)
  const QSize opening = frame.size();
  const auto at = [&](int id) { return Widget(id)->geometry(); };
  const QRect receive = at(IDC_RECEIVE), send = at(IDC_SENDTEXT), button = at(IDC_SEND), lamp = at(IDC_LED_RI);
  for (const QSize& growth :
       {QSize(0, 0), QSize(395, 433), QSize(1, 1), QSize(0, 120), QSize(200, -60), QSize(-100, -60)}) {
    SCOPED_TRACE(testing::Message() << "grown by " << growth.width() << ", " << growth.height());
    frame.resize(opening + growth);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.size() == QSize(705, 317) + growth; }, 2000))
      << client.width() << " x " << client.height();
    const int dx = std::max(growth.width(), 0), dy = std::max(growth.height(), 0);
    EXPECT_EQ(
      std::vector({at(IDC_RECEIVE), at(IDC_SENDTEXT), at(IDC_SEND), at(IDC_LED_RI)}),
      std::vector({receive.adjusted(0, 0, dx, dy), send.adjusted(0, 0, dx, 0), button.translated(dx, 0), lamp}));
  }
}

}   // namespace
