// Binding controls to a dialog's template, a child dialog and its fields, a disabled field at closing.
#include "framework/TButton.h"
#include "framework/TCheckBox.h"
#include "framework/TComboBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TRangeValidator.h"
#include "resources/ResourceIds.h"
#include "tests/support/RecordingPresenter.h"

#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

TEST(Dialog, AControlMissingFromTheTemplateOrOfAnotherKindIsRefusedAndSoIsTheDialog)
{
  // Bound to a template control it cannot drive, a control would be dead.
  using TMake = std::function<std::unique_ptr<TControl>(TWindow*, int)>;
  const TMake edit = [](TWindow* p, int id) { return std::make_unique<TEdit>(p, id); };
  const std::tuple<int, int, TMake> wrong[] = {
    {31999, IDC_SENDTEXT, edit},   // no such template
    {IDD_CLIENT, 4711, edit},
    {IDD_CLIENT, IDC_SEND, edit},
    {IDD_CLIENT, IDC_SENDTEXT, [](TWindow* p, int id) { return std::make_unique<TButton>(p, id); }},
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

TEST(Dialog, AChildDialogEndedByOkTakesItsControlsWindowsAlongAndLeavesItsParent)
{
  TWindow frame(nullptr, "Frame");
  TDialog client(&frame, IDD_CLIENT);
  TEdit send(&client, IDC_SENDTEXT);
  TEdit receive(&client, IDC_RECEIVE, 11);   // ten characters, a line break counting two
  ASSERT_TRUE(frame.Create());
  frame.Show(SW_SHOW);
  SendMessage(&client, WM_COMMAND, MakeWParam(IDOK, EN_CHANGE), 0);   // a notification is no command
  ASSERT_TRUE(client.IsCreated() && !client.GetWidget()->isWindow());
  receive.Insert("123456789\r\n");   // the break does not fit whole and is left out
  EXPECT_EQ(receive.GetText(), "123456789");
  QTest::keyClick(send.GetWidget(), Qt::Key_Return);   // the framework's own IDOK
  EXPECT_FALSE(client.IsCreated() || send.IsCreated());
  EXPECT_TRUE(frame.IsCreated());
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
  field.EnableWindow(false);
  EXPECT_TRUE(dialog.CanClose());
  EXPECT_EQ(presenter.Boxes.size(), 1u);
}
