#include "platform/StoreDirectory.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

std::string StoreDirectory()
{
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg)
    return std::string(xdg) + "/kalvix";
  const char* home = std::getenv("HOME");
  std::string base;
  if (home && *home) {
    base = home;
  } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    base = pw->pw_dir;
  } else {
    base = "/tmp";
  }
  return base + "/.config/kalvix";
}

bool MakeDirectories(const std::string& path)
{
  if (path.empty())
    return false;
  for (std::size_t pos = 1;; ++pos) {
    pos = path.find('/', pos);
    const std::string part = path.substr(0, pos);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      return false;
    if (pos == std::string::npos)
      break;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
