#include "platform/Rfc2217Device.h"

#include "platform/PortMap.h"

// termios2's flag values, in which the line plan is given.
#include <asm/termbits.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

namespace {

using namespace std::chrono;

bool Resolve(const std::string& url, std::vector<sockaddr_storage>& addresses, std::vector<socklen_t>& sizes)
{
  std::string host, port;
  if (!ParseRemotePort(url, host, port))
    return false;
  addrinfo hints {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
    return false;
  for (const addrinfo* a = found; a; a = a->ai_next)
    if (a->ai_addrlen <= sizeof(sockaddr_storage)) {
      sockaddr_storage s {};
      std::memcpy(&s, a->ai_addr, a->ai_addrlen);
      addresses.push_back(s);
      sizes.push_back(a->ai_addrlen);
    }
  freeaddrinfo(found);
  return !addresses.empty();
}

// A non-blocking socket whose connection to address is made or under way; -1 when refused at once.
int StartSocket(const sockaddr_storage& address, socklen_t size)
{
  const int fd = socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  // Keystrokes go out as typed, not gathered.
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 || errno == EINPROGRESS)
    return fd;
  close(fd);
  return -1;
}

// Waits at most wait for the connection of fd: 1 made, 0 still under way, -1 failed.
int AwaitSocket(int fd, milliseconds wait)
{
  pollfd p {fd, POLLOUT, 0};
  const int ready = poll(&p, 1, int(wait.count()));
  if (ready == 0)
    return 0;
  int error = 0;
  socklen_t size = sizeof error;
  return ready > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0 ? 1 : -1;
}

}   // namespace

bool RemotePortAnswers(const std::string& url, milliseconds wait)
{
  std::vector<sockaddr_storage> addresses;
  std::vector<socklen_t> sizes;
  if (!Resolve(url, addresses, sizes))
    return false;
  const auto end = steady_clock::now() + wait;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const int fd = StartSocket(addresses[i], sizes[i]);
    if (fd < 0)
      continue;
    const int made = AwaitSocket(fd, std::max(milliseconds(0), duration_cast<milliseconds>(end - steady_clock::now())));
    close(fd);
    if (made > 0)
      return true;
  }
  return false;
}

std::unique_ptr<TSerialDevice> TRfc2217Device::Open(const std::string& url)
{
  std::unique_ptr<TRfc2217Device> device(new TRfc2217Device());
  if (!Resolve(url, device->Addresses, device->Sizes) || !device->StartConnect(true))
    return nullptr;
  const auto end = TClock::now() + ConnectWait;
  for (;;) {
    const auto left = duration_cast<milliseconds>(end - TClock::now());
    const int made = left.count() > 0 ? device->FinishConnect(left) : -1;
    if (made > 0)
      return device;
    if (made < 0 || !device->Connecting)
      return nullptr;
  }
}

TRfc2217Device::~TRfc2217Device()
{
  Detach();
}

bool TRfc2217Device::StartConnect(bool first)
{
  if (Fd >= 0)
    close(Fd);
  Fd = -1;
  Connecting = false;
  for (Next = first ? 0 : Next; Next < Addresses.size(); ++Next) {
    Fd = StartSocket(Addresses[Next], Sizes[Next]);
    if (Fd >= 0) {
      ++Next;
      Connecting = true;
      ConnectDeadline = Now() + ConnectWait;
      return true;
    }
  }
  // Every address refused: the next round after a pause that grows to LastRetry.
  ScheduleRetry();
  return false;
}

void TRfc2217Device::ScheduleRetry()
{
  NextTry = Now() + Retry;
  Retry = std::min(2 * Retry, LastRetry);
}

int TRfc2217Device::FinishConnect(milliseconds wait)
{
  const int made = AwaitSocket(Fd, wait);
  if (made > 0) {
    Attached();
    return 1;
  }
  if (made == 0 && Now() < ConnectDeadline)
    return 0;
  return StartConnect(false) ? 0 : -1;
}

void TRfc2217Device::Attached()
{
  Connecting = false;
  AttachedAt = Now();
  Out.clear();
  Codec.Start(Out);
  Flush();
}

void TRfc2217Device::Detach()
{
  if (Fd >= 0)
    close(Fd);
  Fd = -1;
  // A server that closes each connection soon after taking it is tried ever more seldom too.
  if (Now() - AttachedAt >= LastRetry)
    Retry = FirstRetry;
  Connecting = false;
  Out.clear();
  ScheduleRetry();
}

void TRfc2217Device::CheckAttached()
{
  if (IsAttached())
    return;
  // While away, a poll costs a look at the clock, or one at a connection under way.
  if (!Connecting) {
    if (Now() >= NextTry)
      StartConnect(true);
    return;
  }
  if (FinishConnect(milliseconds(0)) <= 0)
    return;
  if (Configured)
    ApplyLine(Applied, PlanLine(Applied));
  PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_RXCLEAR);
}

bool TRfc2217Device::Flush()
{
  while (IsAttached() && !Out.empty()) {
    const ssize_t n = send(Fd, Out.data(), Out.size(), MSG_NOSIGNAL);
    if (n > 0)
      Out.erase(0, std::size_t(n));
    else if (n < 0 && errno == EINTR)
      continue;
    else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return true;
    else
      Detach();
  }
  return IsAttached();
}

void TRfc2217Device::Control(std::uint8_t value)
{
  TRfc2217Codec::AppendCommand(Out, TRfc2217Codec::SetControl, value);
}

bool TRfc2217Device::GetCommState(TDcb& dcb)
{
  dcb = Applied;
  return IsAttached();
}

bool TRfc2217Device::ApplyLine(const TDcb& dcb, const TLinePlan& plan)
{
  if (!IsAttached())
    return false;
  const std::uint8_t speed[] = {std::uint8_t(plan.Speed >> 24), std::uint8_t(plan.Speed >> 16),
                                std::uint8_t(plan.Speed >> 8), std::uint8_t(plan.Speed)};
  TRfc2217Codec::AppendCommand(Out, TRfc2217Codec::SetBaudRate, speed, sizeof speed);
  TRfc2217Codec::AppendCommand(Out, TRfc2217Codec::SetDataSize, dcb.ByteSize);
  // None, odd, even, mark and space count from 1 there.
  TRfc2217Codec::AppendCommand(Out, TRfc2217Codec::SetParity, std::uint8_t(dcb.Parity + 1));
  TRfc2217Codec::AppendCommand(Out, TRfc2217Codec::SetStopSize,
                               dcb.StopBits == ONESTOPBIT    ? 1
                               : dcb.StopBits == TWOSTOPBITS ? 2
                                                             : 3);
  // The hardware handshake is both ways at once, as CRTSCTS is; XON/XOFF is told per direction.
  if (plan.Cflag & CRTSCTS) {
    Control(TRfc2217Codec::HardwareFlow);
  } else {
    Control((plan.Iflag & IXON) ? TRfc2217Codec::XonXoffFlow : TRfc2217Codec::NoFlow);
    Control((plan.Iflag & IXOFF) ? TRfc2217Codec::XonXoffInboundFlow : TRfc2217Codec::NoInboundFlow);
  }
  Applied = dcb;
  Configured = true;
  return SetOutputLines(plan.Dtr, plan.Rts);
}

bool TRfc2217Device::SetBreak(bool on)
{
  if (!IsAttached())
    return false;
  Control(on ? TRfc2217Codec::BreakOn : TRfc2217Codec::BreakOff);
  return Flush();
}

bool TRfc2217Device::SetOutputLines(bool dtr, bool rts)
{
  Dtr = dtr;
  Rts = rts;
  if (!IsAttached())
    return false;
  Control(dtr ? TRfc2217Codec::DtrOn : TRfc2217Codec::DtrOff);
  Control(rts ? TRfc2217Codec::RtsOn : TRfc2217Codec::RtsOff);
  return Flush();
}

void TRfc2217Device::GetOutputLines(bool& dtr, bool& rts) const
{
  dtr = Dtr;
  rts = Rts;
}

bool TRfc2217Device::GetCommModemStatus(std::uint32_t& status)
{
  return IsAttached() && Codec.ModemState(status);
}

long TRfc2217Device::ReadSome(std::uint8_t* buffer, std::uint32_t count)
{
  long got = 0;
  // The server's bytes are gone through in order until data comes out, at most ReadWork of them
  // whatever they are: negotiation costs a read what data would, and a poll stays short.
  for (std::size_t taken = 0; got == 0 && taken < ReadWork && IsAttached();) {
    std::uint8_t raw[4096];
    const ssize_t n = recv(Fd, raw, std::min({std::size_t(count), sizeof raw, ReadWork - taken}), 0);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      break;
    if (n <= 0) {
      Detach();   // closed by the server, or the connection broke
      break;
    }
    got = long(Codec.Receive(raw, std::size_t(n), buffer, Out));
    taken += std::size_t(n);
  }
  // Bytes taken from the line are delivered; the next read reports the loss.
  return Flush() || got > 0 ? got : -1;
}

long TRfc2217Device::WriteSome(const std::uint8_t* buffer, std::uint32_t count)
{
  if (!Flush())
    return -1;
  if (Out.size() >= OutData)
    return 0;
  const std::size_t taken = TRfc2217Codec::AppendData(buffer, count, OutData - Out.size(), Out);
  return Flush() ? long(taken) : -1;
}

std::uint32_t TRfc2217Device::OutputQueued()
{
  Flush();
  return std::uint32_t(Out.size());
}

bool TRfc2217Device::FlushInput()
{
  if (!IsAttached())
    return false;
  TRfc2217Codec::AppendCommand(Out, TRfc2217Codec::PurgeData, TRfc2217Codec::PurgeReceived);
  // What the server sent before it purged is dropped here, its answers kept; a bounded amount,
  // so that a server that never stops cannot hold the purge.
  std::uint8_t raw[4096], dropped[4096];
  for (int block = 0; block < 16 && IsAttached(); ++block) {
    const ssize_t n = recv(Fd, raw, sizeof raw, 0);
    if (n <= 0) {
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        Detach();
      if (n < 0 && errno == EINTR)
        continue;
      break;
    }
    Codec.Receive(raw, std::size_t(n), dropped, Out);
  }
  return Flush();
}

bool TRfc2217Device::FlushOutput()
{
  if (!IsAttached())
    return false;
  TRfc2217Codec::AppendCommand(Out, TRfc2217Codec::PurgeData, TRfc2217Codec::PurgeToSend);
  return Flush();
}
