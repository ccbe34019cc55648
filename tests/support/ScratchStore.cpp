#include "tests/support/ScratchStore.h"

#include <cerrno>
#include <cstdlib>
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
  for (const auto& [name, value] : {std::pair<const char*, std::string>("XDG_CONFIG_HOME", RootDir),
                                    {"KALVIX_LOCK_DIR", LockDir()},
                                    {"KALVIX_CONSOLE_LIST", ConsoleList()}}) {
    const char* old = std::getenv(name);
    SavedEnvironment.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
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
  const std::string link = StoreDir() + "/ports/COM" + std::to_string(n);
  std::filesystem::remove(link);
  std::filesystem::create_symlink(target, link);
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
  for (std::size_t done = 0; done < data.size();) {
    const ssize_t n = write(MasterFd, data.data() + done, data.size() - done);
    if (n > 0)
      done += std::size_t(n);
    else if (n == 0 || errno != EINTR)
      return false;
  }
  return true;
}

std::string TPty::Receive(std::size_t want, int timeoutMs) const
{
  std::string got;
  char buffer[4096];
  for (pollfd p {MasterFd, POLLIN, 0}; got.size() < want && poll(&p, 1, timeoutMs) > 0;) {
    const ssize_t n = read(MasterFd, buffer, std::min(sizeof buffer, want - got.size()));
    if (n <= 0)
      break;
    got.append(buffer, std::size_t(n));
  }
  return got;
}

void TPty::CloseMaster()
{
  close(std::exchange(MasterFd, -1));   // once: -1 is no descriptor
}
