#include "terminal/TModemLamps.h"

#include "platform/SerialDevice.h"
#include "resources/ResourceIds.h"

TModemLamps::TModemLamps(TWindow* parent)
  : CtsLed(parent, IDC_LED_CTS),
    DcdLed(parent, IDC_LED_DCD),
    DsrLed(parent, IDC_LED_DSR),
    DtrLed(parent, IDC_LED_DTR),
    RiLed(parent, IDC_LED_RI),
    RtsLed(parent, IDC_LED_RTS)
{}

void TModemLamps::ShowOutputs(bool dtr, bool rts)
{
  DtrLed.SetState(dtr ? TLed::LedRed : TLed::LedOff);
  RtsLed.SetState(rts ? TLed::LedRed : TLed::LedOff);
}

void TModemLamps::ShowInputs(long status)
{
  if (status < 0)
    status = 0;
  if (status == LastModemStatus)
    return;
  const auto lamp = [status](TLed& led, long bit) { led.SetState((status & bit) ? TLed::LedGreen : TLed::LedOff); };
  lamp(CtsLed, MS_CTS_ON);
  lamp(DsrLed, MS_DSR_ON);
  lamp(RiLed, MS_RING_ON);
  lamp(DcdLed, MS_RLSD_ON);
  LastModemStatus = std::int32_t(status);
}
