#pragma once
// The transfer window: a modeless window beside the main window that shows how a file transfer
// goes (the file, the protocol, the bytes done of the whole with a bar, the rate and the
// retries) and offers Cancel, which its parent, the terminal window, takes as
// CM_CANCELTRANSFER. Its owner destroys it once the transfer is over.
#include "framework/TDialog.h"
#include "framework/TProgressBar.h"
#include "framework/TStatic.h"
#include "transfer/TTransferRun.h"

#include <memory>

class TTransferDlg : public TDialog {
public:
  explicit TTransferDlg(TWindow* parent);

  // Shows where transfer stands, seconds after it started.
  void ShowProgress(const TFileTransfer& transfer, double seconds);
  // A transfer's start: asks for what it takes (a file to send, a file to receive into,
  // replacing one only after the dialog's question, or for YMODEM receive a folder), starts run
  // with it and opens its window. Null when nothing was chosen, or the start failed and a box
  // said why.
  static std::unique_ptr<TTransferDlg> Start(TWindow* owner, TTransferRun& run, TTransferRun::TProtocol protocol,
                                             bool send);

protected:
  const TResponseTable& Responses() const override;
  // Cancel, Escape and the close box: the transfer is cancelled; the window stays until the
  // transfer has put out its abort and ended.
  void CmCancel();

private:
  TStatic File;
  TStatic Protocol;
  TStatic Bytes;
  TProgressBar Progress;
  TStatic Rate;
  TStatic Retries;
};
