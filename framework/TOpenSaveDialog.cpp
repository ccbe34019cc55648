#include "framework/TOpenSaveDialog.h"

#include "framework/TPresenter.h"
#include "framework/TWindow.h"
#include "framework/WindowMessages.h"

TOpenSaveDialog::TOpenSaveDialog(TWindow* parent, TData& data, const char* title)
  : Parent(parent), Data(data), Title(title ? title : "")
{}

int TOpenSaveDialog::Ask(TAsk what)
{
  TData answer = Data;
  TPresenter& presenter = TPresenter::Current();
  QWidget* owner = Parent ? Parent->GetWidget() : nullptr;
  const bool chosen = what == TAsk::Save     ? presenter.SaveFileName(owner, Title, answer)
                      : what == TAsk::Folder ? presenter.FolderName(owner, Title, answer)
                                             : presenter.OpenFileName(owner, Title, answer);
  if (!chosen)
    return IDCANCEL;
  Data = answer;
  return IDOK;
}
