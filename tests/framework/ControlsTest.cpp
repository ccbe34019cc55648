// Drop-down lists, check boxes and the range validator on the controls of template 1.
#include "framework/TCheckBox.h"
#include "framework/TComboBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TRangeValidator.h"
#include "resources/ResourceIds.h"
#include "tests/support/RecordingPresenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class TNotified : public TDialog {
public:
  using TDialog::TDialog;
  int Choices = 0;
  int Clicks = 0;

protected:
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnNotify<&TNotified::Chosen>(IDC_PORT, CBN_SELCHANGE),
      OnNotify<&TNotified::Clicked>(IDC_SETDTR, BN_CLICKED),
    };
    static const TResponseTable table {&TDialog::Responses(), entries};
    return table;
  }

private:
  void Chosen() { ++Choices; }
  void Clicked() { ++Clicks; }
};
}

TEST(ComboBox, TransferRebuildsTheListAndBringsBackEntriesPositionAndText)
{
  TComboBoxData data;
  for (const char* entry : {"COM 1", "COM 2", "COM 3"})
    data.AddString(entry);
  data.SelectString("COM 3");
  std::uint32_t check = 0;
  TNotified dialog(nullptr, IDD_SETUP);
  TComboBox port(&dialog, IDC_PORT, 80);
  dialog.SetTransferBuffer({&data, &check});   // a field of another kind: left alone
  ASSERT_TRUE(dialog.Create());
  dialog.Show(SW_SHOW);
  auto* list = qobject_cast<QComboBox*>(port.GetWidget());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(port.GetCount(), 3);
  EXPECT_EQ(port.GetSelIndex(), 2);
  EXPECT_EQ(list->currentText(), "COM 3");
  EXPECT_FALSE(list->isEditable());

  // The program's selecting notifies nothing; the user's choice does.
  port.SetSelIndex(0);
  EXPECT_EQ(dialog.Choices, 0);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(dialog.Choices, 1);
  EXPECT_EQ(port.GetSelIndex(), 1);
  dialog.TransferData(TTransferDirection::GetData);
  EXPECT_EQ(data.GetSelIndex(), 1);
  EXPECT_EQ(data.GetSelection(), "COM 2");
  EXPECT_EQ(data.GetStrings().size(), 3u);

  // No entry matched the stored text: the list shows none and gives back -1 and no text.
  data.SelectString("COM1");
  dialog.TransferData(TTransferDirection::SetData);
  EXPECT_EQ(port.GetSelIndex(), -1);
  EXPECT_EQ(list->currentText(), "");
  dialog.TransferData(TTransferDirection::GetData);
  EXPECT_EQ(data.GetSelIndex(), -1);
  EXPECT_EQ(data.GetSelection(), "");
  port.SetSelIndex(7);
  EXPECT_EQ(port.GetSelIndex(), -1);
  EXPECT_EQ(port.GetString(7), "");
  EXPECT_EQ(port.GetString(1), "COM 2");
}

TEST(ComboBox, ADroppedListShowsTheEntriesThatFitItsTemplateHeight)
{
  TDialog dialog(nullptr, IDD_SETUP);
  TComboBox baud(&dialog, IDC_BAUDRATE);
  ASSERT_TRUE(dialog.Create());
  auto* list = qobject_cast<QComboBox*>(baud.GetWidget());
  const QRect full(35, 78, 133, 228);   // the template's rectangle in its font
  EXPECT_EQ(list->geometry().topLeft(), full.topLeft());
  EXPECT_EQ(list->width(), full.width());
  EXPECT_LT(list->height(), full.height() / 4);   // closed: only its face
  // 140 units hold all fifteen baud rates, as the original list shows them.
  EXPECT_GE(list->maxVisibleItems(), 15);
}

TEST(CheckBox, AClickTogglesAndNotifiesAndEveryBoxTransfersItsStateEvenDisabled)
{
  std::uint32_t dtr = 5, rts = 1;   // any non-zero state checks
  TNotified dialog(nullptr, IDD_SETUP);
  TCheckBox setDtr(&dialog, IDC_SETDTR);
  TCheckBox setRts(&dialog, IDC_SETRTS);
  dialog.SetTransferBuffer({&dtr, &rts});
  ASSERT_TRUE(dialog.Create());
  dialog.Show(SW_SHOW);
  EXPECT_EQ(setDtr.GetCheck(), BF_CHECKED);
  EXPECT_EQ(setDtr.GetWidget()->property("controlId").toInt(), IDC_SETDTR);
  QTest::mouseClick(setDtr.GetWidget(), Qt::LeftButton);
  EXPECT_EQ(setDtr.GetCheck(), BF_UNCHECKED);
  EXPECT_EQ(dialog.Clicks, 1);
  setRts.EnableWindow(false);
  QTest::mouseClick(setRts.GetWidget(), Qt::LeftButton);
  EXPECT_EQ(setRts.GetCheck(), BF_CHECKED);
  dialog.TransferData(TTransferDirection::GetData);
  EXPECT_EQ(dtr, 0u);
  EXPECT_EQ(rts, 1u);
}

TEST(RangeValidator, TypingTakesDigitsAndSignsAndClosingTakesValuesInRange)
{
  const TRangeValidator positive(1, 80);
  EXPECT_TRUE(positive.IsValidInput(""));
  EXPECT_TRUE(positive.IsValidInput("+07"));
  EXPECT_FALSE(positive.IsValidInput("-1"));   // no minus with a minimum of 0 or more
  EXPECT_FALSE(positive.IsValidInput("1a"));
  EXPECT_FALSE(positive.IsValidInput(" 1"));
  EXPECT_TRUE(positive.IsValid("+7"));
  EXPECT_TRUE(positive.IsValid("80"));
  EXPECT_TRUE(positive.IsValid("7+"));   // the value ends at the first other character
  EXPECT_FALSE(positive.IsValid(""));    // empty is 0
  EXPECT_FALSE(positive.IsValid("0"));
  EXPECT_FALSE(positive.IsValid("81"));
  EXPECT_FALSE(positive.IsValid("++1"));
  EXPECT_FALSE(positive.IsValid("5x"));   // a pasted letter fails the closing check too

  const TRangeValidator signedRange(-5, 5);
  EXPECT_TRUE(signedRange.IsValidInput("-3"));
  EXPECT_TRUE(signedRange.IsValid("-5"));
  EXPECT_FALSE(signedRange.IsValid("-6"));
  EXPECT_TRUE(TRangeValidator(0, 9999).IsValid(""));

  EXPECT_EQ(TRangeValidator::Value("-12x3"), -12);
  EXPECT_EQ(TRangeValidator::Value("+"), 0);
  EXPECT_EQ(TRangeValidator::Value("99999999999"), 2147483647);
  EXPECT_EQ(TRangeValidator::Value("-99999999999"), -2147483647 - 1);
}

TEST(RangeValidator, TheReportIsOwnedByTheFieldAndNamesTheRange)
{
  TRecordingPresenter presenter;
  QCoreApplication::setApplicationName("Kalvix");
  TDialog dialog(nullptr, IDD_SETUP);
  TEdit field(&dialog, IDC_LINELENGTH, 3);
  ASSERT_TRUE(dialog.Create());
  TRangeValidator(-20, 255).Error(field);
  ASSERT_EQ(presenter.Boxes.size(), 1u);
  EXPECT_EQ(presenter.Boxes[0].Owner, field.GetWidget());
  EXPECT_EQ(presenter.Boxes[0].Text, "Value is not in the range -20 to 255.");
  EXPECT_EQ(presenter.Boxes[0].Caption, "Kalvix");
  EXPECT_EQ(presenter.Boxes[0].Type, MB_OK | MB_ICONEXCLAMATION);
}

TEST(RangeValidator, ARefusedKeystrokeLeavesTextAndSelectionAsTheyWere)
{
  TDialog dialog(nullptr, IDD_SETUP);
  TEdit field(&dialog, IDC_DELAYTIME, 5);
  field.SetValidator(new TRangeValidator(0, 9999));
  ASSERT_TRUE(dialog.Create());
  dialog.Show(SW_SHOW);
  auto* line = qobject_cast<QLineEdit*>(field.GetWidget());
  line->setFocus();
  QTest::keyClicks(line, "1a2-b");
  EXPECT_EQ(field.GetText(), "12");
  line->setSelection(0, 1);
  QTest::keyClick(line, Qt::Key_X);
  EXPECT_EQ(field.GetText(), "12");
  EXPECT_EQ(line->selectedText(), "1");
  EXPECT_EQ(line->cursorPosition(), 1);
  QTest::keyClicks(line, "+345");   // replaces the selection; the fifth character does not fit
  EXPECT_EQ(field.GetText(), "+342");
}

TEST(RangeValidator, ADisabledFieldDoesNotStopTheDialogFromClosing)
{
  TRecordingPresenter presenter;
  TDialog dialog(nullptr, IDD_SETUP);
  TEdit field(&dialog, IDC_LINELENGTH, 3);
  field.SetValidator(new TRangeValidator(1, 80));
  ASSERT_TRUE(dialog.Create());
  field.SetText("0");
  EXPECT_FALSE(dialog.CanClose());
  EXPECT_EQ(presenter.Boxes.size(), 1u);
  field.EnableWindow(false);
  EXPECT_TRUE(dialog.CanClose());
  EXPECT_EQ(presenter.Boxes.size(), 1u);
}
