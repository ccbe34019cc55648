// Binding controls to a dialog's template, and a child dialog and its fields.
#include "framework/ResourceLoader.h"
#include "framework/TButton.h"
#include "framework/TCheckBox.h"
#include "framework/TComboBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// The test's own dialog, handed to the framework as a program hands its resources over.
enum { IDD_FORM = 1, IDC_FIELD = 101, IDC_LINES, IDC_ON, IDC_LIST };
constexpr TControlTemplate FormControls[] = {
  {IDC_FIELD, TControlKind::Edit, "", 4, 4, 80, 12, ControlStyle::Visible},
  {IDC_LINES, TControlKind::Edit, "", 4, 20, 80, 40, ControlStyle::Visible | ControlStyle::MultiLine},
  {IDC_ON, TControlKind::CheckBox, "On", 90, 4, 40, 12, ControlStyle::Visible},
  {IDC_LIST, TControlKind::ComboBox, "", 90, 20, 40, 60, ControlStyle::Visible},
};
constexpr TDialogTemplate Dialogs[] = {{IDD_FORM, "Form", "Sans", 8, 140, 70, FormControls}};

int main(int argc, char** argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  UseResources({.Dialogs = Dialogs});
  return RUN_ALL_TESTS();
}

TEST(Dialog, AControlMissingFromTheTemplateOrOfAnotherKindIsRefusedAndSoIsTheDialog)
{
  // Bound to a template control it cannot drive, a control would be dead.
  using TMake = std::function<std::unique_ptr<TControl>(TWindow*, int)>;
  const TMake edit = [](TWindow* p, int id) { return std::make_unique<TEdit>(p, id); };
  const std::tuple<int, int, TMake> wrong[] = {
    {31999, IDC_FIELD, edit},   // no such template
    {IDD_FORM, 4711, edit},
    {IDD_FORM, IDC_ON, edit},
    {IDD_FORM, IDC_FIELD, [](TWindow* p, int id) { return std::make_unique<TButton>(p, id); }},
    {IDD_FORM, IDC_ON, [](TWindow* p, int id) { return std::make_unique<TComboBox>(p, id); }},
    {IDD_FORM, IDC_LIST, [](TWindow* p, int id) { return std::make_unique<TCheckBox>(p, id); }},
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
  TDialog client(&frame, IDD_FORM);
  TEdit send(&client, IDC_FIELD);
  TEdit receive(&client, IDC_LINES, 11);   // ten characters, a line break counting two
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
