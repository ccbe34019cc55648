// Today's boards: the receive view in colour (a field that fills and trims, stamps, copy, the
// mode and the option switched), the find window over it, and in the running program local
// echo with the logs, Ctrl+F and the options kept across a restart.
#include "display/TFindDlg.h"
#include "settings/PortSettings.h"
#include "terminal/TReceiveView.h"
#include "tests/support/KalvixSession.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <cmath>
#include <set>

namespace {

// The colour the character at (in the field's own count, a line break one) is drawn in, -1 for
// the field's own; its ground, the same way.
std::pair<int, int> Look(QPlainTextEdit& edit, int at)
{
  QTextCursor cursor(edit.document());
  cursor.setPosition(at + 1);
  const QTextCharFormat f = cursor.charFormat();
  const auto rgb = [](bool set, const QBrush& brush) { return set ? int(brush.color().rgb() & 0xFFFFFF) : -1; };
  return {rgb(f.hasProperty(QTextFormat::ForegroundBrush), f.foreground()),
          rgb(f.hasProperty(QTextFormat::BackgroundBrush), f.background())};
}

// The receive view in a terminal window's template, fed as the line feeds it.
struct ViewFixture : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(Client.Create()); }
  void Receive(const std::string& bytes, bool textMode = true)
  {
    for (std::size_t at = 0; at < bytes.size(); at += 80)
      View.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data() + at), std::min<std::size_t>(80, bytes.size() - at),
                   textMode, {});
  }
  std::pair<int, int> Look(int at) const { return ::Look(*Edit, at); }
  int At(const char* text) const { return int(Edit->document()->toRawText().indexOf(QString::fromLatin1(text))); }

  TDialog Client {nullptr, IDD_CLIENT};
  TReceiveView View {&Client};
  QPlainTextEdit* Edit = nullptr;
};
using ReceiveColours = ViewFixture;
using FindWindow = ViewFixture;

// WCAG 2 contrast, worked out here.
double Contrast(int a, int b)
{
  const auto luminance = [](int rgb) {
    double sum = 0;
    for (const auto& [shift, weight] : {std::pair {16, 0.2126}, {8, 0.7152}, {0, 0.0722}}) {
      const double c = ((rgb >> shift) & 0xFF) / 255.0;
      sum += weight * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum + 0.05;
  };
  return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

TEST_F(ReceiveColours, TextModeShowsTheDevicesColoursBinaryModeAndColoursOffShowEveryByte)
{
  Edit = qobject_cast<QPlainTextEdit*>(View.ReceiveField.GetWidget());
  const std::string idf = "\x1b[0;32mI (312) boot: ok\x1b[0m\r\n\x1b[1;31mE (9) x\x1b[0m\r";
  Receive(idf);
  EXPECT_EQ(View.ReceiveField.GetText(), "/1B[0;32mI (312) boot: ok/1B[0m\r\n/0A/1B[1;31mE (9) x/1B[0m\r\n");
  EXPECT_EQ(Look(At("I (")), std::pair(-1, -1));
  View.Clear();
  View.Colours = true;
  Receive(idf.substr(0, 3)), Receive(idf.substr(3));   // a sequence split between reads
  View.LineLength = 4;                                  // escapes take no room in a line
  Receive("\x1b[34mabcdefg\x1b[0m\r");
  Receive("\x1b[33m", false);
  EXPECT_EQ(View.ReceiveField.GetText(), "I (312) boot: ok\r\n/0AE (9) x\r\nabcd\r\nefg\r\n1B,5B,33,33,\r\n6D,");
  EXPECT_EQ(Look(At("I (")), std::pair(0x1A7F37, -1));
  EXPECT_EQ(Look(At("E (")), std::pair(0xC01C28, -1));
  EXPECT_EQ(Look(At("/0A")), std::pair(-1, -1));
  EXPECT_EQ(Look(At("efg")), std::pair(0x1F4FB4, -1)) << "a style goes on across a line break";
  // A stamp stays in the field's colours; a sequence open when colours go off is shown.
  View.Clear();
  View.LineLength = 80;
  View.TimeStamps = true;
  Receive("\x1b[32mok\r\x1b[3");
  View.Colours = View.TimeStamps = false;
  Receive("1mx");
  const std::string text = View.ReceiveField.GetText();
  EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ok\r\n/1B\\[31mx$").match(QString::fromStdString(text)).hasMatch())
    << text;
  EXPECT_EQ(std::pair(Look(0), Look(At("ok"))), std::pair(std::pair(-1, -1), std::pair(0x1A7F37, -1)));
  EXPECT_EQ(Look(At("[31m")), std::pair(-1, -1));

  // Each of the 16 colours, 30-37 and 90-97, white too, stands out from the field's ground.
  View.Clear();
  View.Colours = true;
  for (int c = 0; c < 16; ++c)
    Receive("\x1b[" + std::to_string(c < 8 ? 30 + c : 82 + c) + "m" + char('a' + c));
  const int ground = int(Edit->palette().color(QPalette::Base).rgb() & 0xFFFFFF);
  const int own = int(Edit->palette().color(QPalette::Text).rgb() & 0xFFFFFF);
  std::set<int> colours;
  for (int c = 0; c < 16; ++c) {
    const int fore = Look(c).first < 0 ? own : Look(c).first;
    colours.insert(fore);
    EXPECT_GE(Contrast(fore, ground), 3.0) << "colour " << c;
  }
  EXPECT_EQ(colours.size(), 16u);
  // Copy gives the text alone.
  Edit->selectAll();
  Edit->copy();
  EXPECT_EQ(QApplication::clipboard()->mimeData()->formats(), QStringList {"text/plain"});
  EXPECT_EQ(QApplication::clipboard()->text(), "abcdefghijklmnop");
}

TEST_F(ReceiveColours, AFullFieldTrimsWholeColouredLinesAndWhatStaysKeepsItsColours)
{
  Edit = qobject_cast<QPlainTextEdit*>(View.ReceiveField.GetWidget());
  View.Colours = true;
  // 1200 lines of 73 characters with the break, red and green by turns: the last 897 fit.
  std::string lines;
  for (int i = 0; i < 1200; ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "\x1b[3%dm%04d %s\x1b[m\r", 1 + i % 2, i, std::string(66, 'a' + i % 26).c_str());
    lines += line;
  }
  for (const bool polled : {false, true}) {
    View.Clear();
    if (polled)
      View.BeginPoll();   // one poll takes more than two field-fulls: only what stays goes in
    Receive(lines);
    View.EndPoll();
    const QTextDocument& doc = *Edit->document();
    EXPECT_EQ(doc.blockCount(), 898) << polled;
    for (const int block : {0, 448, 896}) {
      const QTextBlock line = doc.findBlockByNumber(block);
      const int number = line.text().left(4).toInt();
      EXPECT_EQ(number, 303 + block);
      EXPECT_EQ(Look(line.position()).first, number % 2 ? 0x1A7F37 : 0xC01C28) << polled << " line " << number;
    }
  }
}

TEST_F(FindWindow, MatchesAreShownByScrollingTheCaretStaysAndTheyFollowTheField)
{
  Edit = qobject_cast<QPlainTextEdit*>(View.ReceiveField.GetWidget());
  bool textMode = true;
  TFindDlg find(&Client, View.ReceiveField, textMode);
  Client.GetWidget()->show();
  Client.GetWidget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Client.GetWidget()));
  std::string lines;
  for (int i = 0; i < 400; ++i)
    lines += "line " + std::to_string(i) + " of the boot\r";
  Receive(lines);
  // The user's selection, where what arrives goes.
  QTextCursor user(Edit->document());
  user.setPosition(At("line 7 "));
  user.setPosition(At("line 8 "), QTextCursor::KeepAnchor);
  Edit->setTextCursor(user);
  Edit->setFocus();
  const auto caret = [&] { return std::pair(Edit->textCursor().anchor(), Edit->textCursor().position()); };
  const auto before = caret();
  const auto count = [&] { return static_cast<QLabel*>(DialogItem(*find.GetWidget(), IDC_FIND_COUNT))->text().toStdString(); };
  // Every highlight is a match; the current one is in view.
  const auto marks = [&] {
    int n = 0;
    for (const QTextEdit::ExtraSelection& mark : Edit->extraSelections())
      n += mark.cursor.selectedText().compare("LINE 1", Qt::CaseInsensitive) == 0 ? 1 : -1000;
    return n;
  };
  const auto inView = [&](const char* text) {
    QTextCursor at(Edit->document());
    at.setPosition(At(text));
    return Edit->viewport()->rect().contains(Edit->cursorRect(at));
  };
  Edit->verticalScrollBar()->setValue(0);
  find.Open();
  QWidget* text = DialogItem(*find.GetWidget(), IDC_FIND_TEXT);
  QTest::keyClicks(text, "LINE 1");
  EXPECT_EQ(count(), "1 of 111");   // "line 1", "line 10" to "line 199": the first from the top of the view
  for (const auto& [key, modifiers, shown, line] :
       {std::tuple {Qt::Key_F3, Qt::NoModifier, "2 of 111", "line 10 "},
        {Qt::Key_F3, Qt::ShiftModifier, "1 of 111", "line 1 "},
        {Qt::Key_F3, Qt::ShiftModifier, "111 of 111", "line 199 "},
        {Qt::Key_Return, Qt::NoModifier, "1 of 111", "line 1 "}}) {
    QTest::keyClick(text, key, modifiers);
    EXPECT_EQ(count(), shown);
    EXPECT_TRUE(inView(line)) << line;
    EXPECT_GT(marks(), 0);
  }
  EXPECT_EQ(caret(), before);
  // What arrives goes where it would have gone; the old lines go and their matches with them.
  Receive("NEW");
  EXPECT_EQ(View.ReceiveField.GetText().substr(0, 30), "line 0 of the boot\r\nline 1 of ");
  EXPECT_NE(View.ReceiveField.GetText().find("line 6 of the boot\r\nNEWline 8 "), std::string::npos);
  Edit->moveCursor(QTextCursor::End);
  lines.clear();
  for (int i = 0; i < 3400; ++i)
    lines += "\rline x of the boot";
  Receive(lines);
  EXPECT_EQ(View.ReceiveField.GetText().find("line 1"), std::string::npos);
  EXPECT_EQ(count(), "No matches");
  EXPECT_EQ(Edit->extraSelections().size(), 0);
  // Match case; in binary mode a match runs across the display's line breaks.
  View.Clear();
  textMode = false;
  Receive(std::string(79, 'a') + "\r\n", false);
  QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(text, "0d,0a");
  EXPECT_EQ(count(), "1 of 1");
  QTest::mouseClick(DialogItem(*find.GetWidget(), IDC_FIND_CASE), Qt::LeftButton);
  EXPECT_EQ(count(), "No matches");
  // Escape hides the window and clears the highlights; the focus goes back.
  QTest::keyClick(text, Qt::Key_Escape);
  EXPECT_FALSE(find.GetWidget()->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), Edit);
}

struct ColoursSession : KalvixSession {
  TPty Pty;   // the device at the far end of the line
};

TEST_F(ColoursSession, SentBytesGoInAmongWhatArrivesOnTheirGroundAndIntoTheTextLogOnlyAndTheOptionsStay)
{
  Store.LinkPort(1, Pty.SlavePath());
  const auto item = [&](const char* text) { return Menu("&Line", text); };
  Start();
  item("&Colours")->trigger();
  item("Local &Echo")->trigger();
  Exit();
  Start();
  EXPECT_TRUE(item("&Colours")->isChecked() && item("Local &Echo")->isChecked() && !item("&Time Stamps")->isChecked());
  std::uint32_t type = 0, size = 4;
  std::uint8_t stored[4] = {};
  EXPECT_EQ(TRegKey(HKEY_LOCAL_MACHINE, SettingsKeyName).QueryValue("LocalEcho", &type, stored, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::tuple(type, size, stored[0]), std::tuple(REG_DWORD, 4u, 1));
  auto& edit = *qobject_cast<QPlainTextEdit*>(Widget(IDC_RECEIVE));
  // A raw log, then a text log, of the same exchange.
  for (const int filter : {1, 2}) {
    Presenter.FileAnswer = Store.Root() + (filter == 1 ? "/echo.bin" : "/echo.log");
    Presenter.FilterAnswer = filter;
    if (!Client().IsTextMode())
      Menu("Switch &Mode")->trigger();
    const std::time_t begin = std::time(nullptr);
    Menu("&File", "&Log to File...")->trigger();
    Deliver("x");
    Send("AT/0D");
    EXPECT_TRUE(ShowsWithin("xAT\r\n"));
    EXPECT_EQ(Collect(Pty, 3, 2000), "AT\r");
    ASSERT_TRUE(Pty.Send("\x1b[32mOK\x1b[0m\r"));
    EXPECT_TRUE(ShowsWithin("xAT\r\nOK\r\n"));
    using TLooks = std::vector<std::pair<int, int>>;
    EXPECT_EQ((TLooks {Look(edit, 0), Look(edit, 1), Look(edit, 4)}), (TLooks {{-1, -1}, {-1, 0xD6E4F5}, {0x1A7F37, -1}}));
    Menu("Switch &Mode")->trigger();
    Send("41,42");
    EXPECT_TRUE(ShowsWithin("41,42,"));
    EXPECT_EQ(Collect(Pty, 2, 2000), "AB");
    EXPECT_EQ(Look(edit, 0), std::pair(-1, 0xD6E4F5));
    Menu("&File", "Stop &Logging")->trigger();
    const std::string log = FileText(Presenter.FileAnswer);
    if (filter == 1)
      EXPECT_EQ(log, "x\x1b[32mOK\x1b[0m\r") << "what arrived, nothing sent";
    else
      EXPECT_EQ(Unstamped(log, begin, std::time(nullptr)), "--- text mode ---\nxAT\nOK\n--- binary mode ---\n41,42,\n");
  }
  // Ctrl+F opens the find window; F3 in the terminal without a search moves nothing.
  const auto findShown = [] {
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->windowTitle() == "Find" && window->isVisible())
        return window;
    return static_cast<QWidget*>(nullptr);
  };
  const int caret = edit.textCursor().position();
  QTest::keyClick(&edit, Qt::Key_F3);
  EXPECT_EQ(std::pair(findShown(), edit.textCursor().position()), std::pair(static_cast<QWidget*>(nullptr), caret));
  QTest::keyClick(&edit, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(findShown());
  QTest::keyClick(findShown(), Qt::Key_Escape);
  EXPECT_FALSE(findShown());
}

}   // namespace
