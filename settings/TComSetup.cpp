#include "settings/TComSetup.h"

#include "framework/ResourceLoader.h"
#include "framework/TRangeValidator.h"
#include "settings/PortSettings.h"

namespace {
constexpr UINT ListTextLimit = 80;
// Handshake positions.
constexpr int NoHandshake = 0, HardwareHandshake = 1, XonXoffHandshake = 2;
// Data-bits and stop-bits positions.
constexpr int FiveBits = 0, EightBits = 3;
constexpr int OneAndAHalfStop = 1, TwoStop = 2;
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
  const int handshake = Handshake.GetSelIndex();
  if (handshake < NoHandshake || handshake > XonXoffHandshake)
    return;
  // Disabled boxes keep their state: it is what the record gets on OK.
  if (handshake == NoHandshake) {
    UseCts.Uncheck();
    UseDsr.Uncheck();
  } else if (handshake == HardwareHandshake) {
    UseCts.Check();
    UseDsr.Check();
  }
  const bool byHand = handshake != HardwareHandshake;
  const bool watched = handshake == XonXoffHandshake;
  SetDtr.EnableWindow(byHand);
  SetRts.EnableWindow(byHand);
  UseCts.EnableWindow(watched);
  UseDsr.EnableWindow(watched);
}

bool TComSetup::CanClose()
{
  const bool fieldsValid = TDialog::CanClose();

  const int dataBits = DataBits.GetSelIndex();
  const int stopBits = StopBits.GetSelIndex();
  UINT refusal = 0;
  if (dataBits == FiveBits && stopBits == TwoStop)
    refusal = IDS_5DATA_2STOP;
  else if (stopBits == OneAndAHalfStop && dataBits > FiveBits && dataBits <= EightBits)
    refusal = IDS_6DATA_15STOP + UINT(dataBits - 1);
  if (refusal) {
    char text[80];
    LoadString(refusal, text, sizeof text);
    MessageBox(text, "", MB_OK | MB_ICONEXCLAMATION);
  }
  return fieldsValid && refusal == 0;
}
