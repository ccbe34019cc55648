#include "tests/support/FaultInjector.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

enum TFunction { Open, Read, Write, Pwrite, Fdatasync, Unlink, Close, Ioctl, Flock, Poll, Unarmed };
constexpr const char* FunctionNames[] = {"open",   "read",  "write", "pwrite", "fdatasync",
                                         "unlink", "close", "ioctl", "flock",  "poll"};

struct TArming {
  TFunction Function = Unarmed;
  int Error = 0;
  long Nth = 0;
  char Filter[256] = {};
};

// Parsed once, from the environment only: nothing here calls a function defined below.
TArming Parse(const char* text)
{
  TArming arming;
  char name[16] = {};
  if (!text || std::sscanf(text, "%15[a-z]:%d:%ld:%255[^\n]", name, &arming.Error, &arming.Nth, arming.Filter) < 3 ||
      arming.Error <= 0 || arming.Nth <= 0)
    return arming;
  for (int f = Open; f < Unarmed; ++f)
    if (std::strcmp(name, FunctionNames[f]) == 0)
      arming.Function = TFunction(f);
  return arming;
}

const TArming& Armed()
{
  static const TArming arming = Parse(std::getenv(FaultVariable));
  return arming;
}

std::atomic<long> Matches {0};

template <class F> F Next(const char* name)
{
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Whether this call is the one to fail: of the armed function, its path holding the filter,
// and the Nth such call. The firing is told on stderr through the next write, never our own.
bool Strike(TFunction function, const char* path)
{
  const TArming& armed = Armed();
  if (armed.Function != function || (armed.Filter[0] && (!path || !std::strstr(path, armed.Filter))))
    return false;
  const long n = ++Matches;
  if (n != armed.Nth)
    return false;
  char line[512];
  const int length = std::snprintf(line, sizeof line, "%s %s errno %d call %ld on %s\n", FaultFiredLine,
                                   FunctionNames[function], armed.Error, n, path ? path : "?");
  static const auto write = Next<ssize_t (*)(int, const void*, size_t)>("write");
  (void)!write(2, line, std::size_t(std::min<int>(length, sizeof line - 1)));
  return true;
}

// The path a descriptor is open on, read only while its function is armed: readlink is no
// function of ours, so the look-up cannot come back here.
bool Path(int fd, char (&path)[256])
{
  char link[32];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = readlink(link, path, sizeof path - 1);
  path[n > 0 ? n : 0] = '\0';
  return n > 0;
}

bool StrikeFd(TFunction function, int fd)
{
  if (Armed().Function != function)
    return false;
  char path[256];
  return Strike(function, Path(fd, path) ? path : nullptr);
}

int Fail()
{
  errno = Armed().Error;
  return -1;
}

}   // namespace

// Each interposer goes on to the next definition of its name unless its call is the one to fail
// (params: its parameters, args: the next one's arguments, then __THROW where glibc declares it).
// An open's mode, when it creates, is in its variable arguments.
#define KALVIX_OPEN(name, params, args)                                                                                \
  int name params                                                                                                      \
  {                                                                                                                    \
    mode_t mode = 0;                                                                                                   \
    if (flags & (O_CREAT | O_TMPFILE)) {                                                                               \
      va_list more;                                                                                                    \
      va_start(more, flags);                                                                                           \
      mode = mode_t(va_arg(more, int));                                                                                \
      va_end(more);                                                                                                    \
    }                                                                                                                  \
    static const auto next = Next<int(*) params>(#name);                                                               \
    return Strike(Open, path) ? Fail() : next args;                                                                    \
  }
#define KALVIX_ON_PATH(function, type, name, params, args)                                                             \
  type name params __THROW                                                                                             \
  {                                                                                                                    \
    static const auto next = Next<type(*) params>(#name);                                                              \
    return Strike(function, path) ? Fail() : next args;                                                                \
  }
#define KALVIX_ON_FD(function, type, name, params, args, ...)                                                          \
  type name params __VA_ARGS__                                                                                         \
  {                                                                                                                    \
    static const auto next = Next<type(*) params>(#name);                                                              \
    return StrikeFd(function, fd) ? Fail() : next args;                                                                \
  }

extern "C" {

KALVIX_OPEN(open, (const char* path, int flags, ...), (path, flags, mode))
KALVIX_OPEN(open64, (const char* path, int flags, ...), (path, flags, mode))
KALVIX_OPEN(openat, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
KALVIX_OPEN(openat64, (int dir, const char* path, int flags, ...), (dir, path, flags, mode))
KALVIX_ON_FD(Read, ssize_t, read, (int fd, void* buffer, size_t count), (fd, buffer, count))
KALVIX_ON_FD(Read, ssize_t, pread, (int fd, void* buffer, size_t count, off_t at), (fd, buffer, count, at))
KALVIX_ON_FD(Read, ssize_t, pread64, (int fd, void* buffer, size_t count, off64_t at), (fd, buffer, count, at))
KALVIX_ON_FD(Write, ssize_t, write, (int fd, const void* buffer, size_t count), (fd, buffer, count))
KALVIX_ON_FD(Pwrite, ssize_t, pwrite, (int fd, const void* buffer, size_t count, off_t at), (fd, buffer, count, at))
KALVIX_ON_FD(Pwrite, ssize_t, pwrite64, (int fd, const void* buffer, size_t count, off64_t at), (fd, buffer, count, at))
KALVIX_ON_FD(Fdatasync, int, fdatasync, (int fd), (fd))
KALVIX_ON_FD(Flock, int, flock, (int fd, int operation), (fd, operation), __THROW)
KALVIX_ON_PATH(Unlink, int, unlink, (const char* path), (path))
KALVIX_ON_PATH(Unlink, int, unlinkat, (int dir, const char* path, int flags), (dir, path, flags))

int close(int fd)
{
  static const auto next = Next<int (*)(int)>("close");
  const bool strike = StrikeFd(Close, fd);   // before the descriptor, and its path, are gone
  const int result = next(fd);
  return strike ? Fail() : result;
}

int ioctl(int fd, unsigned long request, ...) __THROW
{
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  static const auto next = Next<int (*)(int, unsigned long, ...)>("ioctl");
  return StrikeFd(Ioctl, fd) ? Fail() : next(fd, request, arg);
}

int poll(pollfd* fds, nfds_t count, int timeout)
{
  static const auto next = Next<int (*)(pollfd*, nfds_t, int)>("poll");
  if (Armed().Function == Poll) {
    // One call, matched by the first of its descriptors whose path holds the filter.
    char path[256] = {};
    bool found = false;
    for (nfds_t i = 0; i < count && !found; ++i)
      found = Path(fds[i].fd, path) && (!Armed().Filter[0] || std::strstr(path, Armed().Filter));
    if (found && Strike(Poll, path))
      return Fail();
  }
  return next(fds, count, timeout);
}

}   // extern "C"
