#include "tests/support/Ser2net.h"

#include "platform/Rfc2217Device.h"

#include <netinet/in.h>
#include <sys/socket.h>
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
  Server = std::make_unique<TChild>(std::vector<std::string> {"ser2net", "-n", "-u", "-Y", config}, TChild::Inherit,
                                    TChild::Discard, TChild::Discard);
  for (int tries = 0; Port && Server->Pid() > 0 && tries < 100; ++tries, usleep(50'000))
    if (RemotePortAnswers(Url(), std::chrono::milliseconds(50)))
      return;
  Port = 0;
}
