// Edit controls of dialog 2000: the single-line send field and the multi-line receive field.
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "resources/ResourceIds.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <gtest/gtest.h>

namespace {
class THexOnly final : public TValidator {
public:
  bool IsValidInput(const std::string& text) const override
  {
    return text.find_first_not_of("0123456789ABCDEF,") == std::string::npos;
  }
  void Error(TWindow&) const override {}
};

struct EditFixture : ::testing::Test {
  EditFixture()
  {
    dialog.Create();
    dialog.Show(SW_SHOW);
  }
  TDialog dialog {nullptr, IDD_CLIENT};
  TEdit receive {&dialog, IDC_RECEIVE, 65535};
  TEdit send {&dialog, IDC_SENDTEXT, 81};

  QPlainTextEdit* ReceiveWidget() { return qobject_cast<QPlainTextEdit*>(receive.GetWidget()); }
};
}

TEST_F(EditFixture, InsertReplacesTheSelectionAtTheCaretAndLineBreaksReadAsCrLf)
{
  receive.Insert("Hello\r\n/0A");
  EXPECT_EQ(receive.GetText(), "Hello\r\n/0A");
  EXPECT_EQ(receive.GetTextLen(), 10);
  EXPECT_EQ(ReceiveWidget()->blockCount(), 2);
  receive.Insert("01,");
  EXPECT_EQ(receive.GetText(), "Hello\r\n/0A01,");

  // The user puts the caret after "He" and selects "ll".
  QTextCursor cursor = ReceiveWidget()->textCursor();
  cursor.setPosition(2);
  cursor.setPosition(4, QTextCursor::KeepAnchor);
  ReceiveWidget()->setTextCursor(cursor);
  receive.Insert("XY\r\nZ");
  EXPECT_EQ(receive.GetText(), "HeXY\r\nZo\r\n/0A01,");
  // The caret stays behind the insertion.
  receive.Insert("!");
  EXPECT_EQ(receive.GetText(), "HeXY\r\nZ!o\r\n/0A01,");
}

TEST_F(EditFixture, ReadOnlyFieldRefusesTypingButTakesInsertsAndClearsWhenWritable)
{
  ASSERT_TRUE(receive.IsReadOnly());
  receive.Insert("abc");
  ReceiveWidget()->setFocus();
  QTest::keyClicks(ReceiveWidget(), "zz");
  EXPECT_EQ(receive.GetText(), "abc");
  receive.SetReadOnly(false);
  receive.Clear();
  receive.SetReadOnly(true);
  EXPECT_EQ(receive.GetText(), "");
  QTest::keyClicks(ReceiveWidget(), "zz");
  EXPECT_EQ(receive.GetText(), "");
  // No undo: the shortcut brings nothing back.
  receive.Insert("text");
  receive.Clear();
  QTest::keyClick(ReceiveWidget(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(receive.GetText(), "");
}

TEST_F(EditFixture, LongLinesDoNotWrapButScroll)
{
  const std::string line(2000, 'A');
  receive.Insert(line);
  EXPECT_EQ(ReceiveWidget()->document()->lineCount(), 1);
  EXPECT_GT(ReceiveWidget()->horizontalScrollBar()->maximum(), 0);
}

TEST_F(EditFixture, TheTextLimitIsTheBufferSizeLessTheTerminator)
{
  send.GetWidget()->setFocus();
  QTest::keyClicks(send.GetWidget(), QString(100, '7'));
  EXPECT_EQ(send.GetText(), std::string(80, '7'));

  receive.SetTextLimit(11);   // ten characters, a line break counting two
  receive.Insert("abcd\r\nefgh");
  receive.Insert("more");
  EXPECT_EQ(receive.GetText(), "abcd\r\nefgh");
  receive.Clear();
  receive.Insert("123456789\r\n");   // the break does not fit whole and is left out
  EXPECT_EQ(receive.GetText(), "123456789");
  QTextCursor cursor = ReceiveWidget()->textCursor();
  cursor.setPosition(0);
  cursor.setPosition(9, QTextCursor::KeepAnchor);
  ReceiveWidget()->setTextCursor(cursor);
  receive.Insert("0123456789ABC");   // replaces the selection: ten characters fit
  EXPECT_EQ(receive.GetText(), "0123456789");
}

TEST_F(EditFixture, TheValidatorFiltersTypingAndCanBeReplaced)
{
  send.SetValidator(new THexOnly);
  send.GetWidget()->setFocus();
  QTest::keyClicks(send.GetWidget(), "0A,xg1F");
  EXPECT_EQ(send.GetText(), "0A,1F");
  send.SetValidator(nullptr);
  QTest::keyClicks(send.GetWidget(), "xg");
  EXPECT_EQ(send.GetText(), "0A,1Fxg");
}

TEST_F(EditFixture, EveryByteSurvivesTheRoundTrip)
{
  std::string bytes;
  for (int b = 1; b < 256; ++b)
    if (b != '\r' && b != '\n')
      bytes += char(b);
  receive.SetTextLimit(0);
  receive.SetText(bytes);
  EXPECT_EQ(receive.GetText(), bytes);
  send.SetTextLimit(0);
  send.SetText(bytes.substr(0x1F));
  EXPECT_EQ(send.GetText(), bytes.substr(0x1F));
}
