#include "platform/TtyDevice.h"

// termios2 (any baud rate) lives in the kernel's headers, which cannot be mixed with <termios.h>.
#include <asm/termbits.h>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

bool GetTermios(int fd, termios2& t)
{
  return ioctl(fd, TCGETS2, &t) == 0;
}

void SetModemLine(int fd, int line, bool on)
{
  // Pseudo-terminals have no modem lines; that is no error of the line settings.
  (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

// Unix 98 pseudo-terminal slaves have majors 136 to 143.
constexpr unsigned UnixPtySlaveMajor = 136;

// What reads and writes fail with once the device is gone (an adapter unplugged).
bool Gone(int error)
{
  return error == EIO || error == ENODEV || error == ENXIO;
}

}   // namespace

std::unique_ptr<TSerialDevice> TTtyDevice::Open(const std::string& path)
{
  std::unique_ptr<TTtyDevice> device(new TTtyDevice(path));
  if (!device->Attach())
    return nullptr;
  return device;
}

bool TTtyDevice::Attach()
{
  const int fd = open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return false;
  termios2 t {};
  if (!GetTermios(fd, t) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  // A lock file we still hold names the device as it was; the one now there may have another
  // name. Released first: for the same name, the new lock file takes its place.
  Lock.reset();
  auto lock = std::make_unique<TUucpLock>();
  if (!lock->Acquire(Path) || ioctl(fd, TIOCEXCL) != 0) {
    close(fd);
    return false;
  }
  // Raw bytes both ways: no echo, no line editing, no translation, no signals and no
  // software flow control eating 0x11 and 0x13 until someone asks for it.
  t.c_iflag &=
    ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IMAXBEL | INPCK);
  t.c_oflag &= ~tcflag_t(OPOST);
  t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  // VMIN 1 makes a read without data answer EAGAIN (non-blocking) and a hung-up line answer 0.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (ioctl(fd, TCSETS2, &t) != 0) {
    ioctl(fd, TIOCNXCL);
    close(fd);
    return false;
  }
  Fd = fd;
  Lock = std::move(lock);
  struct stat node {};
  fstat(fd, &node);
  Device = node.st_rdev;
  Failures = 0;
  Pseudo =
    S_ISCHR(node.st_mode) && major(node.st_rdev) >= UnixPtySlaveMajor && major(node.st_rdev) < UnixPtySlaveMajor + 8;
  lstat(Path.c_str(), &LinkAtAttach);
  return true;
}

void TTtyDevice::Detach()
{
  if (Fd < 0)
    return;
  // Unsent bytes would make close() wait for the line (up to the driver's closing_wait);
  // a closing window must never wait for a device. Only they go: a pseudo-terminal's flush
  // would also drop what its far end has not read yet, last words included.
  if (OutputQueued() > 0)
    ioctl(Fd, TCFLSH, TCOFLUSH);
  ioctl(Fd, TIOCNXCL);
  close(Fd);
  Fd = -1;
}

TTtyDevice::~TTtyDevice()
{
  Detach();
}

void TTtyDevice::CheckAttached()
{
  // While the device is away, a stat of its name is all a poll costs.
  struct stat link {
  }, node {};
  if (Fd >= 0 || lstat(Path.c_str(), &link) != 0 || stat(Path.c_str(), &node) != 0)
    return;
  if (Pseudo && link.st_ino == LinkAtAttach.st_ino && link.st_ctim.tv_sec == LinkAtAttach.st_ctim.tv_sec &&
      link.st_ctim.tv_nsec == LinkAtAttach.st_ctim.tv_nsec)
    return;
  if (!Attach())
    return;
  if (Configured)
    ApplyLine(Applied, PlanLine(Applied));
  PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
}

bool TTtyDevice::SetupComm(std::uint32_t, std::uint32_t)
{
  return true;   // the kernel's tty queues have fixed sizes
}

bool TTtyDevice::GetCommState(TDcb& dcb)
{
  termios2 t {};
  if (!GetTermios(Fd, t))
    return false;
  dcb.BaudRate = t.c_ospeed;
  switch (t.c_cflag & CSIZE) {
  case CS5:
    dcb.ByteSize = 5;
    break;
  case CS6:
    dcb.ByteSize = 6;
    break;
  case CS7:
    dcb.ByteSize = 7;
    break;
  default:
    dcb.ByteSize = 8;
    break;
  }
  // With five data bits the 8250 family sends one and a half stop bits for CSTOPB.
  dcb.StopBits = !(t.c_cflag & CSTOPB) ? ONESTOPBIT : dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  if (!(t.c_cflag & PARENB))
    dcb.Parity = NOPARITY;
  else if (t.c_cflag & CMSPAR)
    dcb.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
  else
    dcb.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
  dcb.fParity = (t.c_cflag & PARENB) != 0;
  dcb.fBinary = true;
  dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) || (OutputGates() & MS_CTS_ON);
  dcb.fOutxDsrFlow = (OutputGates() & MS_DSR_ON) != 0;
  dcb.fOutX = (t.c_iflag & IXON) != 0;
  dcb.fInX = (t.c_iflag & IXOFF) != 0;
  dcb.XonChar = char(t.c_cc[VSTART]);
  dcb.XoffChar = char(t.c_cc[VSTOP]);
  // The levels as requested: a driver without modem lines could not report them.
  dcb.fDtrControl = Applied.fDtrControl;
  dcb.fRtsControl = (t.c_cflag & CRTSCTS) ? RTS_CONTROL_HANDSHAKE : Applied.fRtsControl;
  return true;
}

bool TTtyDevice::ApplyLine(const TDcb& dcb, const TLinePlan& plan)
{
  termios2 t {};
  if (!GetTermios(Fd, t))
    return false;
  t.c_cflag = (t.c_cflag & ~plan.CflagMask) | plan.Cflag;
  t.c_ispeed = t.c_ospeed = plan.Speed;
  t.c_iflag = (t.c_iflag & ~plan.IflagMask) | plan.Iflag;
  t.c_cc[VSTART] = cc_t(dcb.XonChar);
  t.c_cc[VSTOP] = cc_t(dcb.XoffChar);
  if (ioctl(Fd, TCSETS2, &t) != 0)
    return false;
  Applied = dcb;
  Configured = true;
  SetOutputLines(plan.Dtr, plan.Rts);
  return true;
}

bool TTtyDevice::SetBreak(bool on)
{
  return ioctl(Fd, on ? TIOCSBRK : TIOCCBRK) == 0;
}

bool TTtyDevice::SetOutputLines(bool dtr, bool rts)
{
  SetModemLine(Fd, TIOCM_DTR, Dtr = dtr);
  SetModemLine(Fd, TIOCM_RTS, Rts = rts);
  return Fd >= 0;
}

void TTtyDevice::GetOutputLines(bool& dtr, bool& rts) const
{
  dtr = Dtr;
  rts = Rts;
}

bool TTtyDevice::GetCommModemStatus(std::uint32_t& status)
{
  int lines = 0;
  if (ioctl(Fd, TIOCMGET, &lines) != 0)
    return false;
  status = ((lines & TIOCM_CTS) ? MS_CTS_ON : 0) | ((lines & TIOCM_DSR) ? MS_DSR_ON : 0) |
           ((lines & TIOCM_RNG) ? MS_RING_ON : 0) | ((lines & TIOCM_CAR) ? MS_RLSD_ON : 0);
  return true;
}

void TTtyDevice::Failed(int error)
{
  if (error != 0 && !Gone(error))
    return;
  // A transient error (a glitch of the driver) on a device that is still there costs one
  // transfer, not the line.
  struct stat node {};
  pollfd line {Fd, 0, 0};
  if (error != 0 && ++Failures < MaxFailures && stat(Path.c_str(), &node) == 0 && node.st_rdev == Device &&
      poll(&line, 1, 0) == 0)
    return;
  Detach();
}

long TTtyDevice::ReadSome(std::uint8_t* buffer, std::uint32_t count)
{
  while (Fd >= 0) {
    const ssize_t n = read(Fd, buffer, count);
    if (n < 0 && errno == EINTR)
      continue;
    if (n > 0 || (n < 0 && errno == EAGAIN)) {
      Failures = 0;
      return n > 0 ? long(n) : 0;
    }
    Failed(n == 0 ? 0 : errno);   // 0: hung up
    return -1;
  }
  return -1;
}

long TTtyDevice::WriteSome(const std::uint8_t* buffer, std::uint32_t count)
{
  while (Fd >= 0) {
    const ssize_t n = write(Fd, buffer, count);
    if (n < 0 && errno == EINTR)
      continue;
    if (n >= 0 || errno == EAGAIN) {
      Failures = 0;
      return n > 0 ? long(n) : 0;
    }
    Failed(errno);
    return -1;
  }
  return -1;
}

std::uint32_t TTtyDevice::OutputQueued()
{
  int queued = 0;
  return ioctl(Fd, TIOCOUTQ, &queued) == 0 && queued > 0 ? std::uint32_t(queued) : 0;
}

bool TTtyDevice::FlushInput()
{
  return ioctl(Fd, TCFLSH, TCIFLUSH) == 0;
}

bool TTtyDevice::FlushOutput()
{
  return ioctl(Fd, TCFLSH, TCOFLUSH) == 0;
}
