#include "platform/QuitSignals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace {

int Pipe[2] = {-1, -1};

void OnQuitSignal(int signal)
{
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  (void)!write(Pipe[1], &byte, 1);   // a full pipe already holds a quit
  errno = saved;
}

// A signal ignored or handled already (by whoever started us, or a library) is left as it is.
void Catch(int signal)
{
  struct sigaction old {};
  if (sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL)
    return;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}   // namespace

int CatchQuitSignals()
{
  if (Pipe[0] >= 0)
    return Pipe[0];
  std::signal(SIGPIPE, SIG_IGN);
  if (pipe2(Pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    Pipe[0] = Pipe[1] = -1;
    return -1;
  }
  for (const int signal :
       {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSTKFLT})
    Catch(signal);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
    Catch(signal);
  return Pipe[0];
}
