#pragma once
// A null-modem cable for pseudo-terminals, which have no modem lines of their own. It works at
// the system-call boundary: NullModem.cpp defines ioctl for the test executable that links it
// (linked in, not preloaded, so that a sanitizer runtime stays first) and answers the
// modem-line requests on the slave of a pseudo-terminal with a cable attached. Everything
// else, and every other descriptor, goes on to the real ioctl, so the program's own device
// code runs unchanged above it. It defines read as well, to fail reads on the cable when asked,
// and write, to measure the program's writes on it.
#include "tests/support/ScratchStore.h"

#include <cstdint>

struct TNullModemCable;

class TNullModem {
public:
  // Attaches the cable to pty's slave; the device at the master starts with DTR and RTS up,
  // and so do the program's lines, as when a port is opened.
  explicit TNullModem(const TPty& pty);
  ~TNullModem();
  TNullModem(const TNullModem&) = delete;
  TNullModem& operator=(const TNullModem&) = delete;

  // The device's lines: its DTR reaches the program as DSR and DCD, its RTS as CTS.
  void SetDtr(bool on);
  void SetRts(bool on);
  // Ring.
  void SetRi(bool on);
  // What the device sees of the program's DTR and RTS: TIOCM_DSR | TIOCM_CAR, and TIOCM_CTS.
  int Sees() const;
  // The termios the program last set on the slave; all zero before it set any.
  std::uint32_t Cflag() const;
  std::uint32_t Speed() const;
  // Plays a UART with this clock: a rate is set to the nearest clock / n, one above the clock
  // refused (EINVAL). 0, the start, sets every rate as asked.
  void SetClock(std::uint32_t clock);
  // The program's next count reads fail with error, as a driver's glitch would make them.
  void FailReads(int count, int error);
  // The breaks the program began, and how long the last one lasted (-1 while it lasts).
  int Breaks() const;
  long BreakMs() const;
  // The most bytes the program wrote on the cable in one call since the last time asked.
  std::size_t LongestWrite();

private:
  TNullModemCable* Wires;
};
