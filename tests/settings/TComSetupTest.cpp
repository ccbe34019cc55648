// The setup dialog on real widgets: its template, the handshake arrangement, the number
// fields and the close check, driven by keys and mouse clicks as a user would.
#include "settings/TComSetup.h"

#include "resources/ResourceTypes.h"
#include "settings/PortSettings.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr int StillOpen = 99;   // what a run returns when its script left the dialog open

const char* const RangeLine = "Value is not in the range 1 to 80.";
const char* const RangeChar = "Value is not in the range 0 to 255.";

class SetupDialogTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    QCoreApplication::setApplicationName("Kalvix");
    LoadPortSettings(Xfer, LineLength, DelayTime, DelayChar);
  }

  // Runs the dialog modally on Xfer; script plays the user once it is shown.
  int Run(const std::function<void(TComSetup&)>& script)
  {
    TComSetup dialog(nullptr, Xfer);
    bool ran = false;
    QTimer::singleShot(0, [&] {
      ran = true;
      QApplication::setActiveWindow(dialog.GetWidget());   // focus exists only in the active window
      script(dialog);
      if (dialog.GetWidget()->isVisible())
        dialog.CloseWindow(StillOpen);
    });
    const int result = dialog.Execute();
    EXPECT_TRUE(ran);
    return result;
  }

  static QWidget* Item(TDialog& dialog, int id)
  {
    for (QWidget* widget : dialog.GetWidget()->findChildren<QWidget*>())
      if (widget->property("controlId").toInt() == id)
        return widget;
    ADD_FAILURE() << "no control " << id;
    return nullptr;
  }
  static QComboBox* List(TDialog& dialog, int id) { return qobject_cast<QComboBox*>(Item(dialog, id)); }
  static QCheckBox* Box(TDialog& dialog, int id) { return qobject_cast<QCheckBox*>(Item(dialog, id)); }
  static QLineEdit* Field(TDialog& dialog, int id) { return qobject_cast<QLineEdit*>(Item(dialog, id)); }

  // Picks entry index of a list with the keyboard: to the first entry, then down.
  static void Choose(TDialog& dialog, int id, int index)
  {
    QComboBox* list = List(dialog, id);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
      QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentIndex(), index);
  }
  // Replaces a field's text by typing, as the user does after selecting all of it.
  static void Type(TDialog& dialog, int id, const char* text)
  {
    QLineEdit* field = Field(dialog, id);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
  }
  static void Click(TDialog& dialog, int id) { QTest::mouseClick(Item(dialog, id), Qt::LeftButton); }
  static void Ok(TDialog& dialog) { Click(dialog, IDOK); }

  std::vector<std::string> Texts() const
  {
    std::vector<std::string> texts;
    for (const auto& box : Presenter.Boxes)
      texts.push_back(box.Text);
    return texts;
  }

  TScratchStore Store;
  TRecordingPresenter Presenter;
  TComSetupXfer Xfer;
  std::int32_t LineLength = 0, DelayTime = 0, DelayChar = 0;
};

TEST_F(SetupDialogTest, Template1HasEveryControlInTemplateOrderAndTabsThroughThemInThatOrder)
{
  const TDialogTemplate* tpl = FindDialogTemplate(IDD_SETUP);
  ASSERT_NE(tpl, nullptr);
  TComSetup dialog(nullptr, Xfer);
  ASSERT_TRUE(dialog.Create());
  QWidget* window = dialog.GetWidget();
  EXPECT_EQ(window->windowTitle(), "COM-Port Setting");
  EXPECT_EQ(window->size(), TDialog::MapDialogRect(dialog.DialogFont(), 0, 0, 266, 189).size());
  EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowTitleHint);

  QList<QWidget*> controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  std::reverse(controls.begin(), controls.end());   // Qt lists them bottom to top
  ASSERT_EQ(controls.size(), 32);
  ASSERT_EQ(qsizetype(tpl->Controls.size()), controls.size());
  const auto text = [](QWidget* w) -> QString {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
      return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
      return l->text();
    return {};
  };
  // Kind, id and text of each, as the template lists them.
  const std::vector<std::tuple<const char*, int, const char*>> expected = {
    {"TButtonWidget", 2, "Abbruch"}, {"TButtonWidget", 1, "OK"},
    {"QLabel", -1, "Port"},          {"QComboBox", 112, ""},
    {"QLabel", -1, "Baudrate"},      {"QComboBox", 101, ""},
    {"QLabel", -1, "Parity"},        {"QComboBox", 102, ""},
    {"QLabel", -1, "Stopbits"},      {"QComboBox", 103, ""},
    {"QLabel", -1, "Databits"},      {"QComboBox", 104, ""},
    {"QLabel", -1, "Handshake"},     {"QComboBox", 105, ""},
    {"QCheckBox", 106, "Set DTR"},   {"QCheckBox", 107, "Set RTS"},
    {"QCheckBox", 110, "use CTS"},   {"QCheckBox", 111, "use DSR"},
    {"QFrame", -1, ""},              {"QFrame", -1, ""},
    {"QFrame", -1, ""},              {"QFrame", -1, ""},
    {"QLabel", -1, "Count of char. / line in receive field:"},
    {"QLineEdit", 108, ""},          {"QFrame", -1, ""},
    {"QLineEdit", 109, ""},          {"QLabel", -1, "Delay time:"},
    {"QLabel", -1, "ms"},            {"QFrame", -1, ""},
    {"QLabel", -1, "Delay Character in text mode:"},
    {"QLineEdit", 113, ""},          {"QLabel", -1, "dec"},
  };
  for (qsizetype i = 0; i < controls.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& [kind, id, label] = expected[std::size_t(i)];
    QWidget* control = controls[i];
    const char* actual = qobject_cast<QPushButton*>(control) ? "TButtonWidget" : control->metaObject()->className();
    EXPECT_STREQ(actual, kind);
    EXPECT_EQ(control->property("controlId").toInt(), id);
    EXPECT_EQ(text(control), label);
    const TControlTemplate& item = tpl->Controls[std::size_t(i)];
    const QRect rect = TDialog::MapDialogRect(dialog.DialogFont(), item.X, item.Y, item.Width, item.Height);
    EXPECT_EQ(control->pos(), rect.topLeft());
  }
  for (int id : {IDC_LINELENGTH, IDC_DELAYTIME, IDC_DELAYCHAR})
    EXPECT_TRUE(Field(dialog, id)->alignment() & Qt::AlignRight) << id;
  EXPECT_TRUE(List(dialog, IDC_PORT)->hasFrame());
  EXPECT_FALSE(List(dialog, IDC_HANDSHAKE)->hasFrame());

  // Tab walks the tab stops in template order and wraps; disabled boxes are skipped.
  dialog.Show(SW_SHOW);
  QApplication::setActiveWindow(window);
  Choose(dialog, IDC_HANDSHAKE, 2);   // XOn / XOff: all four boxes take part
  Item(dialog, IDCANCEL)->setFocus();
  std::vector<int> order;
  for (int i = 0; i < 17; ++i) {
    order.push_back(QApplication::focusWidget()->property("controlId").toInt());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (std::vector<int> {2, 1, 112, 101, 102, 103, 104, 105, 106, 107, 110, 111, 108, 109, 113, 2, 1}));
}

TEST_F(SetupDialogTest, OkWithoutChangesBringsBackEverySettingAndTheChecksOfHardwareHandshake)
{
  const int result = Run([](TComSetup& d) {
    // The default "Hardware" arrives arranged: CTS and DSR checked, all four boxes disabled.
    EXPECT_EQ(List(d, IDC_HANDSHAKE)->currentText(), "Hardware");
    for (int id : {IDC_USECTS, IDC_USEDSR})
      EXPECT_TRUE(Box(d, id)->isChecked()) << id;
    for (int id : {IDC_SETDTR, IDC_SETRTS})
      EXPECT_FALSE(Box(d, id)->isChecked()) << id;
    for (int id : {IDC_SETDTR, IDC_SETRTS, IDC_USECTS, IDC_USEDSR})
      EXPECT_FALSE(Box(d, id)->isEnabled()) << id;
    EXPECT_EQ(List(d, IDC_BAUDRATE)->currentText(), "9600");
    EXPECT_EQ(List(d, IDC_BAUDRATE)->count(), 15);
    EXPECT_EQ(List(d, IDC_PORT)->currentText(), "COM 1");
    EXPECT_EQ(Field(d, IDC_LINELENGTH)->text(), "80");
    EXPECT_EQ(Field(d, IDC_DELAYCHAR)->text(), "44");
    EXPECT_EQ(Field(d, IDC_DELAYTIME)->text(), "0");
    Ok(d);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(Presenter.Boxes.empty());
  EXPECT_EQ(Xfer.UseCtsCheck, 1u);
  EXPECT_EQ(Xfer.UseDsrCheck, 1u);
  EXPECT_EQ(Xfer.SetDtrCheck, 0u);
  EXPECT_EQ(Xfer.BaudRateData.GetSelection(), "9600");
  EXPECT_EQ(Xfer.BaudRateData.GetSelIndex(), 6);
  EXPECT_EQ(Xfer.StopBitsData.GetSelection(), "1 Bit");
  EXPECT_EQ(Xfer.BaudRateData.GetStrings().size(), 15u);
  EXPECT_STREQ(Xfer.LineLengthText, "80");
  EXPECT_STREQ(Xfer.DelayCharText, "44");
  EXPECT_STREQ(Xfer.DelayTimeText, "0");
}

TEST_F(SetupDialogTest, HandshakeHardwareThenNoThenXonXoffArrangesTheFourBoxes)
{
  Xfer.HandshakeData.SelectString("no");
  Xfer.SetDtrCheck = 1;
  Xfer.UseCtsCheck = 1;   // a stored check that "no" does not allow
  const int result = Run([](TComSetup& d) {
    const auto state = [&d] {
      std::string s;
      for (int id : {IDC_SETDTR, IDC_SETRTS, IDC_USECTS, IDC_USEDSR})
        s += std::string(Box(d, id)->isChecked() ? "x" : "-") + (Box(d, id)->isEnabled() ? "E " : "D ");
      return s;
    };
    EXPECT_EQ(state(), "xE -E -D -D ");
    Choose(d, IDC_HANDSHAKE, 1);   // Hardware
    EXPECT_EQ(state(), "xD -D xD xD ");
    QTest::keyClick(List(d, IDC_HANDSHAKE), Qt::Key_Up);   // no
    EXPECT_EQ(state(), "xE -E -D -D ");
    QTest::keyClick(List(d, IDC_HANDSHAKE), Qt::Key_End);   // XOn / XOff, straight from "no"
    EXPECT_EQ(List(d, IDC_HANDSHAKE)->currentText(), "XOn / XOff");
    EXPECT_EQ(state(), "xE -E -E -E ");
    Click(d, IDC_USEDSR);
    Choose(d, IDC_HANDSHAKE, 1);   // Hardware again: the disabled boxes keep what they had
    EXPECT_EQ(state(), "xD -D xD xD ");
    Ok(d);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(Xfer.HandshakeData.GetSelection(), "Hardware");
  EXPECT_EQ(Xfer.SetDtrCheck, 1u);   // disabled, still taken out
  EXPECT_EQ(Xfer.SetRtsCheck, 0u);
  EXPECT_EQ(Xfer.UseCtsCheck, 1u);
  EXPECT_EQ(Xfer.UseDsrCheck, 1u);
}

TEST_F(SetupDialogTest, DataBitsAndStopBitsThatDoNotGoTogetherKeepTheDialogOpen)
{
  // Data bits 5..8 against stop bits 1, 1.5, 2: the message, or none.
  const char* const expected[4][3] = {
    {nullptr, nullptr, "5 Data Bits with 2 Stop Bits is not allowed!"},
    {nullptr, "6 Data Bits with 1,5 Stop Bits is not allowed!", nullptr},
    {nullptr, "7 Data Bits with 1,5 Stop Bits is not allowed!", nullptr},
    {nullptr, "8 Data Bits with 1,5 Stop Bits is not allowed!", nullptr},
  };
  for (int data = 0; data < 4; ++data)
    for (int stop = 0; stop < 3; ++stop) {
      SCOPED_TRACE(testing::Message() << "data " << data << " stop " << stop);
      Presenter.Boxes.clear();
      LoadPortSettings(Xfer, LineLength, DelayTime, DelayChar);
      const int result = Run([&](TComSetup& d) {
        Choose(d, IDC_DATABITS, data);
        Choose(d, IDC_STOPBITS, stop);
        Ok(d);
      });
      if (expected[data][stop]) {
        EXPECT_EQ(result, StillOpen);
        ASSERT_EQ(Presenter.Boxes.size(), 1u);
        EXPECT_EQ(Presenter.Boxes[0].Text, expected[data][stop]);
        EXPECT_EQ(Presenter.Boxes[0].Caption, "");
        EXPECT_EQ(Presenter.Boxes[0].Type, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_EQ(Xfer.DataBitsData.GetSelection(), "8 Bit");   // the record is untouched
        EXPECT_EQ(Xfer.StopBitsData.GetSelection(), "1 Bit");
      } else {
        EXPECT_EQ(result, IDOK);
        EXPECT_TRUE(Presenter.Boxes.empty());
        EXPECT_EQ(Xfer.DataBitsData.GetSelIndex(), data);
        EXPECT_EQ(Xfer.StopBitsData.GetSelIndex(), stop);
      }
    }
}

TEST_F(SetupDialogTest, NumberFieldsOutOfRangeAreRefusedWithTheirRangeAndTheFocus)
{
  struct TCase {
    int Id;
    const char* Text;
    const char* Message;   // null: accepted
    bool Pasted = false;   // typed otherwise
  };
  const TCase cases[] = {
    {IDC_LINELENGTH, "", RangeLine},  {IDC_LINELENGTH, "0", RangeLine},  {IDC_LINELENGTH, "81", RangeLine},
    {IDC_LINELENGTH, "99", RangeLine}, {IDC_LINELENGTH, "1", nullptr},   {IDC_LINELENGTH, "+7", nullptr},
    {IDC_DELAYTIME, "", nullptr},     {IDC_DELAYTIME, "9999", nullptr},  {IDC_DELAYCHAR, "256", RangeChar},
    {IDC_DELAYCHAR, "999", RangeChar}, {IDC_DELAYCHAR, "255", nullptr},  {IDC_DELAYCHAR, "", nullptr},
    // Pasted text goes in as it is; a wrong character in it gives the range message.
    {IDC_DELAYTIME, "5x", "Value is not in the range 0 to 9999.", true},
    {IDC_DELAYCHAR, "1\u20ac", RangeChar, true},
    {IDC_LINELENGTH, "12", nullptr, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Id << " '" << c.Text << "'" << (c.Pasted ? " pasted" : ""));
    Presenter.Boxes.clear();
    LoadPortSettings(Xfer, LineLength, DelayTime, DelayChar);
    const int result = Run([&](TComSetup& d) {
      if (c.Pasted) {
        Type(d, c.Id, "");
        QApplication::clipboard()->setText(QString::fromUtf8(c.Text));
        QTest::keyClick(Field(d, c.Id), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Field(d, c.Id)->text(), QString::fromUtf8(c.Text));
      } else {
        Type(d, c.Id, c.Text);
      }
      Ok(d);
      if (c.Message) {
        EXPECT_EQ(QApplication::focusWidget(), Field(d, c.Id));
      }
    });
    if (c.Message) {
      EXPECT_EQ(result, StillOpen);
      ASSERT_EQ(Presenter.Boxes.size(), 1u);
      EXPECT_EQ(Presenter.Boxes[0].Text, c.Message);
      EXPECT_EQ(Presenter.Boxes[0].Caption, "Kalvix");
      EXPECT_EQ(Presenter.Boxes[0].Type, MB_OK | MB_ICONEXCLAMATION);
      EXPECT_STREQ(Xfer.LineLengthText, "80");
    } else {
      EXPECT_EQ(result, IDOK);
      EXPECT_TRUE(Presenter.Boxes.empty());
    }
  }
}

TEST_F(SetupDialogTest, FieldsTakeOnlyDigitsAndPlusUpToTheirLimits)
{
  const int result = Run([](TComSetup& d) {
    Type(d, IDC_LINELENGTH, "a+b7c");
    EXPECT_EQ(Field(d, IDC_LINELENGTH)->text(), "+7");
    Type(d, IDC_DELAYCHAR, "-1234");
    EXPECT_EQ(Field(d, IDC_DELAYCHAR)->text(), "123");
    Type(d, IDC_DELAYTIME, "12345x");
    EXPECT_EQ(Field(d, IDC_DELAYTIME)->text(), "1234");
    Ok(d);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(Presenter.Boxes.empty());
  EXPECT_STREQ(Xfer.LineLengthText, "+7");
  EXPECT_EQ(TextValue(Xfer.LineLengthText, sizeof Xfer.LineLengthText), 7);
  EXPECT_STREQ(Xfer.DelayCharText, "123");
  EXPECT_STREQ(Xfer.DelayTimeText, "1234");
}

TEST_F(SetupDialogTest, TabOutOfAnInvalidFieldReportsAndStaysAndCancelThenSaysNothing)
{
  const int result = Run([this](TComSetup& d) {
    Type(d, IDC_LINELENGTH, "0");
    QTest::keyClick(Field(d, IDC_LINELENGTH), Qt::Key_Tab);
    ASSERT_EQ(Texts(), std::vector<std::string> {RangeLine});
    EXPECT_EQ(Presenter.Boxes[0].Owner, Field(d, IDC_LINELENGTH));
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_LINELENGTH));
    QTest::keyClick(Field(d, IDC_LINELENGTH), Qt::Key_Backtab);
    EXPECT_EQ(Presenter.Boxes.size(), 2u);
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_LINELENGTH));
    Click(d, IDCANCEL);
    QApplication::processEvents();
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(Presenter.Boxes.size(), 2u);
  EXPECT_STREQ(Xfer.LineLengthText, "80");
}

TEST_F(SetupDialogTest, ClickingAwayFromAnInvalidFieldBringsTheFocusBackAndReportsOnce)
{
  const int result = Run([this](TComSetup& d) {
    Type(d, IDC_DELAYCHAR, "300");
    Click(d, IDC_DELAYTIME);
    EXPECT_TRUE(Presenter.Boxes.empty()) << "reported only after the focus change";
    QApplication::processEvents();
    EXPECT_EQ(Texts(), std::vector<std::string> {RangeChar});
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_DELAYCHAR));
    QApplication::processEvents();
    EXPECT_EQ(Presenter.Boxes.size(), 1u);
    // A valid field lets the focus go.
    Type(d, IDC_DELAYCHAR, "30");
    Click(d, IDC_DELAYTIME);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_DELAYTIME));
    EXPECT_EQ(Presenter.Boxes.size(), 1u);
    // Clicking OK from an invalid field is reported by the close check alone.
    Type(d, IDC_DELAYTIME, "");
    Type(d, IDC_LINELENGTH, "");
    Ok(d);
    QApplication::processEvents();
    EXPECT_EQ(Texts(), (std::vector<std::string> {RangeChar, RangeLine}));
  });
  EXPECT_EQ(result, StillOpen);
}

TEST_F(SetupDialogTest, TwoInvalidFieldsAreReportedOnePerOkInCreationOrder)
{
  const int result = Run([this](TComSetup& d) {
    Type(d, IDC_DELAYCHAR, "256");
    Type(d, IDC_LINELENGTH, "0");
    Ok(d);
    EXPECT_EQ(Texts(), std::vector<std::string> {RangeLine});
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_LINELENGTH));
    Type(d, IDC_LINELENGTH, "40");
    Ok(d);
    EXPECT_EQ(Texts(), (std::vector<std::string> {RangeLine, RangeChar}));
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_DELAYCHAR));
    Type(d, IDC_DELAYCHAR, "13");
    Ok(d);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_STREQ(Xfer.LineLengthText, "40");
  EXPECT_STREQ(Xfer.DelayCharText, "13");
  EXPECT_EQ(Presenter.Boxes.size(), 2u);
}

TEST_F(SetupDialogTest, AnInvalidFieldAndAForbiddenFormatGiveTwoMessagesInOrder)
{
  const int result = Run([](TComSetup& d) {
    Choose(d, IDC_DATABITS, 1);   // 6 Bit
    Choose(d, IDC_STOPBITS, 1);   // 1.5 Bit
    Type(d, IDC_DELAYTIME, "");
    Type(d, IDC_LINELENGTH, "81");
    Ok(d);
  });
  EXPECT_EQ(result, StillOpen);
  ASSERT_EQ(Texts(), (std::vector<std::string> {RangeLine, "6 Data Bits with 1,5 Stop Bits is not allowed!"}));
  EXPECT_EQ(Presenter.Boxes[0].Caption, "Kalvix");
  EXPECT_EQ(Presenter.Boxes[1].Caption, "");
}

TEST_F(SetupDialogTest, EnterPressesTheFocusedButtonElseOkAndEscapeCancels)
{
  // Keys pressed after the user changed port, handshake and line length.
  struct TCase {
    const char* What;
    int FocusOn;                        // 0: stays in the line-length field
    std::vector<Qt::Key> Keys;
    int Result;
  };
  const TCase cases[] = {
    {"Enter on Abbruch", IDCANCEL, {Qt::Key_Return}, IDCANCEL},
    {"Space on Abbruch", IDCANCEL, {Qt::Key_Space}, IDCANCEL},
    {"Tab to OK, keypad Enter", IDCANCEL, {Qt::Key_Tab, Qt::Key_Enter}, IDOK},
    {"Enter in a field", 0, {Qt::Key_Return}, IDOK},
    {"Escape", IDOK, {Qt::Key_Escape}, IDCANCEL},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    LoadPortSettings(Xfer, LineLength, DelayTime, DelayChar);
    const int result = Run([&c](TComSetup& d) {
      EXPECT_EQ(QApplication::focusWidget(), Item(d, IDCANCEL)) << "the first tab stop has the focus";
      Choose(d, IDC_PORT, 3);
      Choose(d, IDC_HANDSHAKE, 0);
      Type(d, IDC_LINELENGTH, "12");
      if (c.FocusOn)
        Item(d, c.FocusOn)->setFocus();
      for (Qt::Key key : c.Keys)
        QTest::keyClick(QApplication::focusWidget(), key);
    });
    EXPECT_EQ(result, c.Result);
    EXPECT_TRUE(Presenter.Boxes.empty());
    const bool ok = c.Result == IDOK;
    EXPECT_EQ(Xfer.PortData.GetSelection(), ok ? "COM 4" : "COM 1");
    EXPECT_EQ(Xfer.HandshakeData.GetSelection(), ok ? "no" : "Hardware");
    EXPECT_STREQ(Xfer.LineLengthText, ok ? "12" : "80");
    EXPECT_EQ(Xfer.UseCtsCheck, 0u);   // Cancel: the dialog checked only its own box; OK: "no" cleared it
  }
}

TEST_F(SetupDialogTest, AStoredTextThatMatchesNoEntryShowsNoSelectionAndComesBackEmpty)
{
  Xfer.PortData.SelectString("COM1");
  Xfer.HandshakeData.SelectString("hardware");
  const int result = Run([](TComSetup& d) {
    EXPECT_EQ(List(d, IDC_PORT)->currentIndex(), -1);
    // No handshake selected: the boxes stay as the record has them.
    EXPECT_FALSE(Box(d, IDC_USECTS)->isChecked());
    EXPECT_TRUE(Box(d, IDC_USECTS)->isEnabled());
    Ok(d);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(Xfer.PortData.GetSelIndex(), -1);
  EXPECT_EQ(Xfer.PortData.GetSelection(), "");
  EXPECT_EQ(Xfer.PortNumber(), 0);
}

} // namespace
