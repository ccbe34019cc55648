#include "tests/support/ScratchStore.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

TScratchStore::TScratchStore()
{
  char pattern[] = "/tmp/kalvix-test-XXXXXX";
  if (!mkdtemp(pattern))
    throw std::runtime_error("mkdtemp failed");
  RootDir = pattern;
  for (const auto& [name, value] : {std::pair(std::string("XDG_CONFIG_HOME"), RootDir),
                                    std::pair(std::string("KALVIX_LOCK_DIR"), LockDir()),
                                    std::pair(std::string("KALVIX_CONSOLE_LIST"), ConsoleList())}) {
    const char* old = std::getenv(name.c_str());
    SavedEnvironment.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name.c_str(), value.c_str(), 1);
  }
  std::filesystem::create_directories(StoreDir() + "/ports");
  std::filesystem::create_directories(LockDir());
  std::ofstream {ConsoleList()};
  for (int n = 1; n <= 4; ++n)
    LinkPort(n, RootDir + "/no-such-device");
}

TScratchStore::~TScratchStore()
{
  std::error_code ec;
  std::filesystem::permissions(StoreDir(), std::filesystem::perms::owner_all, ec);
  std::filesystem::remove_all(RootDir, ec);
  for (const auto& [name, old] : SavedEnvironment)
    old ? setenv(name.c_str(), old->c_str(), 1) : unsetenv(name.c_str());
}

void TScratchStore::LinkPort(int n, const std::string& target) const
{
  UnlinkPort(n);
  std::filesystem::create_symlink(target, StoreDir() + "/ports/COM" + std::to_string(n));
}

void TScratchStore::UnlinkPort(int n) const
{
  std::error_code ec;
  std::filesystem::remove(StoreDir() + "/ports/COM" + std::to_string(n), ec);
}

TPty::TPty()
{
  if (openpty(&MasterFd, &SlaveFd, nullptr, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  // Raw from the driver's defaults, so the control characters (XON, XOFF) keep their values.
  termios raw {};
  tcgetattr(SlaveFd, &raw);
  cfmakeraw(&raw);
  tcsetattr(SlaveFd, TCSANOW, &raw);
  tcsetattr(MasterFd, TCSANOW, &raw);
  Path = ttyname(SlaveFd);
}

TPty::~TPty()
{
  CloseMaster();
  close(SlaveFd);
}

bool TPty::Send(const std::string& data) const
{
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(MasterFd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += std::size_t(n);
  }
  return true;
}

std::string TPty::Receive(std::size_t want, int timeoutMs) const
{
  std::string got;
  char buffer[4096];
  while (got.size() < want) {
    pollfd p {MasterFd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0)
      break;
    const ssize_t n = read(MasterFd, buffer, std::min(sizeof buffer, want - got.size()));
    if (n <= 0)
      break;
    got.append(buffer, std::size_t(n));
  }
  return got;
}

void TPty::CloseMaster()
{
  if (MasterFd >= 0)
    close(MasterFd);
  MasterFd = -1;
}
