// Preloaded into a peer program (lrzsz) that runs on the far end of a pseudo-terminal: its
// flushes of the line do nothing. lrzsz purges its input right after each acknowledgement and
// flushes both ways after its last one. On a real line that catches only stale bytes: the
// other side's answer cannot be in transit yet, and its own last byte has left. A
// pseudo-terminal has no transit time, so there the flush eats the fresh answer or the
// acknowledgement itself, and the peer would not behave as on a line.
#include <cstdarg>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <termios.h>

extern "C" int tcflush(int, int)
{
  return 0;
}

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW
{
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (request == TCFLSH)
    return 0;
  static const auto next = reinterpret_cast<int (*)(int, unsigned long, ...)>(dlsym(RTLD_NEXT, "ioctl"));
  return next(fd, request, arg);
}
