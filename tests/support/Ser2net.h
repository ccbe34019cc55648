#pragma once
// A real ser2net serving a pseudo-terminal the test holds, over RFC 2217 on 127.0.0.1. Its
// configuration comes on its command line (no configuration file of the machine is read), it
// makes no lock files and it dies with the test process; the object stops it.
#include "tests/support/Child.h"

#include <memory>
#include <string>

class TSer2net {
public:
  // Serves device on a free port of 127.0.0.1; Url() is empty when ser2net would not start.
  explicit TSer2net(const std::string& device);
  TSer2net(const TSer2net&) = delete;
  TSer2net& operator=(const TSer2net&) = delete;

  // rfc2217://127.0.0.1:PORT, as a COM link names it.
  std::string Url() const;
  // The running ser2net, -1 when it is not running.
  pid_t Process() const { return Server ? Server->Pid() : -1; }
  // Starts it again on the same port: true once it takes connections (within 5 s).
  bool Start();
  // Kills it, and waits for it to end.
  void Stop() { Server.reset(); }

private:
  std::string Device;
  int Port = 0;
  std::unique_ptr<TChild> Server;
};
