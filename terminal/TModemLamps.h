#pragma once
// The six modem-line lamps of the terminal window: DTR and RTS red while the settings drive
// those lines, CTS, DSR, RI and DCD green while the device raises them.
#include "controls/TLed.h"

#include <cstdint>

class TModemLamps {
public:
  // Bound to the lamps of the terminal window's template; each starts off.
  explicit TModemLamps(TWindow* parent);

  void ShowOutputs(bool dtr, bool rts);
  // The input lamps from a modem status word (MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON); a
  // word that cannot be read (negative) shows them all off. Only a word that differs from the
  // last one shown touches a lamp.
  void ShowInputs(long status);

  TLed CtsLed;
  TLed DcdLed;
  TLed DsrLed;
  TLed DtrLed;
  TLed RiLed;
  TLed RtsLed;

private:
  std::int32_t LastModemStatus = 0;
};
