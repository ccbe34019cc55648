#pragma once
// The command-list dialog: the entries of the loaded command file, one to choose or a text to
// type, moved in and out through the command-list record.
#include "framework/TComboBox.h"
#include "framework/TDialog.h"
#include "terminal/TCommandListXfer.h"

class TCommandList : public TDialog {
public:
  TCommandList(TWindow* parent, TCommandListXfer* xfer);
  // Open Command File: asks for a command file and loads its entries into xfer.
  static void OpenFile(TWindow* parent, TCommandListXfer& xfer);

private:
  TComboBox Commands;
};
