// Today's boards: the receive view in colour (stamps, the mode, colours turned off, a field that
// trims, copy), its time stamps, the find window over a filling field, and in the running
// program local echo (of Send and of a trigger's reply) with both logs, Ctrl+F and the options
// kept across a restart.
#include "display/TFindDlg.h"
#include "tests/support/KalvixSession.h"
#include "triggers/TriggerStore.h"

#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

namespace {

// The field line by line, a stretch in colours of its own as "[fRRGGBB gRRGGBB:text]" (each
// part only where set).
std::string Render(const QPlainTextEdit& edit)
{
  std::string out;
  for (QTextBlock line = edit.document()->begin(); line.isValid(); line = line.next()) {
    for (auto part = line.begin(); !part.atEnd(); ++part) {
      const QTextCharFormat f = part.fragment().charFormat();
      std::string style;
      for (const auto& [kind, property, brush] : {std::tuple {'f', QTextFormat::ForegroundBrush, f.foreground()},
                                                  {'g', QTextFormat::BackgroundBrush, f.background()}})
        if (f.hasProperty(property))
          style += kind + QString::number(brush.color().rgb() & 0xFFFFFF, 16).rightJustified(6, '0').toStdString();
      const std::string text = part.fragment().text().toStdString();
      out += style.empty() ? text : "[" + style + ":" + text + "]";
    }
    out += line.next().isValid() ? "\n" : "";
  }
  return out;
}

// The receive view in a terminal window's template, fed as the line feeds it.
struct ReceiveView : ::testing::Test {
  void Receive(const std::string& bytes, bool textMode = true)
  {
    for (std::size_t at = 0; at < bytes.size(); at += 80)
      View.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data() + at),
                   std::min<std::size_t>(80, bytes.size() - at), textMode, {});
  }

  TDialog Client {nullptr, IDD_CLIENT};
  TReceiveView View {&Client};
  QPlainTextEdit& Edit = *static_cast<QPlainTextEdit*>(Client.Create() ? View.ReceiveField.GetWidget() : nullptr);
};

TEST_F(ReceiveView, TextModeShowsTheColoursAFullFieldKeepsThemAndBinaryModeAndColoursOffShowEveryByte)
{
  const std::string idf = "\x1b[0;32mI (312) boot: ok\x1b[0m\r\n\x1b[1;31mE (9) x\x1b[0m\r";
  Receive(idf);
  EXPECT_EQ(Render(Edit), "/1B[0;32mI (312) boot: ok/1B[0m\n/0A/1B[1;31mE (9) x/1B[0m\n");
  View.Clear();
  View.Colours = true;
  Receive(idf.substr(0, 3)), Receive(idf.substr(3));   // a sequence split between reads
  View.LineLength = 4;                                 // escapes take no room in a line
  Receive("\x1b[34mabcdefg\x1b[0m\r");
  Receive("\x1b[33m", false);
  EXPECT_EQ(Render(Edit), "[f1a7f37:I (312) boot: ok]\n/0A[fc01c28:E (9) x]\n[f1f4fb4:abcd]\n[f1f4fb4:efg]\n"
                          "1B,5B,33,33,\n6D,");
  Edit.selectAll();   // copy gives the text alone
  Edit.copy();
  EXPECT_EQ(QApplication::clipboard()->mimeData()->formats(), QStringList {"text/plain"});
  EXPECT_EQ(QApplication::clipboard()->text(), "I (312) boot: ok\n/0AE (9) x\nabcd\nefg\n1B,5B,33,33,\n6D,");
  // A stamp keeps the field's colours; a sequence open when colours go off is shown.
  View.Clear();
  View.LineLength = 80;
  View.TimeStamps = true;
  Receive("\x1b[32mok\r\x1b[3");
  View.Colours = View.TimeStamps = false;
  Receive("1mx");
  EXPECT_EQ(Render(Edit).substr(12), " [f1a7f37:ok]\n/1B[31mx") << "after the stamp, HH:MM:SS.mmm";

  // 2000 lines of 73 characters with the break, red and green by turns: the last 897 fit.
  View.Colours = true;
  std::string lines;
  for (int i = 0; i < 2000; ++i)
    lines += "\x1b[3" + std::to_string(1 + i % 2) + "m" + std::to_string(1000 + i) + std::string(67, '.') + "\x1b[m\r";
  for (const bool polled : {false, true}) {
    View.Clear();
    if (polled)
      View.BeginPoll();   // one poll takes more than two field-fulls: only what stays goes in
    Receive(lines);
    View.EndPoll();
    const std::string shown = Render(Edit);
    EXPECT_EQ(Edit.document()->blockCount(), 898);
    EXPECT_EQ(shown.substr(0, 14) + shown.substr(shown.size() - 82, 14), "[f1a7f37:2103.[f1a7f37:2999.") << polled;
    EXPECT_NE(shown.find("[fc01c28:2104."), std::string::npos);
  }
}

TEST_F(ReceiveView, EveryLineBeginsWithTheTimeItsFirstByteWasReadAndEachBurstOfValuesWithALine)
{
  std::tm local {};
  strptime("2026-12-07 10:11:12", "%Y-%m-%d %H:%M:%S", &local);
  local.tm_isdst = -1;
  const auto t0 = std::chrono::system_clock::from_time_t(std::mktime(&local)) + std::chrono::milliseconds(345);
  // Shows chunks (ms after 10:11:12.345 local time, bytes) in a cleared field; their text as a
  // log gets it, and the field's.
  const auto show = [&](bool textMode, int lineLength, const std::vector<std::pair<int, std::string>>& chunks) {
    View.Clear();
    View.LineLength = lineLength;
    std::string logged;
    for (const auto& [ms, bytes] : chunks)
      logged += View.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), textMode,
                             t0 + std::chrono::milliseconds(ms));
    return std::pair(logged, View.ReceiveField.GetText());
  };
  View.TimeStamps = true;
  // Mode, line length, chunks, the field. A stamp is no part of a line's length; a line break
  // alone gets none; in binary mode 200 ms without a byte start a line.
  const std::tuple<bool, int, std::vector<std::pair<int, std::string>>, std::string> rows[] = {
    {true, 80, {{0, "ab\rcd"}, {50, "e\r"}, {900, "f"}}, "10:11:12.345 ab\r\n10:11:12.345 cde\r\n10:11:13.245 f"},
    {true, 3, {{0, "abcdefg"}}, "10:11:12.345 abc\r\n10:11:12.345 def\r\n10:11:12.345 g"},
    {true, 80, {{0, "\r\r"}, {10, "x"}, {400, "y"}}, "\r\n\r\n10:11:12.355 xy"},
    {false, 80, {{0, "A"}, {199, "B"}, {399, "C"}, {410, "\r"}}, "10:11:12.345 41,42,\r\n10:11:12.744 43,0D,"},
    {false, 2, {{0, "\x01\x02\x03"}, {1000, "\x04"}}, "10:11:12.345 01,02,\r\n10:11:12.345 03,\r\n10:11:13.345 04,"},
  };
  for (const auto& [text, lineLength, chunks, field] : rows)
    EXPECT_EQ(show(text, lineLength, chunks).second, field) << field;
  // A log takes the lines without their stamps; a burst's line it takes as the field shows it.
  EXPECT_EQ(show(false, 80, {{0, "A"}, {300, "B"}}).first, "41,\r\n42,");
  // Turned on in the middle of a line, stamps begin with the next; turned off, they stay.
  View.Clear();
  for (const auto& [on, bytes] : {std::pair {false, "ab"}, {true, "c\rd"}, {false, "\re"}})
    View.TimeStamps = on, View.Receive(reinterpret_cast<const std::uint8_t*>(bytes), std::strlen(bytes), true, t0);
  EXPECT_EQ(View.ReceiveField.GetText(), "abc\r\n10:11:12.345 d\r\ne");
}

TEST_F(ReceiveView, FindShowsMatchesByScrollingTheCaretStaysAndTheyFollowTheField)
{
  bool textMode = true;
  TFindDlg find(&Client, View.ReceiveField, textMode);
  Client.GetWidget()->show();
  Client.GetWidget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Client.GetWidget()));
  std::string lines;
  for (int i = 0; i < 400; ++i)
    lines += "line " + std::to_string(i) + " of the boot\r";
  Receive(lines);
  // The user's selection, where what arrives goes, and the view at the top.
  Edit.setTextCursor(Edit.document()->find("line 7 of"));
  Edit.setFocus();
  Edit.verticalScrollBar()->setValue(0);
  const auto count = [&] { return DialogItem<QLabel>(*find.GetWidget(), IDC_FIND_COUNT)->text(); };
  find.Open();
  QWidget* text = DialogItem(*find.GetWidget(), IDC_FIND_TEXT);
  QTest::keyClicks(text, "LINE 1");
  EXPECT_EQ(count(), "1 of 111");   // "line 1", "line 10" to "line 199": the first from the top of the view
  for (const auto& [key, modifiers, counted, line] : {std::tuple {Qt::Key_F3, Qt::NoModifier, "2 of 111", "line 10 "},
                                                      {Qt::Key_F3, Qt::ShiftModifier, "1 of 111", "line 1 "},
                                                      {Qt::Key_F3, Qt::ShiftModifier, "111 of 111", "line 199 "},
                                                      {Qt::Key_Return, Qt::NoModifier, "1 of 111", "line 1 "}}) {
    QTest::keyClick(text, key, modifiers);
    EXPECT_TRUE(count() == counted && Edit.viewport()->rect().contains(Edit.cursorRect(Edit.document()->find(line))))
      << counted;
  }
  for (const QTextEdit::ExtraSelection& mark : Edit.extraSelections())   // every match in view, and only those
    EXPECT_EQ(mark.cursor.selectedText(), "line 1");
  EXPECT_GE(Edit.extraSelections().size(), 2);   // "line 1" and "line 10" on, as far as the view goes
  EXPECT_EQ(Edit.textCursor().selectedText(), "line 7 of");
  // What arrives goes where it would have gone; the old lines go and their matches with them.
  Receive("NEW");
  EXPECT_NE(View.ReceiveField.GetText().find("line 6 of the boot\r\nNEW the boot\r\nline 8 "), std::string::npos);
  Edit.moveCursor(QTextCursor::End);
  Receive(std::string(70000, 'x'));
  EXPECT_EQ(std::tuple(View.ReceiveField.GetText().find("line"), count(), Edit.extraSelections().size()),
            std::tuple(std::string::npos, QString("No matches"), 0));
  // Match case; in binary mode a match runs across the display's line breaks.
  View.Clear();
  textMode = false;
  Receive(std::string(79, 'a') + "\r\n", false);
  qobject_cast<QLineEdit*>(text)->setText("0d,0a");
  EXPECT_EQ(count(), "1 of 1");
  Click(*find.GetWidget(), IDC_FIND_CASE);
  EXPECT_EQ(count(), "No matches");
  QTest::keyClick(text, Qt::Key_Escape);   // hides the window; the focus goes back
  EXPECT_TRUE(!find.GetWidget()->isVisible() && QApplication::focusWidget() == &Edit);
}

using ColoursSession = KalvixSession;

TEST_F(ColoursSession, SentBytesGoInAmongWhatArrivesOnTheirGroundAndIntoTheTextLogOnlyAndTheOptionsStay)
{
  TPty device;   // at the far end of the line
  Store.LinkPort(1, device.SlavePath());
  const auto item = [&](const char* text) { return Menu("&Line", text); };
  Start();
  item("&Colours")->trigger();
  item("Local &Echo")->trigger();
  Exit();
  ASSERT_EQ(SaveTriggers({{.Text = "?", .Reply = "41,42", .Delay = 30}}), "");   // a reply goes between ticks
  Start();
  EXPECT_TRUE(item("&Colours")->isChecked() && item("Local &Echo")->isChecked() && !item("&Time Stamps")->isChecked());
  auto& edit = *qobject_cast<QPlainTextEdit*>(Widget(IDC_RECEIVE));
  // A raw log, then a text log, of the same exchange.
  for (const int filter : {1, 2}) {
    Presenter.FileAnswer = Store.Root() + (filter == 1 ? "/echo.bin" : "/echo.log");
    Presenter.FilterAnswer = filter;
    Menu("Switch &Mode")->trigger();   // to text mode
    const std::time_t begin = std::time(nullptr);
    Menu("&File", "&Log to File...")->trigger();
    Deliver("x");
    Send("AT/0D");
    EXPECT_TRUE(ShowsWithin("xAT\r\n") && Collect(device, 3, 2000) == "AT\r" && device.Send("\x1b[32mOK\x1b[0m\r"));
    EXPECT_TRUE(ShowsWithin("xAT\r\nOK\r\n"));
    EXPECT_EQ(Render(edit), "x[gd6e4f5:AT]\n[f1a7f37:OK]\n");
    Menu("Switch &Mode")->trigger();   // a trigger's reply goes the same way, as values
    EXPECT_TRUE(device.Send("?") && ShowsWithin("3F,41,42,") && Collect(device, 2, 2000) == "AB");
    EXPECT_EQ(Render(edit), "3F,[gd6e4f5:41,42,]");
    Menu("&File", "Stop &Logging")->trigger();
    const std::string log = FileText(Presenter.FileAnswer);
    EXPECT_EQ(filter == 1 ? log : Unstamped(log, begin, std::time(nullptr)),
              filter == 1 ? "x\x1b[32mOK\x1b[0m\r?" : "--- text mode ---\nxAT\nOK\n--- binary mode ---\n3F,41,42,\n");
  }
  // F3 without a search does nothing; Ctrl+F opens the find window.
  QTest::keyClick(&edit, Qt::Key_F3);
  EXPECT_EQ(Client().GetChildren().back()->GetId(), IDC_STOP) << "no find window yet";
  QTest::keyClick(&edit, Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(Client().GetChildren().back()->GetWidget()->isVisible());
}

}   // namespace
