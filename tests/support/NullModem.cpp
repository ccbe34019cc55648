#include "tests/support/NullModem.h"

// Kernel termios only: <termios.h> cannot be mixed with it.
#include <asm/termbits.h>
#include <cstdarg>
#include <dlfcn.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>

// The state of one cable, shared by the test and ioctl under Guard.
struct TNullModemCable {
  dev_t Device = 0;   // the slave's
  bool Dtr = true, Rts = true;   // the program's lines
  bool FarDtr = true, FarRts = true, Ri = false, Dcd = false;   // the device's
  std::uint32_t Cflag = 0, Iflag = 0, Speed = 0;
};

namespace {

std::mutex Guard;
TNullModemCable Cables[4];
bool InUse[4] = {};

using TIoctl = int (*)(int, unsigned long, ...);

// The next ioctl after this executable's: the sanitizer's interceptor when there is one, which
// then calls the C library's.
int NextIoctl(int fd, unsigned long request, void* arg)
{
  static const auto next = reinterpret_cast<TIoctl>(dlsym(RTLD_NEXT, "ioctl"));
  return next(fd, request, arg);
}

// The cable attached to the device fd is open on, or null. Called under Guard.
TNullModemCable* CableOf(int fd)
{
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
    return nullptr;
  for (int i = 0; i < 4; ++i)
    if (InUse[i] && Cables[i].Device == st.st_rdev)
      return &Cables[i];
  return nullptr;
}

int Lines(const TNullModemCable& w)
{
  return (w.Dtr ? TIOCM_DTR : 0) | (w.Rts ? TIOCM_RTS : 0) | (w.FarDtr ? TIOCM_DSR : 0) |
         (w.FarDtr || w.Dcd ? TIOCM_CAR : 0) | (w.FarRts ? TIOCM_CTS : 0) | (w.Ri ? TIOCM_RNG : 0);
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW
{
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  {
    const std::lock_guard<std::mutex> lock(Guard);
    if (TNullModemCable* w = CableOf(fd)) {
      int* bits = static_cast<int*>(arg);
      switch (request) {
      case TIOCMGET:
        *bits = Lines(*w);
        return 0;
      case TIOCMSET:
      case TIOCMBIS:
      case TIOCMBIC: {
        const bool on = request != TIOCMBIC;
        if (request == TIOCMSET || (*bits & TIOCM_DTR))
          w->Dtr = request == TIOCMSET ? (*bits & TIOCM_DTR) != 0 : on;
        if (request == TIOCMSET || (*bits & TIOCM_RTS))
          w->Rts = request == TIOCMSET ? (*bits & TIOCM_RTS) != 0 : on;
        return 0;
      }
      case TCSETS2:
      case TCSETSW2:
      case TCSETSF2:
        w->Speed = static_cast<const termios2*>(arg)->c_ospeed;
        [[fallthrough]];
      case TCSETS:
      case TCSETSW:
      case TCSETSF:
        // termios and termios2 begin alike.
        w->Cflag = static_cast<const termios*>(arg)->c_cflag;
        w->Iflag = static_cast<const termios*>(arg)->c_iflag;
        break;
      default:
        break;
      }
    }
  }
  return NextIoctl(fd, request, arg);
}

TNullModem::TNullModem(const TPty& pty)
{
  struct stat st {};
  fstat(pty.Slave(), &st);
  const std::lock_guard<std::mutex> lock(Guard);
  int i = 0;
  while (i < 3 && InUse[i])
    ++i;
  InUse[i] = true;
  Cables[i] = TNullModemCable {};
  Cables[i].Device = st.st_rdev;
  Wires = &Cables[i];
}

TNullModem::~TNullModem()
{
  const std::lock_guard<std::mutex> lock(Guard);
  InUse[Wires - Cables] = false;
}

void TNullModem::SetDtr(bool on) { const std::lock_guard<std::mutex> lock(Guard); Wires->FarDtr = on; }
void TNullModem::SetRts(bool on) { const std::lock_guard<std::mutex> lock(Guard); Wires->FarRts = on; }
void TNullModem::SetRi(bool on) { const std::lock_guard<std::mutex> lock(Guard); Wires->Ri = on; }
void TNullModem::SetDcd(bool on) { const std::lock_guard<std::mutex> lock(Guard); Wires->Dcd = on; }

int TNullModem::Sees() const
{
  const std::lock_guard<std::mutex> lock(Guard);
  return (Wires->Dtr ? TIOCM_DSR | TIOCM_CAR : 0) | (Wires->Rts ? TIOCM_CTS : 0);
}

std::uint32_t TNullModem::Cflag() const { const std::lock_guard<std::mutex> lock(Guard); return Wires->Cflag; }
std::uint32_t TNullModem::Iflag() const { const std::lock_guard<std::mutex> lock(Guard); return Wires->Iflag; }
std::uint32_t TNullModem::Speed() const { const std::lock_guard<std::mutex> lock(Guard); return Wires->Speed; }
