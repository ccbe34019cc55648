#include "settings/TComSetup.h"

#include "framework/ResourceLoader.h"
#include "framework/TRangeValidator.h"
#include "settings/PortSettings.h"

#include <iterator>

namespace {
constexpr UINT ListTextLimit = 80;
}

TComSetup::TComSetup(TWindow* parent, TComSetupXfer& xfer, int resourceId)
  : TDialog(parent, resourceId),
    BaudRate(this, IDC_BAUDRATE, ListTextLimit),
    Port(this, IDC_PORT, ListTextLimit),
    DataBits(this, IDC_DATABITS, ListTextLimit),
    Handshake(this, IDC_HANDSHAKE, ListTextLimit),
    Parity(this, IDC_PARITY, ListTextLimit),
    SetDtr(this, IDC_SETDTR),
    SetRts(this, IDC_SETRTS),
    StopBits(this, IDC_STOPBITS, ListTextLimit),
    UseCts(this, IDC_USECTS),
    UseDsr(this, IDC_USEDSR),
    LineLength(this, IDC_LINELENGTH, sizeof xfer.LineLengthText),
    DelayChar(this, IDC_DELAYCHAR, sizeof xfer.DelayCharText),
    DelayTime(this, IDC_DELAYTIME, sizeof xfer.DelayTimeText)
{
  LineLength.SetValidator(new TRangeValidator(MinLineLength, MaxLineLength));
  DelayChar.SetValidator(new TRangeValidator(MinDelayChar, MaxDelayChar));
  DelayTime.SetValidator(new TRangeValidator(MinDelayTime, MaxDelayTime));
  SetTransferBuffer({
    &xfer.BaudRateData,
    &xfer.PortData,
    &xfer.DataBitsData,
    &xfer.HandshakeData,
    &xfer.ParityData,
    &xfer.SetDtrCheck,
    &xfer.SetRtsCheck,
    &xfer.StopBitsData,
    &xfer.UseCtsCheck,
    &xfer.UseDsrCheck,
    std::span<char>(xfer.LineLengthText),
    std::span<char>(xfer.DelayCharText),
    std::span<char>(xfer.DelayTimeText),
  });
}

const TResponseTable& TComSetup::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnNotify<&TComSetup::UpdateHandshakeControls>(IDC_HANDSHAKE, CBN_SELCHANGE),
  };
  static const TResponseTable table {&TDialog::Responses(), entries};
  return table;
}

void TComSetup::PrepareWindow()
{
  TDialog::PrepareWindow();
  UpdateHandshakeControls();
}

void TComSetup::UpdateHandshakeControls()
{
  const int position = Handshake.GetSelIndex();
  if (position < 0 || position >= int(std::size(HandshakeEntries)))
    return;
  const auto handshake = THandshake(position);
  // Disabled boxes keep their state: it is what the record gets on OK.
  if (handshake == THandshake::None) {
    UseCts.Uncheck();
    UseDsr.Uncheck();
  } else if (handshake == THandshake::Hardware) {
    UseCts.Check();
    UseDsr.Check();
  }
  const bool byHand = handshake != THandshake::Hardware;
  const bool watched = handshake == THandshake::XonXoff;
  SetDtr.EnableWindow(byHand);
  SetRts.EnableWindow(byHand);
  UseCts.EnableWindow(watched);
  UseDsr.EnableWindow(watched);
}

bool TComSetup::CanClose()
{
  // The baud rate is the first field in creation order: refused, it is the one field reported.
  const int rate = BaudRateOf(BaudRate.GetText());
  if (!rate) {
    TRangeValidator(MinBaudRate, MaxBaudRate, IDS_BAUDRATE_NOT_IN_RANGE).Error(BaudRate);
    BaudRate.SetFocus();
  }
  const bool fieldsValid = rate && TDialog::CanClose();

  // No data bits selected counts as none of the four.
  const UINT refusal = FramingRefusal(DataBits.GetSelIndex() + LeastByteSize, StopBits.GetSelIndex());
  if (refusal)
    MessageBox(LoadString(refusal).c_str(), "", MB_OK | MB_ICONEXCLAMATION);
  return fieldsValid && refusal == 0;
}

UINT TComSetup::FramingRefusal(int byteSize, int stopBits)
{
  if (byteSize == 5 && stopBits == TWOSTOPBITS)
    return IDS_5DATA_2STOP;
  if (stopBits == ONE5STOPBITS && byteSize > 5 && byteSize <= 8)
    return IDS_6DATA_15STOP + UINT(byteSize - 6);
  return 0;
}
