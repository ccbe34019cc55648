#include "platform/LoopbackDevice.h"

#include <algorithm>

namespace {
bool Held = false;
}

std::unique_ptr<TSerialDevice> TLoopbackDevice::Open()
{
  if (Held)
    return nullptr;
  Held = true;
  return std::unique_ptr<TSerialDevice>(new TLoopbackDevice());
}

TLoopbackDevice::~TLoopbackDevice()
{
  Held = false;
}

bool TLoopbackDevice::SetupComm(std::uint32_t, std::uint32_t)
{
  return true;
}

bool TLoopbackDevice::GetCommState(TDcb& dcb)
{
  dcb = Dcb;
  return true;
}

bool TLoopbackDevice::ApplyLine(const TDcb& dcb, const TLinePlan& plan)
{
  Dcb = dcb;
  return SetOutputLines(plan.Dtr, plan.Rts);
}

bool TLoopbackDevice::SetOutputLines(bool dtr, bool rts)
{
  Dtr = dtr;
  Rts = rts;
  return true;
}

void TLoopbackDevice::GetOutputLines(bool& dtr, bool& rts) const
{
  dtr = Dtr;
  rts = Rts;
}

bool TLoopbackDevice::GetCommModemStatus(std::uint32_t& status)
{
  status = (Dtr ? MS_DSR_ON | MS_RLSD_ON : 0) | (Rts ? MS_CTS_ON : 0);
  return true;
}

long TLoopbackDevice::ReadSome(std::uint8_t* buffer, std::uint32_t count)
{
  const std::uint32_t n = std::min(count, Size);
  for (std::uint32_t i = 0; i < n; ++i)
    buffer[i] = Ring[(Head + i) % Capacity];
  Head = (Head + n) % Capacity;
  Size -= n;
  return long(n);
}

long TLoopbackDevice::WriteSome(const std::uint8_t* buffer, std::uint32_t count)
{
  const std::uint32_t n = std::min(count, Capacity - Size);
  for (std::uint32_t i = 0; i < n; ++i)
    Ring[(Head + Size + i) % Capacity] = buffer[i];
  Size += n;
  return long(n);
}

bool TLoopbackDevice::FlushInput()
{
  Head = Size = 0;
  return true;
}
