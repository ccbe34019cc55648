#include "platform/UucpLock.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
  for (const std::string& dir : LockDirectories()) {
    if (access(dir.c_str(), W_OK) != 0)
      continue;
    const std::string file = dir + "/LCK.." + name;
    unlink(file.c_str());   // stale: it names no live process (checked above)
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
      continue;
    char text[16];
    const int len = std::snprintf(text, sizeof text, "%10d\n", int(getpid()));
    const bool written = write(fd, text, std::size_t(len)) == len;
    close(fd);
    if (written)
      File = file;
    else
      unlink(file.c_str());
    break;
  }
  return true;
}

TUucpLock::~TUucpLock()
{
  if (!File.empty() && ReadPid(File) == getpid())
    unlink(File.c_str());
}
