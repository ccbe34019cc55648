#include "tests/support/Ser2net.h"

#include "platform/Rfc2217Device.h"
#include "tests/support/Rfc2217Peer.h"

#include <unistd.h>

TSer2net::TSer2net(const std::string& device)
{
  // A port nobody listens on once the peer that found it is gone; ser2net takes it a moment later.
  const std::string unused = TRfc2217Peer().Url();
  Port = std::stoi(unused.substr(unused.rfind(':') + 1));
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
