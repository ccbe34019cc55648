#include "platform/UucpLock.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> LockDirectories()
{
  if (const char* dir = std::getenv("KALVIX_LOCK_DIR"); dir && *dir)
    return {dir};
  return {"/run/lock", "/var/lock"};
}

// The device's name as lock files use it: the last part of its real path.
std::string DeviceName(const std::string& devicePath)
{
  char real[PATH_MAX];
  const std::string path = realpath(devicePath.c_str(), real) ? std::string(real) : devicePath;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsBlank(char c)
{
  return c == ' ' || c == '\t' || c == '\n';
}

// The text form: blanks, the decimal pid, then the end or a blank (some programs add their
// name and user after it). 0 when the text is no such number.
pid_t TextPid(const char* text, std::size_t n)
{
  std::size_t i = 0;
  while (i < n && IsBlank(text[i]))
    ++i;
  long pid = 0;
  const std::size_t digits = i;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
    if ((pid = pid * 10 + (text[i] - '0')) > INT_MAX)
      return 0;
  return i > digits && (i == n || IsBlank(text[i])) ? pid_t(pid) : 0;
}

// The process id a lock file holds: text (ten digits and a newline is the usual form), or the
// old binary int of four bytes. Four bytes that are all digits and blanks are text: a binary
// pid always has a zero byte, pids being far below 2^24.
pid_t ReadPid(const std::string& file)
{
  // Non-blocking and without following links: a FIFO or a link planted in the world-writable
  // lock directory must neither hang us nor make us read elsewhere. Such a file, or one we
  // cannot read, counts as held: it may stand for a live holder we cannot see, and taking the
  // port would break that holder's line, while leaving it costs no more than a planted lock
  // file naming a live process costs anyway.
  const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT ? 0 : TUucpLock::Unreadable;
  struct stat st {};
  char text[64] = {};
  ssize_t n = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
    while ((n = read(fd, text, sizeof text)) < 0 && errno == EINTR) {
    }
  close(fd);
  if (n < 0)
    return TUucpLock::Unreadable;
  const std::size_t size = std::size_t(n);
  bool allText = true;
  for (std::size_t i = 0; i < size; ++i)
    allText = allText && (IsBlank(text[i]) || (text[i] >= '0' && text[i] <= '9'));
  if (size == 4 && !allText) {
    int binary = 0;
    static_assert(sizeof binary == 4);
    std::memcpy(&binary, text, 4);
    return binary > 0 ? pid_t(binary) : 0;
  }
  return TextPid(text, size);
}

bool Alive(pid_t pid)
{
  return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

// A lock file's holder as read, when it holds nothing: no file, no pid, a dead process, or us
// (a file naming us that we did not make, left by an earlier process with our pid).
bool Stale(pid_t pid)
{
  return pid != TUucpLock::Unreadable && (pid == 0 || pid == getpid() || !Alive(pid));
}

// The lock files this process has made, for the ways out that skip their owners' release:
// exit() from anywhere and the fatal signals. Fixed in size and written without allocation,
// since a signal handler reads it; an entry is complete before it is marked taken.
struct THeldLock {
  enum : int { Free, Filling, Taken };
  std::atomic<int> State {Free};
  pid_t Owner = 0;   // a child after fork() inherits the table, not the files
  dev_t Device = 0;
  ino_t Inode = 0;
  char Path[PATH_MAX] = {};
};
THeldLock HeldLocks[8];

// The signals of a fault, whose default action ends the process with a core dump. The first four
// come again, once the handler returns, from the instruction that raised them.
constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT, SIGTRAP, SIGSYS, SIGXCPU, SIGXFSZ};
constexpr std::size_t Refaulting = 4;
struct sigaction PreviousActions[std::size(FatalSignals)];

// Removes the lock file of an entry of ours if the file at its name is still the one we made
// (someone may have taken a lock there since ours went). True when it is gone, or not ours.
// Only calls that are safe in a signal handler.
bool RemoveIfOurs(const THeldLock& held)
{
  if (held.Owner != getpid())
    return true;
  struct stat st {};
  if (lstat(held.Path, &st) != 0)
    return errno == ENOENT;
  if (st.st_dev != held.Device || st.st_ino != held.Inode)
    return true;
  return unlink(held.Path) == 0 || errno == ENOENT;
}

void RemoveHeldLocks()
{
  for (const THeldLock& held : HeldLocks)
    if (held.State.load(std::memory_order_acquire) == THeldLock::Taken)
      RemoveIfOurs(held);
}

void OnFatalSignal(int signal, siginfo_t* info, void*)
{
  const int saved = errno;
  RemoveHeldLocks();
  bool refaults = false;
  for (std::size_t i = 0; i < std::size(FatalSignals); ++i)
    if (FatalSignals[i] == signal) {
      sigaction(signal, &PreviousActions[i], nullptr);
      refaults = i < Refaulting && info->si_code > 0;
    }
  // The signal then takes its course as it would have without us (a sanitizer's report, a core
  // dump). One the processor raised comes again as the faulting instruction runs again; any
  // other (kill, abort, Ctrl-\, a breakpoint, a limit) is sent again, to arrive once this
  // handler returns.
  if (!refaults)
    raise(signal);
  errno = saved;
}

void InstallExitHooks()
{
  static bool installed = false;
  if (std::exchange(installed, true))
    return;
  std::atexit(RemoveHeldLocks);
  for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
    // One that is ignored (SIGXFSZ, for a write beyond the size limit to fail instead) ends nothing.
    if (sigaction(FatalSignals[i], nullptr, &PreviousActions[i]) != 0 || PreviousActions[i].sa_handler == SIG_IGN)
      continue;
    struct sigaction action {};
    action.sa_sigaction = OnFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(FatalSignals[i], &action, &PreviousActions[i]);
  }
}

// An entry for the lock file at path that will be the file made; -1 when none is free.
int Register(const std::string& path, const struct stat& made)
{
  if (path.size() >= sizeof HeldLocks[0].Path)
    return -1;
  InstallExitHooks();
  for (int i = 0; i < int(std::size(HeldLocks)); ++i) {
    THeldLock& held = HeldLocks[i];
    int free = THeldLock::Free;
    if (!held.State.compare_exchange_strong(free, THeldLock::Filling))
      continue;
    held.Owner = getpid();
    held.Device = made.st_dev;
    held.Inode = made.st_ino;
    std::memcpy(held.Path, path.c_str(), path.size() + 1);
    held.State.store(THeldLock::Taken, std::memory_order_release);
    return i;
  }
  return -1;
}

enum class TPlaced { Ours, Held, Unusable };

// Links the finished temporary to the lock's name, which fails while a lock file is there. One
// that holds nothing is moved aside to a name of ours and read again there, so that a fresh
// lock that took its place meanwhile is put back, never removed; then the link is tried once more.
TPlaced Place(const std::string& temporary, const std::string& lock, const std::string& aside)
{
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (link(temporary.c_str(), lock.c_str()) == 0)
      return TPlaced::Ours;
    if (errno != EEXIST)
      return TPlaced::Unusable;
    if (attempt > 0 || !Stale(ReadPid(lock)))
      return TPlaced::Held;
    if (rename(lock.c_str(), aside.c_str()) != 0) {
      if (errno == ENOENT)
        continue;                 // gone meanwhile
      return TPlaced::Unusable;   // one we may not remove (another user's, in a sticky directory)
    }
    const bool stale = Stale(ReadPid(aside));
    if (!stale && link(aside.c_str(), lock.c_str()) != 0) {
      // A lock made at the name meanwhile stands; the port is held either way.
    }
    unlink(aside.c_str());
    if (!stale)
      return TPlaced::Held;
  }
  return TPlaced::Held;
}

}   // namespace

pid_t TUucpLock::Holder(const std::string& devicePath)
{
  const std::string name = DeviceName(devicePath);
  for (const std::string& dir : LockDirectories()) {
    const pid_t pid = ReadPid(dir + "/LCK.." + name);
    if (pid == Unreadable || (pid != getpid() && Alive(pid)))
      return pid;
  }
  return 0;
}

bool TUucpLock::Acquire(const std::string& devicePath)
{
  if (Holder(devicePath) != 0)
    return false;
  const std::string name = DeviceName(devicePath);
  const std::string pid = std::to_string(getpid());
  for (const std::string& dir : LockDirectories()) {
    if (access(dir.c_str(), W_OK) != 0)
      continue;
    // Written in full under a name of ours first: a reader never sees the lock empty or in part,
    // which most programs would take for a stale lock and remove.
    const std::string temporary = dir + "/LTMP." + pid;
    unlink(temporary.c_str());   // left by an earlier process with our pid
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
      continue;
    char text[16];
    const int len = std::snprintf(text, sizeof text, "%10d\n", int(getpid()));
    struct stat made {};
    const bool written = write(fd, text, std::size_t(len)) == len && fstat(fd, &made) == 0;
    close(fd);
    // Entered before it is linked: a way out at any moment after finds it.
    const std::string lock = dir + "/LCK.." + name;
    Slot = written ? Register(lock, made) : -1;
    const TPlaced placed = Slot >= 0 ? Place(temporary, lock, dir + "/LOLD." + pid) : TPlaced::Unusable;
    unlink(temporary.c_str());
    if (placed != TPlaced::Ours && Slot >= 0)
      HeldLocks[std::exchange(Slot, -1)].State.store(THeldLock::Free, std::memory_order_release);
    if (placed == TPlaced::Held)
      return false;
    if (placed == TPlaced::Ours)
      break;
  }
  return true;
}

TUucpLock::~TUucpLock()
{
  // Compared by device and inode, not by reading it back: a read can fail (no descriptor left at
  // exit), and a lock not removed outlives us. One that cannot be removed stays entered, for the
  // way out to try again.
  if (Slot >= 0 && RemoveIfOurs(HeldLocks[Slot]))
    HeldLocks[Slot].State.store(THeldLock::Free, std::memory_order_release);
}
