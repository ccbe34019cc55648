#pragma once
// A real ser2net serving a pseudo-terminal the test holds, over RFC 2217 on 127.0.0.1. Its
// configuration comes on its command line (no configuration file of the machine is read), it
// makes no lock files and it dies with the test process; the object stops it.
#include "tests/support/Child.h"

#include <memory>
#include <string>

class TSer2net {
public:
  // Serves device on a free port of 127.0.0.1; Url() is empty when ser2net would not start
  // (within 5 s).
  explicit TSer2net(const std::string& device);

  // rfc2217://127.0.0.1:PORT, as a COM link names it.
  std::string Url() const { return Port ? "rfc2217://127.0.0.1:" + std::to_string(Port) : std::string(); }
  // The running ser2net.
  pid_t Process() const { return Server->Pid(); }

private:
  int Port = 0;
  std::unique_ptr<TChild> Server;
};
