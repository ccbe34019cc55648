#include "platform/TtyDevice.h"

// termios2 (any baud rate) lives in the kernel's headers, which cannot be mixed with <termios.h>.
#include <asm/termbits.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr tcflag_t SizeFlags[] = {CS5, CS6, CS7, CS8};

bool GetTermios(int fd, termios2& t) { return ioctl(fd, TCGETS2, &t) == 0; }

void SetModemLine(int fd, int line, bool on)
{
  // Pseudo-terminals have no modem lines; that is no error of the line settings.
  (void)ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

} // namespace

std::unique_ptr<TSerialDevice> TTtyDevice::Open(const std::string& path)
{
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  termios2 t {};
  if (!GetTermios(fd, t) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  std::unique_ptr<TTtyDevice> device(new TTtyDevice(fd));
  if (!device->Lock.Acquire(path) || ioctl(fd, TIOCEXCL) != 0)
    return nullptr;
  // Raw bytes both ways: no echo, no line editing, no translation, no signals and no
  // software flow control eating 0x11 and 0x13 until someone asks for it.
  t.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IMAXBEL | INPCK);
  t.c_oflag &= ~tcflag_t(OPOST);
  t.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  // VMIN 1 makes a read without data answer EAGAIN (non-blocking) and a hung-up line answer 0.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (ioctl(fd, TCSETS2, &t) != 0) {
    ioctl(fd, TIOCNXCL);
    return nullptr;
  }
  device->Owned = true;
  return device;
}

TTtyDevice::~TTtyDevice()
{
  // Unsent bytes would make close() wait for the line (up to the driver's closing_wait);
  // a closing window must never wait for a device.
  if (Owned) {
    ioctl(Fd, TCFLSH, TCOFLUSH);
    ioctl(Fd, TIOCNXCL);
  }
  close(Fd);
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
  case CS5: dcb.ByteSize = 5; break;
  case CS6: dcb.ByteSize = 6; break;
  case CS7: dcb.ByteSize = 7; break;
  default: dcb.ByteSize = 8; break;
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
  dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
  dcb.fOutxDsrFlow = false;   // Linux has no DSR output gating
  dcb.fOutX = (t.c_iflag & IXON) != 0;
  dcb.fInX = (t.c_iflag & IXOFF) != 0;
  dcb.XonChar = char(t.c_cc[VSTART]);
  dcb.XoffChar = char(t.c_cc[VSTOP]);
  int lines = 0;
  const bool haveLines = ioctl(Fd, TIOCMGET, &lines) == 0;
  dcb.fDtrControl = haveLines ? ((lines & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE) : DtrControl;
  if (dcb.fOutxCtsFlow)
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
  else
    dcb.fRtsControl = haveLines ? ((lines & TIOCM_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE) : RtsControl;
  return true;
}

bool TTtyDevice::SetCommState(const TDcb& dcb)
{
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.StopBits > TWOSTOPBITS ||
      dcb.Parity > SPACEPARITY)
    return false;
  termios2 t {};
  if (!GetTermios(Fd, t))
    return false;

  t.c_cflag &= ~tcflag_t(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  t.c_ispeed = t.c_ospeed = dcb.BaudRate;

  t.c_cflag = (t.c_cflag & ~tcflag_t(CSIZE)) | SizeFlags[dcb.ByteSize - 5];
  if (dcb.StopBits == ONESTOPBIT)
    t.c_cflag &= ~tcflag_t(CSTOPB);
  else
    t.c_cflag |= CSTOPB;

  t.c_cflag &= ~tcflag_t(PARENB | PARODD | CMSPAR);
  switch (dcb.Parity) {
  case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
  case EVENPARITY: t.c_cflag |= PARENB; break;
  case MARKPARITY: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
  case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
  default: break;
  }

  // The kernel couples CTS output gating and RTS input throttling in one flag.
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
    t.c_cflag |= CRTSCTS;
  else
    t.c_cflag &= ~tcflag_t(CRTSCTS);
  t.c_iflag = dcb.fOutX ? (t.c_iflag | IXON) : (t.c_iflag & ~tcflag_t(IXON));
  t.c_iflag = dcb.fInX ? (t.c_iflag | IXOFF) : (t.c_iflag & ~tcflag_t(IXOFF));
  t.c_cc[VSTART] = cc_t(dcb.XonChar);
  t.c_cc[VSTOP] = cc_t(dcb.XoffChar);

  if (ioctl(Fd, TCSETS2, &t) != 0)
    return false;

  DtrControl = dcb.fDtrControl;
  RtsControl = dcb.fRtsControl;
  SetModemLine(Fd, TIOCM_DTR, dcb.fDtrControl != DTR_CONTROL_DISABLE);
  if (!(t.c_cflag & CRTSCTS))
    SetModemLine(Fd, TIOCM_RTS, dcb.fRtsControl != RTS_CONTROL_DISABLE);
  return true;
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

long TTtyDevice::ReadSome(std::uint8_t* buffer, std::uint32_t count)
{
  for (;;) {
    const ssize_t n = read(Fd, buffer, count);
    if (n > 0)
      return long(n);
    if (n == 0)
      return -1;   // hung up
    if (errno == EINTR)
      continue;
    return errno == EAGAIN ? 0 : -1;
  }
}

long TTtyDevice::WriteSome(const std::uint8_t* buffer, std::uint32_t count)
{
  for (;;) {
    const ssize_t n = write(Fd, buffer, count);
    if (n >= 0)
      return long(n);
    if (errno == EINTR)
      continue;
    return errno == EAGAIN ? 0 : -1;
  }
}

std::uint32_t TTtyDevice::OutputQueued()
{
  int queued = 0;
  return ioctl(Fd, TIOCOUTQ, &queued) == 0 && queued > 0 ? std::uint32_t(queued) : 0;
}

bool TTtyDevice::FlushInput() { return ioctl(Fd, TCFLSH, TCIFLUSH) == 0; }

bool TTtyDevice::FlushOutput() { return ioctl(Fd, TCFLSH, TCOFLUSH) == 0; }
