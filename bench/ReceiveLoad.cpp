// Receive load run: a pseudo-terminal is fed at a steady rate while TComPort::Poll runs every
// 100 ms, and again at once while the line streams, as the terminal window does. The received
// stream is checked byte for byte against the sent sequence.
//
//   receive_load [rate-bytes-per-s [seconds]]   one run (default 25600 B/s for 12 s)
//   receive_load --max                          highest rate kept up without loss
//   receive_load --away [seconds]               polling a device that has gone (default 10 s),
//                                               then taking up a new one under the same name
//   receive_load --ser2net [rate [seconds]]     one run with COM1 a remote port: a ser2net on
//                                               127.0.0.1 serves the pseudo-terminal
#include "serial/TComPort.h"
#include "tests/support/Ser2net.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::uint8_t SequenceByte(std::uint64_t i)
{
  return std::uint8_t((i * 131 + (i >> 8)) % 251);
}

class TChecker : public TMessageTarget {
public:
  LRESULT ReceiveMessage(UINT msg, WPARAM count, LPARAM bytes) override
  {
    if (msg != WM_USER)
      return 0;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes);
    for (WPARAM i = 0; i < count; ++i, ++Received)
      if (p[i] != SequenceByte(Received) && Mismatch < 0)
        Mismatch = std::int64_t(Received);
    ++Messages;
    return 0;
  }
  std::uint64_t Received = 0;
  std::uint64_t Messages = 0;
  std::int64_t Mismatch = -1;
};

double ThreadCpuSeconds()
{
  timespec ts {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct TResult {
  std::uint64_t Sent = 0, Received = 0, Messages = 0;
  std::int64_t Mismatch = -1;
  double Seconds = 0, MaxLagMs = 0, CpuSeconds = 0, ServerCpuSeconds = -1;
  bool Clean() const { return Sent == Received && Mismatch < 0 && MaxLagMs < 250; }
};

void OpenPty(int& master, int& slave)
{
  termios raw {};
  cfmakeraw(&raw);
  if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
    std::perror("openpty");
    std::exit(1);
  }
}

// The tick's poll, and the polls the terminal makes before the next tick while the line
// streams (TComPort::DrainDelay).
void PollAsTheTerminal(TComPort& port, Clock::time_point tick)
{
  port.Poll();
  for (bool draining = false;; draining = true) {
    const std::chrono::milliseconds delay = port.DrainDelay(draining);
    if (delay.count() < 0 || Clock::now() + delay >= tick + std::chrono::milliseconds(100))
      return;
    std::this_thread::sleep_for(delay);
    port.Poll();
  }
}

// Makes COM1 of the scratch store name the slave: no real port is ever touched.
void LinkCom1(const char* dir, int slave)
{
  const std::string link = std::string(dir) + "/kalvix/ports/COM1";
  std::filesystem::remove(link);
  std::filesystem::create_symlink(ttyname(slave), link);
}

// User and system CPU seconds of a process so far.
double ProcessCpuSeconds(pid_t pid)
{
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::size_t at = text.rfind(')');
  unsigned long long user = 0, system = 0;
  if (at == std::string::npos ||
      std::sscanf(text.c_str() + at + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) != 2)
    return -1;
  return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

TResult Run(std::uint64_t rate, double seconds, bool remote = false)
{
  TResult r;
  int master = -1, slave = -1;
  OpenPty(master, slave);
  char dir[] = "/tmp/kalvix-bench-XXXXXX";
  if (!mkdtemp(dir))
    std::exit(1);
  setenv("XDG_CONFIG_HOME", dir, 1);
  std::filesystem::create_directories(std::string(dir) + "/kalvix/ports");
  LinkCom1(dir, slave);
  std::optional<TSer2net> server;
  if (remote) {
    server.emplace(ttyname(slave));
    std::filesystem::remove(std::string(dir) + "/kalvix/ports/COM1");
    std::filesystem::create_symlink(server->Url(), std::string(dir) + "/kalvix/ports/COM1");
  }

  TChecker checker;
  TComPort port;
  if (port.Open(&checker, 1, 1024, 1024) != 1 || port.Configure(256000, 8, 0, 0, 0, 1, 1, 0, 0) != 0) {
    std::fprintf(stderr, "cannot open the pseudo-terminal as COM1\n");
    std::exit(1);
  }
  // The server purges its input when told to by Configure: the feed starts after that.
  for (int i = 0; remote && i < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    port.Poll();
  }
  const double serverCpu0 = remote ? ProcessCpuSeconds(server->Process()) : 0;

  std::atomic<bool> done {false};
  std::atomic<double> maxLag {0};
  const auto start = Clock::now();
  std::thread feeder([&] {
    // 10 ms slices: the bytes due by now go out, so a blocked writer shows up as lag.
    std::uint64_t sent = 0;
    const std::uint64_t total = std::uint64_t(double(rate) * seconds);
    std::uint8_t chunk[65536];
    while (sent < total) {
      const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      const std::uint64_t due = std::min<std::uint64_t>(total, std::uint64_t(elapsed * double(rate)));
      if (due > sent) {
        const std::uint64_t n = std::min<std::uint64_t>(due - sent, sizeof chunk);
        for (std::uint64_t i = 0; i < n; ++i)
          chunk[i] = SequenceByte(sent + i);
        std::uint64_t off = 0;
        while (off < n) {
          const ssize_t w = write(master, chunk + off, n - off);
          if (w <= 0)
            break;
          off += std::uint64_t(w);
        }
        sent += off;
        const double lagMs =
          (std::chrono::duration<double>(Clock::now() - start).count() - double(sent) / double(rate)) * 1000;
        if (lagMs > maxLag)
          maxLag = lagMs;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    r.Sent = sent;
    done = true;
  });

  const double cpu0 = ThreadCpuSeconds();
  auto tick = Clock::now();
  auto drainedBy = Clock::time_point::max();
  while (true) {
    tick += std::chrono::milliseconds(100);
    std::this_thread::sleep_until(tick);
    PollAsTheTerminal(port, tick);
    if (done && drainedBy == Clock::time_point::max())
      drainedBy = Clock::now() + std::chrono::seconds(2);
    if (done && (checker.Received >= r.Sent || Clock::now() > drainedBy))
      break;
  }
  r.CpuSeconds = ThreadCpuSeconds() - cpu0;
  if (remote) {
    r.ServerCpuSeconds = ProcessCpuSeconds(server->Process()) - serverCpu0;
    server.reset();
  }
  r.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
  feeder.join();
  r.Received = checker.Received;
  r.Messages = checker.Messages;
  r.Mismatch = checker.Mismatch;
  r.MaxLagMs = maxLag;
  port.Close();
  close(master);
  close(slave);
  std::filesystem::remove_all(dir);
  return r;
}

// The device goes away (its master closes, as a USB adapter's node goes when it is pulled);
// the port is polled every 100 ms for the given time, then a new device appears under COM1.
int Away(double seconds)
{
  int master = -1, slave = -1;
  OpenPty(master, slave);
  char dir[] = "/tmp/kalvix-bench-XXXXXX";
  if (!mkdtemp(dir))
    return 1;
  setenv("XDG_CONFIG_HOME", dir, 1);
  std::filesystem::create_directories(std::string(dir) + "/kalvix/ports");
  LinkCom1(dir, slave);
  TChecker checker;
  TComPort port;
  if (port.Open(&checker, 1, 1024, 1024) != 1 || port.Configure(9600, 8, 0, 0, 0, 1, 1, 0, 0) != 0)
    return 1;
  close(master);
  close(slave);
  port.Poll();   // finds it gone

  const int polls = int(seconds * 10);
  const double cpu0 = ThreadCpuSeconds();
  auto tick = Clock::now();
  for (int i = 0; i < polls; ++i) {
    tick += std::chrono::milliseconds(100);
    std::this_thread::sleep_until(tick);
    PollAsTheTerminal(port, tick);
    port.GetModemStatus();
    port.Write("x", 1);   // a send step running on
  }
  const double cpu = ThreadCpuSeconds() - cpu0;

  OpenPty(master, slave);
  const auto back = Clock::now();
  LinkCom1(dir, slave);
  int ticks = 0;
  while (port.Write("y", 1) != 0 && ticks < 50) {
    tick = Clock::now() + std::chrono::milliseconds(100);
    std::this_thread::sleep_until(tick);
    PollAsTheTerminal(port, tick);
    ++ticks;
  }
  char got = 0;
  const bool takenUp = ticks < 50 && read(master, &got, 1) == 1 && got == 'y';
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - back).count();
  std::printf("device away %.0f s: %d polls, CPU %.1f ms (%.1f us a poll); new device taken up after %d poll(s), "
              "%.0f ms: %s\n",
              seconds, polls, cpu * 1e3, cpu * 1e6 / polls, ticks, ms, takenUp ? "OK" : "FAILED");
  port.Close();
  close(master);
  close(slave);
  std::filesystem::remove_all(dir);
  return takenUp ? 0 : 1;
}

void Print(std::uint64_t rate, const TResult& r)
{
  const double mb = double(r.Received) / 1e6;
  std::printf(
    "rate %7llu B/s: sent %9llu  received %9llu  lost %lld  first mismatch %lld  messages %llu\n"
    "                  delivered %.0f B/s over %.1f s, feeder lag max %.0f ms, poll CPU %.3f s = %.3f s/MB  %s\n",
    (unsigned long long)rate, (unsigned long long)r.Sent, (unsigned long long)r.Received,
    (long long)r.Sent - (long long)r.Received, (long long)r.Mismatch, (unsigned long long)r.Messages,
    double(r.Received) / r.Seconds, r.Seconds, r.MaxLagMs, r.CpuSeconds, mb > 0 ? r.CpuSeconds / mb : 0.0,
    r.Clean() ? "OK" : "FAILED");
  if (r.ServerCpuSeconds >= 0)
    std::printf("                  ser2net CPU %.3f s = %.3f s/MB\n", r.ServerCpuSeconds,
                mb > 0 ? r.ServerCpuSeconds / mb : 0.0);
}

}   // namespace

int main(int argc, char** argv)
{
  if (argc > 1 && std::string(argv[1]) == "--away")
    return Away(argc > 2 ? std::strtod(argv[2], nullptr) : 10);
  if (argc > 1 && std::string(argv[1]) == "--ser2net") {
    const std::uint64_t rate = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 25600;
    const TResult r = Run(rate, argc > 3 ? std::strtod(argv[3], nullptr) : 12, true);
    Print(rate, r);
    return r.Clean() ? 0 : 1;
  }
  if (argc > 1 && std::string(argv[1]) == "--max") {
    std::uint64_t best = 0;
    for (std::uint64_t rate = 25600; rate <= 6553600; rate *= 2) {   // the feeder's most: 64 KB a slice
      const TResult r = Run(rate, 10);
      Print(rate, r);
      if (!r.Clean())
        break;
      best = rate;
    }
    // Refine between the last good rate and the first bad one.
    for (std::uint64_t step = best / 4; best > 0 && step >= 6400; step /= 2) {
      const TResult r = Run(best + step, 10);
      Print(best + step, r);
      if (r.Clean())
        best += step;
    }
    std::printf("highest rate without loss: %llu B/s\n", (unsigned long long)best);
    return best >= 25600 ? 0 : 1;
  }
  const std::uint64_t rate = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 25600;
  const double seconds = argc > 2 ? std::strtod(argv[2], nullptr) : 12;
  const TResult r = Run(rate, seconds);
  Print(rate, r);
  return r.Clean() ? 0 : 1;
}
