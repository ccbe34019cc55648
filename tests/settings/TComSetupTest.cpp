// The setup dialog on real widgets, driven by keys and mouse clicks as a user would: what it
// adds to the stored values (PortSettingsTest has those): transfer into and out of its controls,
// the handshake boxes, the range checks and their messages, the keys, the number fields' filters.
#include "settings/TComSetup.h"

#include "framework/ResourceLoader.h"
#include "settings/PortSettings.h"
#include "tests/support/ModalDialog.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The messages as caption|text.
const std::string RangeLine = "Kalvix|Value is not in the range 1 to 80.",
                  RangeChar = "Kalvix|Value is not in the range 0 to 255.";

struct SetupDialogTest : ::testing::Test {
  SetupDialogTest() { Reload(); }
  void Reload()
  {
    QCoreApplication::setApplicationName("Kalvix");
    Presenter.Boxes.clear();
    LoadPortSettings(Xfer, LineLength, DelayTime, DelayChar);
  }

  // Runs the dialog modally on Xfer; script plays the user once it is shown, and closes it.
  int Run(const std::function<void(QWidget&)>& script)
  {
    TComSetup dialog(nullptr, Xfer);
    int result = 0;
    PlayModal([&] { result = dialog.Execute(); },
              [&](QDialog& d) {
                QApplication::setActiveWindow(&d);   // focus exists only in the active window
                script(d);
              });
    return result;
  }

  static QComboBox* List(QWidget& d, int id) { return DialogItem<QComboBox>(d, id); }
  static QLineEdit* Field(QWidget& d, int id) { return DialogItem<QLineEdit>(d, id); }
  std::vector<std::string> Texts() const
  {
    std::vector<std::string> texts;
    for (const auto& box : Presenter.Boxes) {
      EXPECT_EQ(box.Type, MB_OK | MB_ICONEXCLAMATION) << box.Text;
      texts.push_back(box.Caption + "|" + box.Text);
    }
    return texts;
  }

  TScratchStore Store;
  TRecordingPresenter Presenter;
  TComSetupXfer Xfer;
  std::int32_t LineLength = 0, DelayTime = 0, DelayChar = 0;
};

TEST_F(SetupDialogTest, TheRecordComesInAndOutAndTheHandshakeArrangesTheFourBoxes)
{
  Xfer.HandshakeData.SelectString("no");
  Xfer.SetDtrCheck = Xfer.UseCtsCheck = 1;   // a stored CTS check that "no" does not allow
  const int result = Run([](QWidget& d) {
    EXPECT_EQ(d.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint), 0) << "no close box";
    EXPECT_EQ(QApplication::focusWidget(), DialogItem(d, IDCANCEL)) << "the first tab stop has the focus";
    EXPECT_EQ(DialogItem<QAbstractButton>(d, IDCANCEL)->text(), "Abbruch");
    EXPECT_EQ(List(d, IDC_BAUDRATE)->currentText() + " " + List(d, IDC_PORT)->currentText(), "9600 COM 1");
    EXPECT_EQ(Field(d, IDC_LINELENGTH)->text() + "," + Field(d, IDC_DELAYTIME)->text(), "80,0");
    EXPECT_EQ(Field(d, IDC_DELAYCHAR)->text(), "44");
    // DTR, RTS, CTS, DSR: x checked, E enabled, D disabled.
    const auto state = [&d] {
      std::string s;
      for (const int id : {IDC_SETDTR, IDC_SETRTS, IDC_USECTS, IDC_USEDSR}) {
        auto* box = DialogItem<QCheckBox>(d, id);
        s += std::string(box->isChecked() ? "x" : "-") + (box->isEnabled() ? "E " : "D ");
      }
      return s;
    };
    EXPECT_EQ(state(), "xE -E -D -D ");
    Choose(d, IDC_HANDSHAKE, "Hardware");
    EXPECT_EQ(state(), "xD -D xD xD ");
    QTest::keyClick(List(d, IDC_HANDSHAKE), Qt::Key_Up);   // no
    EXPECT_EQ(state(), "xE -E -D -D ");
    QTest::keyClick(List(d, IDC_HANDSHAKE), Qt::Key_End);   // XOn / XOff, straight from "no"
    EXPECT_EQ(state(), "xE -E -E -E ");
    Click(d, IDC_USEDSR);
    Choose(d, IDC_HANDSHAKE, "Hardware");   // again: the disabled boxes keep what they had
    EXPECT_EQ(state(), "xD -D xD xD ");
    Click(d, IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(Xfer.HandshakeData.GetSelection(), "Hardware");
  EXPECT_EQ(std::vector<unsigned>({Xfer.SetDtrCheck, Xfer.SetRtsCheck, Xfer.UseCtsCheck, Xfer.UseDsrCheck}),
            (std::vector<unsigned> {1, 0, 1, 1}));   // disabled boxes are taken out too
}

TEST(SetupFraming, DataBitsThatDoNotGoWithTheStopBitsAreRefusedEachWithItsMessage)
{
  // Data bits 4 (none chosen) to 8 against stop bits 1, 1.5 and 2: the message, if any.
  std::vector<std::string> said;
  for (int data = 4; data <= 8; ++data)
    for (const int stop : {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS})
      said.push_back(LoadString(TComSetup::FramingRefusal(data, stop)));
  const std::string half = " Data Bits with 1,5 Stop Bits is not allowed!";
  EXPECT_EQ(said, (std::vector<std::string> {"", "", "", "", "", "5 Data Bits with 2 Stop Bits is not allowed!", "",
                                             "6" + half, "", "", "7" + half, "", "", "8" + half, ""}));
}

TEST_F(SetupDialogTest, NumberFieldsFilterTypingTakePasteAsItIsAndAreRefusedOutOfRangeWithTheFocus)
{
  // Field, text typed or pasted, what the field then holds, the message at OK (none: accepted),
  // and line length, delay time and delay character in the record then.
  const std::tuple<int, const char*, bool, const char*, std::string, const char*> cases[] = {
    {IDC_LINELENGTH, "", false, "", RangeLine, "80,0,44"},
    {IDC_LINELENGTH, "a+b7c", false, "+7", "", "+7,0,44"},        // only digits and plus
    {IDC_DELAYTIME, "12345x", false, "1234", "", "80,1234,44"},   // up to the field's limit
    {IDC_DELAYCHAR, "-1234", false, "123", "", "80,0,123"},
    {IDC_DELAYCHAR, "255", false, "255", "", "80,0,255"},
    // Pasted text goes in as it is; a wrong character in it gives the range message.
    {IDC_DELAYTIME, "5x", true, "5x", "Kalvix|Value is not in the range 0 to 9999.", "80,0,44"},
    {IDC_LINELENGTH, "12", true, "12", "", "12,0,44"},
  };
  for (const auto& [id, text, pasted, shown, message, stored] : cases) {
    SCOPED_TRACE(testing::Message() << id << " '" << text << "'" << (pasted ? " pasted" : ""));
    Reload();
    const int result = Run([&](QWidget& d) {
      Type(d, id, pasted ? "" : text);
      QApplication::clipboard()->setText(QString::fromUtf8(text));
      if (pasted)
        QTest::keyClick(Field(d, id), Qt::Key_V, Qt::ControlModifier);
      EXPECT_EQ(Field(d, id)->text(), QString::fromUtf8(shown));
      QTest::keyClick(Field(d, id), Qt::Key_Enter, Qt::KeypadModifier);   // Enter in a field is OK
      if (d.isVisible()) {                                                // refused: the focus stays
        EXPECT_EQ(QApplication::focusWidget(), Field(d, id));
        Click(d, IDCANCEL);
      }
    });
    EXPECT_EQ(result, message.empty() ? IDOK : IDCANCEL);
    EXPECT_EQ(Texts(), message.empty() ? std::vector<std::string> {} : std::vector<std::string> {message});
    EXPECT_EQ(std::string(Xfer.LineLengthText) + "," + Xfer.DelayTimeText + "," + Xfer.DelayCharText, stored);
  }
}

TEST_F(SetupDialogTest, AnInvalidFieldKeepsTheFocusAndEachOkReportsTheFirstInCreationOrderAndTheFormatBesides)
{
  Xfer.PortData.SelectString("COM1");            // stored texts that match no entry: nothing selected,
  Xfer.HandshakeData.SelectString("hardware");   // and the boxes left as the record has them
  const int result = Run([this](QWidget& d) {
    EXPECT_EQ(List(d, IDC_PORT)->currentIndex(), -1);
    EXPECT_TRUE(DialogItem(d, IDC_USECTS)->isEnabled() && DialogItem(d, IDC_SETDTR)->isEnabled());
    Type(d, IDC_LINELENGTH, "0");
    QTest::keyClick(Field(d, IDC_LINELENGTH), Qt::Key_Tab);
    ASSERT_EQ(Texts(), std::vector<std::string> {RangeLine});
    EXPECT_EQ(Presenter.Boxes[0].Owner, Field(d, IDC_LINELENGTH));
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_LINELENGTH));
    Type(d, IDC_LINELENGTH, "7");
    // By the mouse: reported only after the focus change, and once.
    Type(d, IDC_DELAYCHAR, "300");
    Click(d, IDC_DELAYTIME);
    EXPECT_EQ(Presenter.Boxes.size(), 1u);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_DELAYCHAR));
    QApplication::processEvents();
    EXPECT_EQ(Texts(), (std::vector<std::string> {RangeLine, RangeChar}));
    // Clicking OK from an invalid field is reported by the close check alone, one field per OK.
    Presenter.Boxes.clear();
    Field(d, IDC_DELAYCHAR)->setText("256");
    Type(d, IDC_LINELENGTH, "0");
    Click(d, IDOK);
    QApplication::processEvents();
    EXPECT_EQ(Texts(), std::vector<std::string> {RangeLine});
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_LINELENGTH));
    Type(d, IDC_LINELENGTH, "40");
    Click(d, IDOK);
    EXPECT_EQ(Texts(), (std::vector<std::string> {RangeLine, RangeChar}));
    EXPECT_EQ(QApplication::focusWidget(), Field(d, IDC_DELAYCHAR));
    Type(d, IDC_DELAYCHAR, "13");
    Presenter.Boxes.clear();
    Choose(d, IDC_DATABITS, "6 Bit");
    Choose(d, IDC_STOPBITS, "1.5 Bit");
    Type(d, IDC_LINELENGTH, "81");
    Click(d, IDOK);
    EXPECT_EQ(Texts(), (std::vector<std::string> {RangeLine, "|6 Data Bits with 1,5 Stop Bits is not allowed!"}));
    Presenter.Boxes.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);   // from the invalid field: nothing more said
    QApplication::processEvents();
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_TRUE(Presenter.Boxes.empty());
  EXPECT_STREQ(Xfer.LineLengthText, "80");
}

}   // namespace
