#include "terminal/TCommandList.h"

#include "resources/ResourceIds.h"

TCommandList::TCommandList(TWindow* parent, TCommandListXfer* xfer)
  : TDialog(parent, IDD_COMMANDLIST), Commands(this, IDC_COMMANDS)
{
  SetTransferBuffer({&xfer->Commands});
}
