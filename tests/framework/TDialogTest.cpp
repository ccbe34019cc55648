// Binding controls to a dialog's template, on a dialog of the test's own.
#include "framework/ResourceLoader.h"
#include "framework/TButton.h"
#include "framework/TCheckBox.h"
#include "framework/TComboBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

// The test's own dialog, handed to the framework as a program hands its resources over.
enum { IDD_FORM = 1, IDC_FIELD = 101, IDC_ON, IDC_LIST };
constexpr TControlTemplate FormControls[] = {
  {IDC_FIELD, TControlKind::Edit, "", 4, 4, 80, 12, ControlStyle::Visible},
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
