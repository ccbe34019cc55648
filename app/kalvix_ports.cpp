// kalvix-ports: shows the machine's serial devices and which of them COM1..COM4 name, and
// changes that mapping.
#include "platform/PortMap.h"
#include "platform/Rfc2217Device.h"
#include "platform/SerialDevice.h"
#include "platform/StoreDirectory.h"
#include "platform/UucpLock.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char Usage[] =
  "Usage: kalvix-ports                    list serial devices and the COM1..COM4 mapping\n"
  "       kalvix-ports map N DEVICE       let COMN name DEVICE (a terminal device, \"loopback\",\n"
  "                                       or a remote port rfc2217://HOST:PORT)\n"
  "       kalvix-ports unmap N            remove the mapping of COMN (it then means /dev/ttyS<N-1>)\n"
  "       kalvix-ports --help\n"
  "\n"
  "The mapping lives in $XDG_CONFIG_HOME/kalvix/ports (~/.config/kalvix/ports).\n";

int ComNumber(const char* text)
{
  std::string s = text;
  if (s.size() == 4 && (s.rfind("COM", 0) == 0 || s.rfind("com", 0) == 0))
    s = s.substr(3);
  return s.size() == 1 && s[0] >= '1' && s[0] <= '4' ? s[0] - '0' : 0;
}

int List()
{
  std::printf("Serial devices:\n");
  const auto devices = ListSerialDevices();
  if (devices.empty())
    std::printf("  (none found)\n");
  for (const TSerialDeviceInfo& d : devices)
    std::printf("  %s%s%s\n", d.Path.c_str(), d.Path == d.Target ? "" : " -> ",
                d.Path == d.Target ? "" : d.Target.c_str());
  std::printf("\nPorts (%s/ports):\n", StoreDirectory().c_str());
  for (int n = 1; n <= 4; ++n) {
    const TPortMapping m = ReadPortMapping(n);
    std::string state;
    if (m.Resolved == "loopback")
      state = "built-in loopback plug";
    else if (IsRemotePort(m.Resolved))
      state = RemotePortAnswers(m.Resolved, std::chrono::milliseconds(1000)) ? "remote, answers" : "remote, no answer";
    else if (m.Resolved.empty())
      state = "not present";
    else if (m.Holder == TUucpLock::Unreadable)
      state = m.Resolved + ", held (a lock file that cannot be read)";
    else if (m.Held)
      state = m.Resolved + ", held by process " + std::to_string(m.Holder);
    else
      state = m.Resolved + ", free";
    if (m.Console)
      state += m.Linked ? ", console" : ", console (opened only through a link)";
    std::printf("  COM%d  %-40s %s%s\n", n, m.Device.c_str(), m.Linked ? "" : "(default) ", state.c_str());
  }
  return 0;
}

int Fail(const std::string& why)
{
  std::fprintf(stderr, "kalvix-ports: %s\n", why.c_str());
  return 1;
}

}   // namespace

int main(int argc, char** argv)
{
  const std::string command = argc > 1 ? argv[1] : "list";
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (command == "list" && argc <= 2)
    return List();
  if (command == "map" && argc == 4) {
    const int n = ComNumber(argv[2]);
    if (n == 0)
      return Fail(std::string("not a COM number (1 to 4): ") + argv[2]);
    const std::string error = MapPort(n, argv[3]);
    if (!error.empty())
      return Fail(error);
    const TPortMapping m = ReadPortMapping(n);
    std::printf("COM%d -> %s\n", n, m.Device.c_str());
    return 0;
  }
  if (command == "unmap" && argc == 3) {
    const int n = ComNumber(argv[2]);
    if (n == 0)
      return Fail(std::string("not a COM number (1 to 4): ") + argv[2]);
    const std::string error = UnmapPort(n);
    return error.empty() ? 0 : Fail(error);
  }
  std::fputs(Usage, stderr);
  return 2;
}
