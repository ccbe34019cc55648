#pragma once
// The dialog that asks for a file to write, which need not exist yet, shown through the presenter.
#include "framework/TOpenSaveDialog.h"

class TFileSaveDialog : public TOpenSaveDialog {
public:
  TFileSaveDialog(TWindow* parent, TData& data, const char* title) : TOpenSaveDialog(parent, data, title) {}
  // IDOK with Data.FileName and Data.FilterIndex set to the choice, or IDCANCEL with Data unchanged.
  int Execute() { return Ask(TAsk::Save); }
};
