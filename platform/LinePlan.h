#pragma once
// What a device-control block asks of a line, decided in one place: the termios flags, the
// levels of the two output lines and the input lines that hold output. Devices only carry it out.
#include <cstdint>

struct TDcb;

struct TLinePlan {
  // No line can carry the block (a framing that does not exist, a speed of 0): SetCommState fails.
  bool Valid = false;
  std::uint32_t Speed = 0;
  // termios flags: within each mask, exactly the given bits are set.
  std::uint32_t Cflag = 0, CflagMask = 0;
  std::uint32_t Iflag = 0, IflagMask = 0;
  // Levels of the output lines. Under the kernel's handshake (CRTSCTS) RTS starts high and the
  // kernel lowers it while its input buffer is full.
  bool Dtr = false;
  bool Rts = false;
  // MS_CTS_ON and MS_DSR_ON: output is held while any of these input lines is low.
  std::uint32_t Gates = 0;
};

TLinePlan PlanLine(const TDcb& dcb);
