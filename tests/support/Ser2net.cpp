#include "tests/support/Ser2net.h"

#include "platform/Rfc2217Device.h"

#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

TSer2net::TSer2net(const std::string& device)
{
  // A port nobody listens on now; ser2net takes it a moment later.
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(probe, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    Port = ntohs(address.sin_port);
  close(probe);
  // '#' ends a line of -Y. "local": a pseudo-terminal has no modem lines to wait for.
  const std::string config = "connection: &c#  accepter: telnet(rfc2217),tcp,127.0.0.1," + std::to_string(Port) +
                             "#  connector: serialdev," + device + ",9600n81,local";
  Pid = Port ? fork() : -1;
  if (Pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, 1);
    dup2(quiet, 2);
    execlp("ser2net", "ser2net", "-n", "-u", "-Y", config.c_str(), nullptr);
    _exit(127);
  }
  int tries = 0;
  for (; Pid > 0 && tries < 100 && !RemotePortAnswers(Url(), std::chrono::milliseconds(50)); ++tries)
    usleep(50'000);
  Port = Pid > 0 && tries < 100 ? Port : 0;
}

TSer2net::~TSer2net()
{
  if (Pid > 0) {
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
  }
}

std::string TSer2net::Url() const
{
  return Port ? "rfc2217://127.0.0.1:" + std::to_string(Port) : std::string();
}
