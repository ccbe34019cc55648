#include "platform/SystemConsole.h"

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

bool IsSystemConsole(const std::string& devicePath)
{
  char real[PATH_MAX];
  const std::string path = realpath(devicePath.c_str(), real) ? std::string(real) : devicePath;
  const std::string name = path.substr(path.rfind('/') + 1);
  if (name.empty())
    return false;
  const char* list = std::getenv("KALVIX_CONSOLE_LIST");
  // One console a line, its kernel name first: "ttyS0  -W- (EC p a)  4:64".
  std::ifstream consoles(list && *list ? list : "/proc/consoles");
  std::string line;
  while (std::getline(consoles, line)) {
    std::string console;
    if (std::istringstream(line) >> console && console == name)
      return true;
  }
  return false;
}
