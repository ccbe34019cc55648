// Dialogs from templates: layout by the font's dialog units, binding, transfer, closing, and
// the range validator of the number fields.
#include "framework/TButton.h"
#include "framework/TCheckBox.h"
#include "framework/TComboBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TRangeValidator.h"
#include "framework/TStatic.h"
#include "resources/ResourceIds.h"
#include "tests/support/ModalDialog.h"
#include "tests/support/RecordingPresenter.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

TEST(Dialog, TemplateControlsTakeTheirPlacesInTheFontsDialogUnitsAndTheFirstLiesOnTop)
{
  TDialog dialog(nullptr, IDD_CLIENT);
  ASSERT_TRUE(dialog.Create());
  QWidget* widget = dialog.GetWidget();
  // The template's 8-point face as it resolves here: a unit is 7/4 pixel across, 13/8 down.
  ASSERT_EQ(QFontInfo(dialog.DialogFont()).family(), "DejaVu Sans");
  EXPECT_EQ(widget->size(), QSize(705, 257));
  const std::pair<int, QRect> places[] = {{IDC_SENDTEXT, {0, 42, 609, 23}}, {IDC_STOP, {611, 41, 91, 26}},
                                          {IDC_LED_DTR, {21, 7, 28, 23}},   {IDC_RECEIVE, {0, 70, 707, 189}}};
  for (const auto& [id, place] : places)
    EXPECT_EQ(DialogItem(*widget, id)->geometry(), place) << id;
  // Qt lists children bottom to top.
  EXPECT_EQ(widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).back(), DialogItem(*widget, IDC_SENDTEXT));
  auto* receive = qobject_cast<QPlainTextEdit*>(DialogItem(*widget, IDC_RECEIVE));
  EXPECT_TRUE(receive->isReadOnly() && !receive->isUndoRedoEnabled());
  EXPECT_EQ(receive->lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST(Dialog, AControlMissingFromTheTemplateOrOfAnotherKindIsRefusedAndSoIsTheDialog)
{
  TDialog missing(nullptr, 31999);
  EXPECT_FALSE(missing.Create());
  EXPECT_EQ(missing.Execute(), -1);
  // Bound to a template control it cannot drive, a control would be dead.
  using TMake = std::function<std::unique_ptr<TControl>(TWindow*, int)>;
  const TMake edit = [](TWindow* p, int id) { return std::make_unique<TEdit>(p, id); };
  const std::tuple<int, int, TMake> wrong[] = {
    {IDD_CLIENT, 4711, edit},
    {IDD_CLIENT, IDC_SEND, edit},
    {IDD_CLIENT, IDC_SENDTEXT, [](TWindow* p, int id) { return std::make_unique<TButton>(p, id); }},
    {IDD_CLIENT, IDC_RECEIVE, [](TWindow* p, int id) { return std::make_unique<TStatic>(p, id); }},
    {IDD_SETUP, IDC_SETDTR, [](TWindow* p, int id) { return std::make_unique<TComboBox>(p, id); }},
    {IDD_SETUP, IDC_PORT, [](TWindow* p, int id) { return std::make_unique<TCheckBox>(p, id); }},
  };
  for (const auto& [dialogId, id, make] : wrong) {
    TDialog dialog(nullptr, dialogId);
    const std::unique_ptr<TControl> control = make(&dialog, id);
    EXPECT_FALSE(dialog.Create()) << id;
    EXPECT_FALSE(control->IsCreated()) << id;
  }
}

TEST(Dialog, TransferTakesFieldsInCreationOrderInAtSetUpOutAtOkAndNotAtCancel)
{
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    struct {
      char Second[6] = "abc";
      char First[81] = "first";
    } record;
    TDialog dialog(nullptr, IDD_CLIENT);
    TEdit send(&dialog, IDC_SENDTEXT, sizeof record.Second);   // creation order, not template order
    TEdit receive(&dialog, IDC_RECEIVE, sizeof record.First);
    std::uint32_t notText = 7;
    dialog.SetTransferBuffer({std::span<char>(record.Second), std::span<char>(record.First), &notText});
    QTimer::singleShot(0, [&] {
      EXPECT_EQ(send.GetText() + "|" + receive.GetText(), "abc|first");
      send.SetText("0123456789");   // more than the 5 characters the field holds
      receive.SetText("line 1\r\nline 2");
      QTest::keyClick(send.GetWidget(), key);
    });
    const bool ok = key == Qt::Key_Return;
    EXPECT_EQ(dialog.Execute(), ok ? IDOK : IDCANCEL);
    EXPECT_EQ(std::string(record.Second) + "|" + record.First, ok ? "01234|line 1\r\nline 2" : "abc|first");
    EXPECT_EQ(notText, 7u);
    EXPECT_FALSE(dialog.IsCreated());
  }
}

TEST(Dialog, AsAChildWindowItIsPartOfItsParentAndOkTakesItsControlsAlong)
{
  TWindow frame(nullptr, "Frame");
  TDialog client(&frame, IDD_CLIENT);
  TEdit send(&client, IDC_SENDTEXT);
  ASSERT_TRUE(frame.Create());
  frame.Show(SW_SHOW);
  EXPECT_FALSE(client.GetWidget()->isWindow());
  EXPECT_TRUE(client.GetWidget()->isVisible());
  QTest::keyClick(send.GetWidget(), Qt::Key_Return);   // the framework's own IDOK: the frame stays
  EXPECT_FALSE(client.IsCreated());
  EXPECT_FALSE(send.IsCreated());
  EXPECT_TRUE(frame.IsCreated());
}

TEST(RangeValidator, TypingTakesDigitsAndSignsAndClosingTakesValuesInRange)
{
  // Range, text, accepted while typing, accepted at closing.
  const std::tuple<int, int, const char*, bool, bool> cases[] = {
    {1, 80, "", true, false},    {1, 80, "+07", true, true},  {1, 80, "-1", false, false},  {1, 80, "1a", false, false},
    {1, 80, " 1", false, false}, {1, 80, "80", true, true},   {1, 80, "81", true, false},   {1, 80, "0", true, false},
    {1, 80, "7+", true, true},  {1, 80, "++1", true, false}, {1, 80, "5x", false, false}, {-5, 5, "-5", true, true},
    {-5, 5, "-6", true, false},  {0, 9999, "", true, true},
  };
  for (const auto& [min, max, text, typing, closing] : cases) {
    EXPECT_EQ(TRangeValidator(min, max).IsValidInput(text), typing) << min << " " << text;
    EXPECT_EQ(TRangeValidator(min, max).IsValid(text), closing) << min << " " << text;
  }
  EXPECT_EQ(TRangeValidator::Value("-12x3"), -12);
  EXPECT_EQ(TRangeValidator::Value("99999999999"), 2147483647);
  EXPECT_EQ(TRangeValidator::Value("-99999999999"), -2147483647 - 1);
}

TEST(RangeValidator, ARefusedKeystrokeKeepsTheSelectionAndADisabledFieldDoesNotStopClosing)
{
  TRecordingPresenter presenter;
  TDialog dialog(nullptr, IDD_SETUP);
  TEdit field(&dialog, IDC_DELAYTIME, 5);
  field.SetValidator(new TRangeValidator(1, 80));
  ASSERT_TRUE(dialog.Create());
  dialog.Show(SW_SHOW);
  field.SetText("12");
  auto* line = static_cast<QLineEdit*>(field.GetWidget());
  line->setSelection(0, 1);
  QTest::keyClick(line, Qt::Key_X);
  EXPECT_EQ(field.GetText() + "|" + line->selectedText().toStdString(), "12|1");
  QTest::keyClicks(line, "+345");   // replaces the selection; the fifth character does not fit
  EXPECT_EQ(field.GetText(), "+342");
  EXPECT_FALSE(dialog.CanClose());
  EXPECT_EQ(presenter.Boxes.size(), 1u);
  field.EnableWindow(false);
  EXPECT_TRUE(dialog.CanClose());
  EXPECT_EQ(presenter.Boxes.size(), 1u);
}
