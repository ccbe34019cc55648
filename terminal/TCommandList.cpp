#include "terminal/TCommandList.h"

#include "framework/TFileOpenDialog.h"
#include "resources/ResourceIds.h"

TCommandList::TCommandList(TWindow* parent, TCommandListXfer* xfer)
  : TDialog(parent, IDD_COMMANDLIST), Commands(this, IDC_COMMANDS)
{
  SetTransferBuffer({&xfer->Commands});
}

void TCommandList::OpenFile(TWindow* parent, TCommandListXfer& xfer)
{
  TOpenSaveDialog::TData data;
  data.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  data.Filter = "dat - Dateien (*.dat)|*.dat|All Files (*.*)|*.*|";
  data.FilterIndex = 1;
  data.DefExt = "dat";
  if (TFileOpenDialog(parent, data, "Read Command File").Execute() == IDOK)
    xfer.Load(data.FileName);
}
