#include "tests/support/NullModem.h"

// Kernel termios only: <termios.h> cannot be mixed with it.
#include <asm/termbits.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <dlfcn.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// The state of one cable, shared by the test, ioctl and read under Guard.
struct TNullModemCable {
  dev_t Device = 0;                                // the slave's; 0 while the cable is free
  bool Dtr = true, Rts = true;                     // the program's lines
  bool FarDtr = true, FarRts = true, Ri = false;   // the device's
  std::uint32_t Cflag = 0, Speed = 0;
  std::uint32_t Clock = 0;   // a UART's: it makes Clock / n; 0 makes any rate
  int Breaks = 0;            // breaks begun
  std::chrono::steady_clock::time_point BreakBegan {};
  long BreakMs = -1;   // the last break's length; -1 while one lasts
  int FailReads = 0;   // the program's next reads that fail, and with which error
  int ReadError = 0;
  std::size_t LongestWrite = 0;
};

namespace {

std::mutex Guard;
TNullModemCable Cables[4];
// Whether any cable has reads to fail: the others go on without a look.
std::atomic<int> ReadsToFail {0};
// Whether any cable is attached: writes elsewhere go on without a look.
std::atomic<int> Attached {0};

// The cable attached to the device fd is open on, or null. Called under Guard.
TNullModemCable* CableOf(int fd)
{
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
    return nullptr;
  for (TNullModemCable& w : Cables)
    if (w.Device == st.st_rdev)
      return &w;
  return nullptr;
}

}   // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW
{
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  termios2 line {};
  {
    const std::lock_guard<std::mutex> lock(Guard);
    int* bits = static_cast<int*>(arg);
    if (TNullModemCable* w = CableOf(fd))
      switch (request) {
      case TIOCMGET:
        *bits = (w->Dtr ? TIOCM_DTR : 0) | (w->Rts ? TIOCM_RTS : 0) | (w->FarDtr ? TIOCM_DSR : 0) |
                (w->FarDtr ? TIOCM_CAR : 0) | (w->FarRts ? TIOCM_CTS : 0) | (w->Ri ? TIOCM_RNG : 0);
        return 0;
      case TIOCMBIS:   // the program raises and lowers its lines one by one
      case TIOCMBIC:
        w->Dtr = (*bits & TIOCM_DTR) ? request == TIOCMBIS : w->Dtr;
        w->Rts = (*bits & TIOCM_RTS) ? request == TIOCMBIS : w->Rts;
        return 0;
      case TIOCSBRK:
        ++w->Breaks;
        w->BreakBegan = std::chrono::steady_clock::now();
        w->BreakMs = -1;
        return 0;
      case TIOCCBRK:
        w->BreakMs =
          long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - w->BreakBegan)
                 .count());
        return 0;
      case TCSETS2: {   // the program sets its line through termios2 only
        line = *static_cast<const termios2*>(arg);
        if (w->Clock && line.c_ospeed > w->Clock)
          return errno = EINVAL, -1;
        if (w->Clock && line.c_ospeed)
          line.c_ispeed = line.c_ospeed = w->Clock / ((w->Clock + line.c_ospeed / 2) / line.c_ospeed);
        w->Speed = line.c_ospeed;
        w->Cflag = line.c_cflag;
        arg = &line;
      }
      }
  }
  // The next ioctl after this executable's: the sanitizer's interceptor when there is one.
  static const auto next = reinterpret_cast<int (*)(int, unsigned long, ...)>(dlsym(RTLD_NEXT, "ioctl"));
  return next(fd, request, arg);
}

extern "C" ssize_t read(int fd, void* buffer, size_t count)
{
  if (ReadsToFail > 0) {
    const std::lock_guard<std::mutex> lock(Guard);
    if (TNullModemCable* w = CableOf(fd); w && w->FailReads > 0) {
      --w->FailReads;
      --ReadsToFail;
      errno = w->ReadError;
      return -1;
    }
  }
  static const auto next = reinterpret_cast<ssize_t (*)(int, void*, size_t)>(dlsym(RTLD_NEXT, "read"));
  return next(fd, buffer, count);
}

extern "C" ssize_t write(int fd, const void* buffer, size_t count)
{
  static const auto next = reinterpret_cast<ssize_t (*)(int, const void*, size_t)>(dlsym(RTLD_NEXT, "write"));
  const ssize_t n = next(fd, buffer, count);
  if (n > 0 && Attached > 0) {
    const int error = errno;
    const std::lock_guard<std::mutex> lock(Guard);
    if (TNullModemCable* w = CableOf(fd))
      w->LongestWrite = std::max(w->LongestWrite, std::size_t(n));
    errno = error;
  }
  return n;
}

TNullModem::TNullModem(const TPty& pty)
{
  struct stat st {};
  fstat(pty.Slave(), &st);
  const std::lock_guard<std::mutex> lock(Guard);
  Wires = Cables;
  while (Wires < Cables + 3 && Wires->Device != 0)
    ++Wires;
  *Wires = TNullModemCable {.Device = st.st_rdev};
  ++Attached;
}

TNullModem::~TNullModem()
{
  const std::lock_guard<std::mutex> lock(Guard);
  ReadsToFail -= Wires->FailReads;
  Wires->FailReads = 0;
  Wires->Device = 0;
  --Attached;
}

// One line each: every accessor takes the cable's lock for one field.
// clang-format off
void TNullModem::SetDtr(bool on) { const std::lock_guard<std::mutex> lock(Guard); Wires->FarDtr = on; }
void TNullModem::SetRts(bool on) { const std::lock_guard<std::mutex> lock(Guard); Wires->FarRts = on; }
void TNullModem::SetRi(bool on) { const std::lock_guard<std::mutex> lock(Guard); Wires->Ri = on; }
int TNullModem::Sees() const
{
  const std::lock_guard<std::mutex> lock(Guard);
  return (Wires->Dtr ? TIOCM_DSR | TIOCM_CAR : 0) | (Wires->Rts ? TIOCM_CTS : 0);
}
std::uint32_t TNullModem::Cflag() const { const std::lock_guard<std::mutex> lock(Guard); return Wires->Cflag; }
std::uint32_t TNullModem::Speed() const { const std::lock_guard<std::mutex> lock(Guard); return Wires->Speed; }
void TNullModem::SetClock(std::uint32_t clock) { const std::lock_guard<std::mutex> lock(Guard); Wires->Clock = clock; }
void TNullModem::FailReads(int count, int error) { const std::lock_guard<std::mutex> lock(Guard); ReadsToFail += count - Wires->FailReads; Wires->FailReads = count; Wires->ReadError = error; }
int TNullModem::Breaks() const { const std::lock_guard<std::mutex> lock(Guard); return Wires->Breaks; }
long TNullModem::BreakMs() const { const std::lock_guard<std::mutex> lock(Guard); return Wires->BreakMs; }
std::size_t TNullModem::LongestWrite() { const std::lock_guard<std::mutex> lock(Guard); return std::exchange(Wires->LongestWrite, 0); }
// clang-format on
