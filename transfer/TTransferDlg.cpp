#include "transfer/TTransferDlg.h"

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

const char* TTransferDlg::Title(TFileTransfer::TProtocol protocol, bool send)
{
  using enum TFileTransfer::TProtocol;
  switch (protocol) {
  case Raw:
    return "Send Raw File";
  case XModem:
    return send ? "Send with XMODEM" : "Receive with XMODEM";
  case YModem:
    return send ? "Send with YMODEM" : "Receive with YMODEM";
  }
  return "";
}

void TTransferDlg::ShowProgress(const TFileTransfer& transfer, double seconds)
{
  const std::string& path = transfer.Path();
  File.SetText(path.substr(path.find_last_of('/') + 1));
  Protocol.SetText(Title(transfer.Protocol(), transfer.IsSend()));
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

void TTransferDlg::CmCancel()
{
  if (TWindow* parent = GetParent())
    ::SendMessage(parent, WM_COMMAND, MakeWParam(CM_CANCELTRANSFER, 0), 0);
}
