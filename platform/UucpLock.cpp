#include "platform/UucpLock.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const LockDirectories[] = {"/run/lock", "/var/lock"};

// The device's name as lock files use it: the last part of its real path.
std::string DeviceName(const std::string& devicePath)
{
  char real[PATH_MAX];
  const std::string path = realpath(devicePath.c_str(), real) ? std::string(real) : devicePath;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process id a lock file holds: ten ASCII digits (the usual form) or a binary int.
pid_t ReadPid(const std::string& file)
{
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0)
    return 0;
  char text[64] = {};
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n == 4) {
    int binary = 0;
    static_assert(sizeof binary == 4);
    __builtin_memcpy(&binary, text, 4);
    if (binary > 0)
      return pid_t(binary);
  }
  if (n <= 0)
    return 0;
  const long pid = std::strtol(text, nullptr, 10);
  return pid > 0 && pid <= INT_MAX ? pid_t(pid) : 0;
}

bool Alive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

} // namespace

pid_t TUucpLock::Holder(const std::string& devicePath)
{
  const std::string name = DeviceName(devicePath);
  for (const char* dir : LockDirectories) {
    const pid_t pid = ReadPid(std::string(dir) + "/LCK.." + name);
    if (pid != getpid() && Alive(pid))
      return pid;
  }
  return 0;
}

bool TUucpLock::Acquire(const std::string& devicePath)
{
  if (Holder(devicePath) != 0)
    return false;
  const std::string name = DeviceName(devicePath);
  for (const char* dir : LockDirectories) {
    if (access(dir, W_OK) != 0)
      continue;
    const std::string file = std::string(dir) + "/LCK.." + name;
    unlink(file.c_str());   // stale: its process is gone (checked above)
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
