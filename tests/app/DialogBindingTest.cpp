// Every dialog of the program, created for real: each control object is bound to the template
// control of its id, and every template control the program refers to has its object. A
// control left without its widget would be dead.
#include "app/TKalvixAboutDlg.h"
#include "resources/ResourceTypes.h"
#include "settings/TComSetup.h"
#include "terminal/TCommandList.h"
#include "terminal/TKalvixDlgClient.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>
#include <set>

TEST(DialogBinding, EveryControlOfEveryDialogIsBoundToItsTemplateControl)
{
  TScratchStore store;
  store.LinkPort(1, "loopback");
  TRecordingPresenter presenter;
  TComSetupXfer settings;
  TCommandListXfer commands;
  TKalvixDlgClient client(nullptr);
  TComSetup setup(nullptr, settings);
  TCommandList list(nullptr, &commands);
  TKalvixAboutDlg about(nullptr);
  for (TDialog* dialog : {static_cast<TDialog*>(&client), static_cast<TDialog*>(&setup), static_cast<TDialog*>(&list),
                          static_cast<TDialog*>(&about)}) {
    SCOPED_TRACE(dialog->GetResourceId());
    ASSERT_TRUE(dialog->Create());
    std::set<int> bound;
    for (TWindow* control : dialog->GetChildren()) {
      ASSERT_TRUE(control->IsCreated()) << control->GetId();
      EXPECT_EQ(control->GetWidget()->parentWidget(), dialog->GetWidget());
      EXPECT_EQ(control->GetWidget()->property("controlId").toInt(), control->GetId());
      EXPECT_TRUE(bound.insert(control->GetId()).second) << "bound twice: " << control->GetId();
    }
    // OK and Cancel are the dialog's own; labels and frames have no id.
    std::set<int> referred;
    for (const TControlTemplate& item : FindDialogTemplate(dialog->GetResourceId())->Controls)
      if (item.Id != IDC_NONE && item.Id != IDOK && item.Id != IDCANCEL)
        referred.insert(item.Id);
    EXPECT_EQ(bound, referred);
    dialog->Destroy();
  }
  EXPECT_TRUE(presenter.Boxes.empty());
}
