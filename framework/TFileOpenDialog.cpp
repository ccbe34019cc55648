#include "framework/TFileOpenDialog.h"

#include "framework/TPresenter.h"
#include "framework/TWindow.h"
#include "framework/WindowMessages.h"

TFileOpenDialog::TFileOpenDialog(TWindow* parent, TData& data, const char* title)
  : Parent(parent), Data(data), Title(title ? title : "")
{
}

int TFileOpenDialog::Execute()
{
  TData answer = Data;
  if (!TPresenter::Current().OpenFileName(Parent ? Parent->GetWidget() : nullptr, Title, answer))
    return IDCANCEL;
  Data = answer;
  return IDOK;
}
