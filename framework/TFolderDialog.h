#pragma once
// The dialog that asks for a folder, which must exist, shown through the presenter.
#include "framework/TOpenSaveDialog.h"

class TFolderDialog : public TOpenSaveDialog {
public:
  TFolderDialog(TWindow* parent, TData& data, const char* title) : TOpenSaveDialog(parent, data, title) {}
  // IDOK with Data.FileName set to the chosen folder, or IDCANCEL with Data unchanged.
  int Execute() { return Ask(TAsk::Folder); }
};
