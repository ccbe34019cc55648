#pragma once
// The dialog that asks for a file to open, shown through the presenter.
#include "framework/TOpenSaveDialog.h"

class TFileOpenDialog : public TOpenSaveDialog {
public:
  TFileOpenDialog(TWindow* parent, TData& data, const char* title) : TOpenSaveDialog(parent, data, title) {}
  // IDOK with Data.FileName set to the chosen file, or IDCANCEL with Data unchanged.
  int Execute() { return Ask(TAsk::Open); }
};
