#include "platform/LinePlan.h"

#include "platform/SerialDevice.h"

#include <iterator>

// termios2 lives in the kernel's headers, which cannot be mixed with <termios.h>.
#include <asm/termbits.h>

namespace {

constexpr std::uint32_t SizeFlags[] = {CS5, CS6, CS7, CS8};
// By parity: none, odd, even, mark, space.
constexpr std::uint32_t ParityFlags[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD, PARENB | CMSPAR};
static_assert(std::size(ParityFlags) == SPACEPARITY + 1);

}   // namespace

TLinePlan PlanLine(const TDcb& dcb)
{
  TLinePlan plan;
  // The 8250 family sends one and a half stop bits for CSTOPB with five data bits, and two
  // with six to eight: the other two pairings do not exist on a Linux line.
  const bool fiveBits = dcb.ByteSize == 5;
  plan.Valid = dcb.BaudRate > 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 && dcb.Parity <= SPACEPARITY &&
               (dcb.StopBits == ONESTOPBIT || dcb.StopBits == (fiveBits ? ONE5STOPBITS : TWOSTOPBITS));
  if (!plan.Valid)
    return plan;

  plan.Speed = dcb.BaudRate;   // any rate, through BOTHER
  plan.CflagMask = CBAUD | (CBAUD << IBSHIFT) | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS;
  plan.Cflag = BOTHER | (BOTHER << IBSHIFT) | SizeFlags[dcb.ByteSize - 5] | (dcb.StopBits != ONESTOPBIT ? CSTOPB : 0) |
               ParityFlags[dcb.Parity];
  // The kernel couples RTS input throttling and CTS output gating in one flag: it is the RTS
  // handshake, and never a mere CTS gate, which would take RTS from what the settings drive.
  if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
    plan.Cflag |= CRTSCTS;
  plan.IflagMask = IXON | IXOFF;
  plan.Iflag = (dcb.fOutX ? IXON : 0) | (dcb.fInX ? IXOFF : 0);

  // DTR handshake (DTR lowered while the input buffer is full) has no Linux form: DTR is raised.
  plan.Dtr = dcb.fDtrControl != DTR_CONTROL_DISABLE;
  plan.Rts = dcb.fRtsControl != RTS_CONTROL_DISABLE;
  plan.Gates = (dcb.fOutxCtsFlow ? MS_CTS_ON : 0) | (dcb.fOutxDsrFlow ? MS_DSR_ON : 0);
  return plan;
}
