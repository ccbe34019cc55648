#include "tests/support/ScratchStore.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
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

std::string FileText(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
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

pid_t TPty::Spawn(const std::vector<std::string>& argv, const std::string& dir) const
{
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, MasterFd, 0);
  posix_spawn_file_actions_adddup2(&actions, MasterFd, 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  // The peer sees the line as a line (PeerLine.cpp).
  std::vector<char*> environment;
  for (char** e = environ; *e; ++e)
    environment.push_back(*e);
  static char preload[] = "LD_PRELOAD=" KALVIX_PEER_LINE;
  environment.push_back(preload);
  environment.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environment.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int TPty::Wait(pid_t pid, int timeoutMs, const std::function<void()>& meanwhile)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (int status = 0; pid > 0;) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    if (meanwhile)
      meanwhile();
    usleep(1000);
  }
  return -1;
}
