#include "framework/TOpenSaveDialog.h"

#include "framework/TPresenter.h"
#include "framework/TWindow.h"
#include "framework/WindowMessages.h"

TOpenSaveDialog::TOpenSaveDialog(TWindow* parent, TData& data, const char* title)
  : Parent(parent), Data(data), Title(title ? title : "")
{}

int TOpenSaveDialog::Ask(bool save)
{
  TData answer = Data;
  TPresenter& presenter = TPresenter::Current();
  QWidget* owner = Parent ? Parent->GetWidget() : nullptr;
  if (!(save ? presenter.SaveFileName(owner, Title, answer) : presenter.OpenFileName(owner, Title, answer)))
    return IDCANCEL;
  Data = answer;
  return IDOK;
}
