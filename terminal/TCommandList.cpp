#include "terminal/TCommandList.h"

#include "framework/TComboBox.h"
#include "resources/ResourceIds.h"

TCommandList::TCommandList(TWindow* parent, TCommandListXfer* xfer)
  : TDialog(parent, IDD_COMMANDLIST), Commands(new TComboBox(this, IDC_COMMANDS))
{
  SetTransferBuffer({&xfer->Commands});
}

TCommandList::~TCommandList()
{
  Destroy();
  delete Commands;
}
