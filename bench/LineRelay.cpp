// A serial line at a given rate between a device's pseudo-terminal (an emulated board's
// console, which has no line rate of its own) and a new pseudo-terminal that a terminal
// program opens. Each direction carries bytes as a UART does: one at a time, each taking its
// ten bit times (start, 8 data, stop), so a block, an answer and the gap between them last what
// they would on the wire. The transmitter takes a byte from its side only while its FIFO has
// room, so what the sender wrote beyond that waits in the sender's pseudo-terminal.
//
//   line_relay [--rate BYTES_PER_S] [--trace FILE] DEVICE
//
// Prints the new pseudo-terminal's path on a line of its own once the line is up, and runs
// until SIGTERM or SIGINT, or until the device goes. With --trace every delivery is logged:
// the CLOCK_MONOTONIC time in seconds, '>' towards the device or '<' from it, the count, and
// the bytes in hex; the figures of where a transfer's time goes come from it.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A 64-byte transmit FIFO, as on a 16750 or a USB adapter: larger than the bytes one delivery
// quantum carries, so the wire never idles while the sender has bytes waiting.
constexpr std::size_t FifoSize = 64;
// Deliveries while a direction streams are batched to this; a byte after a quiet spell goes at
// its own time.
constexpr auto Quantum = std::chrono::microseconds(1000);
// Arrived bytes the receiving side has not taken yet, at most; beyond it the transmitter stops
// taking bytes (a real line would overrun: counted, so a run can show that it never happened).
constexpr std::size_t HeldLimit = 4096;

volatile std::sig_atomic_t Stop = 0;

struct TWire {
  int From = -1, To = -1;
  char Tag = '>';
  std::deque<std::pair<Clock::time_point, std::uint8_t>> OnWire;   // with the end of its stop bit
  std::string Held;                                                // arrived, not yet taken
  Clock::time_point Free;                                          // the transmitter's last stop bit
  Clock::time_point LastDelivery;
  std::uint64_t Carried = 0;
  std::size_t HeldMost = 0;
};

std::FILE* Trace = nullptr;

void Log(Clock::time_point at, char tag, const char* bytes, std::size_t count)
{
  if (!Trace)
    return;
  const double seconds = std::chrono::duration<double>(at.time_since_epoch()).count();
  std::fprintf(Trace, "%.6f %c %zu ", seconds, tag, count);
  for (std::size_t i = 0; i < count; ++i)
    std::fprintf(Trace, "%02X", unsigned(std::uint8_t(bytes[i])));
  std::fputc('\n', Trace);
}

// Moves what has crossed the wire to the receiving side. False when that side has gone.
bool Deliver(TWire& w, Clock::time_point now)
{
  while (!w.OnWire.empty() && w.OnWire.front().first <= now) {
    w.Held += char(w.OnWire.front().second);
    w.OnWire.pop_front();
  }
  if (w.Held.empty())
    return true;
  const ssize_t n = write(w.To, w.Held.data(), w.Held.size());
  if (n < 0 && errno != EAGAIN && errno != EINTR)
    return false;
  if (n > 0) {
    Log(now, w.Tag, w.Held.data(), std::size_t(n));
    w.Held.erase(0, std::size_t(n));
    w.LastDelivery = now;
  }
  w.HeldMost = std::max(w.HeldMost, w.Held.size());
  return true;
}

// Fills the transmitter's FIFO from the sending side. False when that side has gone.
bool Take(TWire& w, Clock::time_point now, Clock::duration byteTime)
{
  const std::size_t room = FifoSize - std::min(FifoSize, w.OnWire.size());
  if (room == 0 || w.Held.size() >= HeldLimit)
    return true;
  std::uint8_t buffer[FifoSize];
  const ssize_t n = read(w.From, buffer, room);
  if (n == 0)
    return false;
  if (n < 0)
    return errno == EAGAIN || errno == EINTR;
  for (ssize_t i = 0; i < n; ++i) {
    w.Free = std::max(w.Free, now) + byteTime;
    w.OnWire.emplace_back(w.Free, buffer[i]);
  }
  w.Carried += std::uint64_t(n);
  return true;
}

// When a direction next has something to deliver; max() when it has nothing.
Clock::time_point NextDelivery(const TWire& w)
{
  if (w.OnWire.empty())
    return Clock::time_point::max();
  // A byte on a quiet line goes at its time; while streaming, one delivery a quantum.
  return std::max(w.OnWire.front().first, std::min(w.LastDelivery + Quantum, w.OnWire.back().first));
}

bool MakeRaw(int fd)
{
  termios t {};
  if (tcgetattr(fd, &t) != 0)
    return false;
  cfmakeraw(&t);
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

void OnSignal(int)
{
  Stop = 1;
}

}   // namespace

int main(int argc, char** argv)
{
  long rate = 11520;
  const char* device = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc)
      rate = std::atol(argv[++i]);
    else if (std::strcmp(argv[i], "--trace") == 0 && i + 1 < argc) {
      Trace = std::fopen(argv[++i], "w");
      if (!Trace) {
        std::perror(argv[i]);
        return 1;
      }
    } else if (!device && argv[i][0] != '-')
      device = argv[i];
    else
      device = nullptr, i = argc;
  }
  if (!device || rate <= 0 || rate > 10'000'000) {
    std::fprintf(stderr, "usage: line_relay [--rate BYTES_PER_S] [--trace FILE] DEVICE\n");
    return 2;
  }
  // The relay must not outlive the harness that started it.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  sigset_t blocked, waiting;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGINT);
  sigprocmask(SIG_BLOCK, &blocked, &waiting);
  sigdelset(&waiting, SIGTERM);
  sigdelset(&waiting, SIGINT);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  const int dev = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (dev < 0 || !MakeRaw(dev)) {
    std::perror(device);
    return 1;
  }
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || !MakeRaw(slave)) {
    std::perror("openpty");
    return 1;
  }
  // The relay keeps the slave open itself, so the line stays up between the programs that
  // open it (the master would read EIO while nobody holds the slave).
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  std::printf("%s\n", ttyname(slave));
  std::fflush(stdout);

  const auto byteTime = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / double(rate)));
  TWire wires[2];
  wires[0].From = master, wires[0].To = dev, wires[0].Tag = '>';
  wires[1].From = dev, wires[1].To = master, wires[1].Tag = '<';
  bool up = true;
  while (up && !Stop) {
    const auto now = Clock::now();
    for (TWire& w : wires)
      up = up && Deliver(w, now) && Take(w, now, byteTime);
    pollfd fds[4];
    nfds_t n = 0;
    auto wake = Clock::time_point::max();
    for (TWire& w : wires) {
      if (w.OnWire.size() < FifoSize && w.Held.size() < HeldLimit)
        fds[n++] = {w.From, POLLIN, 0};
      if (!w.Held.empty())
        fds[n++] = {w.To, POLLOUT, 0};
      wake = std::min(wake, NextDelivery(w));
    }
    // The trace is written out whenever the line has a quiet moment, so that a harness reading
    // it after a transfer finds every delivery.
    if (Trace && wake - Clock::now() > std::chrono::milliseconds(2))
      std::fflush(Trace);
    timespec timeout {1, 0};
    if (wake != Clock::time_point::max()) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wake - Clock::now()).count();
      timeout = ns <= 0 ? timespec {0, 0} : timespec {time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
    }
    if (ppoll(fds, n, &timeout, &waiting) < 0 && errno != EINTR)
      break;
    for (nfds_t i = 0; i < n; ++i)
      if ((fds[i].revents & (POLLHUP | POLLERR)) && fds[i].fd == dev)
        up = false;   // the device's end closed: the emulator has gone
  }
  if (Trace)
    std::fclose(Trace);
  std::fprintf(stderr, "line_relay: to the device %llu bytes, from it %llu bytes; held at most %zu and %zu\n",
               static_cast<unsigned long long>(wires[0].Carried), static_cast<unsigned long long>(wires[1].Carried),
               wires[0].HeldMost, wires[1].HeldMost);
  return 0;
}
