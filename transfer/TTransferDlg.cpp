#include "transfer/TTransferDlg.h"

#include "framework/TFileOpenDialog.h"
#include "framework/TFileSaveDialog.h"
#include "framework/TFolderDialog.h"
#include "resources/ResourceIds.h"

#include <algorithm>
#include <cmath>
#include <string>

TTransferDlg::TTransferDlg(TWindow* parent)
  : TDialog(parent, IDD_TRANSFER),
    File(this, IDC_TRANSFER_FILE),
    Protocol(this, IDC_TRANSFER_PROTOCOL),
    Bytes(this, IDC_TRANSFER_BYTES),
    Progress(this, IDC_TRANSFER_PROGRESS),
    Rate(this, IDC_TRANSFER_RATE),
    Retries(this, IDC_TRANSFER_RETRIES)
{}

const TResponseTable& TTransferDlg::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TTransferDlg::CmCancel>(IDCANCEL),
  };
  static const TResponseTable table {&TDialog::Responses(), entries};
  return table;
}

void TTransferDlg::ShowProgress(const TFileTransfer& transfer, double seconds)
{
  const std::string& path = transfer.Path();
  File.SetText(path.substr(path.find_last_of('/') + 1));
  Protocol.SetText(TTransferRun::Title(transfer.Protocol(), transfer.IsSend()));
  const std::int64_t size = transfer.FileSize();
  const std::uint64_t done = transfer.FileDone();
  Bytes.SetText(std::to_string(done) + (size >= 0 ? " of " + std::to_string(size) : std::string()) + " bytes");
  Progress.SetValue(
    size < 0    ? -1
    : size == 0 ? TProgressBar::Full
                : int(std::min<std::uint64_t>(done, std::uint64_t(size)) * TProgressBar::Full / std::uint64_t(size)));
  Rate.SetText(seconds > 0 ? std::to_string(std::llround(double(transfer.TotalDone()) / seconds)) + " bytes/s" : "");
  Retries.SetText(std::to_string(transfer.Retries()));
}

std::unique_ptr<TTransferDlg> TTransferDlg::Start(TWindow* owner, TTransferRun& run, TTransferRun::TProtocol protocol,
                                                  bool send)
{
  TOpenSaveDialog::TData data;
  data.Flags = OFN_HIDEREADONLY | (send ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT);
  data.Filter = "All Files (*.*)|*.*|";
  const char* title = TTransferRun::Title(protocol, send);
  // YMODEM's sender names the files: a folder is all it needs.
  const int chosen = send                                          ? TFileOpenDialog(owner, data, title).Execute()
                     : protocol == TTransferRun::TProtocol::YModem ? TFolderDialog(owner, data, title).Execute()
                                                                   : TFileSaveDialog(owner, data, title).Execute();
  if (chosen != IDOK)
    return nullptr;
  if (const std::string refusal = run.Start(protocol, send, data.FileName, TTransferRun::TClock::now());
      !refusal.empty()) {
    owner->MessageBox(refusal.c_str(), "Kalvix", MB_OK | MB_ICONEXCLAMATION);
    return nullptr;
  }
  auto window = std::make_unique<TTransferDlg>(owner);
  if (window->Create())
    window->Show(SW_SHOW);
  window->ShowProgress(run.Engine(), 0);
  return window;
}

void TTransferDlg::CmCancel()
{
  if (TWindow* parent = GetParent())
    ::SendMessage(parent, WM_COMMAND, MakeWParam(CM_CANCELTRANSFER, 0), 0);
}
