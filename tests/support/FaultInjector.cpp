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
  const char* colon = text ? std::strchr(text, ':') : nullptr;
  if (!colon)
    return arming;
  for (int f = Open; f < Unarmed; ++f)
    if (std::strlen(FunctionNames[f]) == std::size_t(colon - text) &&
        std::strncmp(text, FunctionNames[f], colon - text) == 0)
      arming.Function = TFunction(f);
  char* end = nullptr;
  arming.Error = int(std::strtol(colon + 1, &end, 10));
  if (*end == ':')
    arming.Nth = std::strtol(end + 1, &end, 10);
  if (*end == ':')
    std::snprintf(arming.Filter, sizeof arming.Filter, "%s", end + 1);
  if (arming.Error <= 0 || arming.Nth <= 0)
    arming.Function = Unarmed;
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

// The mode of an open that creates, from its variable arguments.
#define KALVIX_OPEN_MODE(flags)                                                                                        \
  mode_t mode = 0;                                                                                                     \
  if ((flags) & (O_CREAT | O_TMPFILE)) {                                                                               \
    va_list args;                                                                                                      \
    va_start(args, flags);                                                                                             \
    mode = mode_t(va_arg(args, int));                                                                                  \
    va_end(args);                                                                                                      \
  }

}   // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
  KALVIX_OPEN_MODE(flags)
  static const auto next = Next<int (*)(const char*, int, ...)>("open");
  return Strike(Open, path) ? Fail() : next(path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
  KALVIX_OPEN_MODE(flags)
  static const auto next = Next<int (*)(const char*, int, ...)>("open64");
  return Strike(Open, path) ? Fail() : next(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...)
{
  KALVIX_OPEN_MODE(flags)
  static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
  return Strike(Open, path) ? Fail() : next(dir, path, flags, mode);
}

int openat64(int dir, const char* path, int flags, ...)
{
  KALVIX_OPEN_MODE(flags)
  static const auto next = Next<int (*)(int, const char*, int, ...)>("openat64");
  return Strike(Open, path) ? Fail() : next(dir, path, flags, mode);
}

ssize_t read(int fd, void* buffer, size_t count)
{
  static const auto next = Next<ssize_t (*)(int, void*, size_t)>("read");
  return StrikeFd(Read, fd) ? Fail() : next(fd, buffer, count);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset)
{
  static const auto next = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
  return StrikeFd(Read, fd) ? Fail() : next(fd, buffer, count, offset);
}

ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset)
{
  static const auto next = Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64");
  return StrikeFd(Read, fd) ? Fail() : next(fd, buffer, count, offset);
}

ssize_t write(int fd, const void* buffer, size_t count)
{
  static const auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
  return StrikeFd(Write, fd) ? Fail() : next(fd, buffer, count);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset)
{
  static const auto next = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  return StrikeFd(Pwrite, fd) ? Fail() : next(fd, buffer, count, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off64_t offset)
{
  static const auto next = Next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
  return StrikeFd(Pwrite, fd) ? Fail() : next(fd, buffer, count, offset);
}

int fdatasync(int fd)
{
  static const auto next = Next<int (*)(int)>("fdatasync");
  return StrikeFd(Fdatasync, fd) ? Fail() : next(fd);
}

int unlink(const char* path) __THROW
{
  static const auto next = Next<int (*)(const char*)>("unlink");
  return Strike(Unlink, path) ? Fail() : next(path);
}

int unlinkat(int dir, const char* path, int flags) __THROW
{
  static const auto next = Next<int (*)(int, const char*, int)>("unlinkat");
  return Strike(Unlink, path) ? Fail() : next(dir, path, flags);
}

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

int flock(int fd, int operation) __THROW
{
  static const auto next = Next<int (*)(int, int)>("flock");
  return StrikeFd(Flock, fd) ? Fail() : next(fd, operation);
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
