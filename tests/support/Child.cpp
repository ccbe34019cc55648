#include "tests/support/Child.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

// In the child, first: system calls only, as the test may have threads that held locks.
void AsAShellStartsIt()
{
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  for (int s = 1; s < NSIG; ++s)
    signal(s, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  const rlimit noCore {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
}

}   // namespace

TChild::TChild(const std::vector<std::string>& argv, int in, int out, int err, const std::string& dir,
               const std::vector<std::string>& env)
{
  // Everything the child needs is made before the fork.
  std::vector<char*> args, environment;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  for (const std::string& set : env)
    environment.push_back(const_cast<char*>(set.c_str()));
  for (char** e = environ; *e; ++e)
    if (std::none_of(env.begin(), env.end(),
                     [e](const std::string& set) { return std::strncmp(*e, set.c_str(), set.find('=') + 1) == 0; }))
      environment.push_back(*e);
  args.push_back(nullptr);
  environment.push_back(nullptr);
  if ((Id = fork()) != 0)
    return;
  AsAShellStartsIt();
  const int io[3] = {in, out, err};
  for (int fd = 0; fd < 3; ++fd)
    if (io[fd] != Inherit)
      dup2(io[fd] == Discard ? open("/dev/null", O_RDWR) : io[fd], fd);
  close_range(3, ~0U, 0);
  if (dir.empty() || chdir(dir.c_str()) == 0)
    execvpe(args[0], args.data(), environment.data());
  _exit(127);
}

TChild::TChild(const std::function<int()>& body) : Id(fork())
{
  if (Id == 0)
    AsAShellStartsIt(), _exit(body());
}

TChild::~TChild()
{
  if (Id > 0)
    kill(Id, SIGKILL), waitpid(Id, nullptr, 0);
}

std::string TChild::Wait(int timeoutMs, const std::function<void()>& meanwhile)
{
  const pid_t pid = std::exchange(Id, -1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (int status = 0; pid > 0; usleep(1000)) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                               : "signal " + std::to_string(WTERMSIG(status));
    if (std::chrono::steady_clock::now() > end)
      return kill(pid, SIGKILL), waitpid(pid, nullptr, 0), "hung";
    if (meanwhile)
      meanwhile();
  }
  return "none";
}
