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
  QWidget* owner = Parent ? Parent->GetWidget() : nullptr;
  if (!TPresenter::Current().FileName(owner, Title, what, answer))
    return IDCANCEL;
  Data = answer;
  return IDOK;
}
