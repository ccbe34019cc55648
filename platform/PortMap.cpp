#include "platform/PortMap.h"

#include "platform/LoopbackDevice.h"
#include "platform/Rfc2217Device.h"
#include "platform/StoreDirectory.h"
#include "platform/SystemConsole.h"
#include "platform/TtyDevice.h"
#include "platform/UucpLock.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const std::string Loopback = "loopback", RemoteScheme = "rfc2217://";

// Link texts that name no device node: the loopback plug and remote ports.
bool NamesNoDevice(const std::string& target)
{
  return target == Loopback || IsRemotePort(target);
}

std::string RealPath(const std::string& path)
{
  char real[PATH_MAX];
  return realpath(path.c_str(), real) ? std::string(real) : std::string();
}

std::vector<std::string> Entries(const std::string& dir)
{
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d))
      if (e->d_name[0] != '.')
        names.emplace_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool HasUart(const std::string& ttyName)
{
  // sysfs reports the UART type; 0 means no UART answered at that port.
  std::ifstream type("/sys/class/tty/" + ttyName + "/type");
  int value = 0;
  return static_cast<bool>(type >> value) && value != 0;
}

std::string PortLink(int number)
{
  return StoreDirectory() + "/ports/COM" + std::to_string(number);
}

bool ValidNumber(int number)
{
  return number >= 1 && number <= 4;
}

// A process holding a flock on the file with this device and inode, from /proc/locks.
pid_t FlockHolder(const struct stat& st)
{
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream in(line);
    std::string id, kind, mode, access, where;
    long pid = 0;
    if (!(in >> id >> kind))
      continue;
    if (kind == "->")   // a waiter: "N: -> FLOCK ..."
      in >> kind;
    if (kind != "FLOCK" || !(in >> mode >> access >> pid >> where))
      continue;
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3 && makedev(major, minor) == st.st_dev &&
        inode == st.st_ino && pid > 0 && pid != getpid())
      return pid_t(pid);
  }
  return 0;
}

// A terminal device by its number, as the tty drivers list it (name, node, major, minors, type:
// "serial  /dev/ttyS  4  64-111  serial"), without opening it: opening a serial port raises
// DTR and RTS. The system's aliases (/dev/tty, /dev/console, /dev/ptmx) name no line.
bool IsTerminal(dev_t device)
{
  std::ifstream drivers("/proc/tty/drivers");
  std::string line;
  while (std::getline(drivers, line)) {
    std::istringstream in(line);
    std::string name, node, minors, type;
    unsigned driverMajor = 0, first = 0, last = 0;
    if (!(in >> name >> node >> driverMajor >> minors >> type) || type.rfind("system", 0) == 0)
      continue;
    const int parts = std::sscanf(minors.c_str(), "%u-%u", &first, &last);
    if (parts == 1)
      last = first;
    if (parts >= 1 && driverMajor == major(device) && minor(device) >= first && minor(device) <= last)
      return true;
  }
  return false;
}

}   // namespace

std::vector<TSerialDeviceInfo> ListSerialDevices()
{
  std::vector<TSerialDeviceInfo> devices;
  std::vector<std::string> seen;
  for (const std::string& name : Entries("/dev/serial/by-id")) {
    const std::string path = "/dev/serial/by-id/" + name;
    const std::string target = RealPath(path);
    devices.push_back({path, target});
    seen.push_back(target);
  }
  for (const std::string& name : Entries("/sys/class/tty")) {
    const bool usb = name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
    const bool uart = name.rfind("ttyS", 0) == 0 && HasUart(name);
    const std::string path = "/dev/" + name;
    if ((usb || uart) && std::find(seen.begin(), seen.end(), path) == seen.end() && access(path.c_str(), F_OK) == 0)
      devices.push_back({path, path});
  }
  return devices;
}

pid_t PortHolder(const std::string& devicePath)
{
  if (const pid_t pid = TUucpLock::Holder(devicePath))
    return pid;
  struct stat st {};
  if (stat(devicePath.c_str(), &st) != 0)
    return 0;
  return FlockHolder(st);
}

TPortMapping ReadPortMapping(int number)
{
  TPortMapping m;
  m.Number = number;
  if (!ValidNumber(number))
    return m;
  const std::string link = PortLink(number);
  char target[PATH_MAX];
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  m.Linked = n >= 0;
  if (m.Linked) {
    target[n] = '\0';
    m.Device = target;
  } else {
    m.Device = DefaultComDevice(number);
  }
  if (NamesNoDevice(m.Device)) {
    m.Resolved = m.Device;
    return m;
  }
  m.Resolved = RealPath(m.Linked ? link : m.Device);
  if (!m.Resolved.empty()) {
    m.Console = IsSystemConsole(m.Resolved);
    m.Holder = PortHolder(m.Resolved);
    m.Held = m.Holder != 0;
  }
  return m;
}

std::string MapPort(int number, const std::string& device)
{
  if (!ValidNumber(number))
    return "COM number must be 1 to 4";
  std::string target = device;
  std::string host, port;
  if (IsRemotePort(device)) {
    if (!ParseRemotePort(device, host, port))
      return "not a remote port (rfc2217://HOST:PORT): " + device;
  } else if (device != Loopback) {
    const std::string real = RealPath(device);
    if (real.empty())
      return "no such device: " + device;
    struct stat st {};
    if (stat(real.c_str(), &st) != 0 || !S_ISCHR(st.st_mode) || !IsTerminal(st.st_rdev))
      return "not a terminal device: " + device;
    // Prefer the stable name: ttyUSB numbers change with the order of plugging in.
    target = device[0] == '/' ? device : real;
    for (const TSerialDeviceInfo& d : ListSerialDevices())
      if (d.Path.rfind("/dev/serial/by-id/", 0) == 0 && d.Target == real)
        target = d.Path;
  }
  const std::string dir = StoreDirectory() + "/ports";
  if (!MakeDirectories(dir))
    return "cannot create " + dir + ": " + std::strerror(errno);
  const std::string link = PortLink(number);
  const std::string temporary = link + ".new";
  unlink(temporary.c_str());
  if (symlink(target.c_str(), temporary.c_str()) != 0 || rename(temporary.c_str(), link.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    unlink(temporary.c_str());
    return "cannot write " + link + ": " + why;
  }
  return {};
}

std::string UnmapPort(int number)
{
  if (!ValidNumber(number))
    return "COM number must be 1 to 4";
  const std::string link = PortLink(number);
  if (unlink(link.c_str()) != 0 && errno != ENOENT)
    return "cannot remove " + link + ": " + std::strerror(errno);
  return {};
}

std::string ResolveComDevice(const std::string& comName)
{
  if (comName.size() != 4 || comName.compare(0, 3, "COM") != 0 || !ValidNumber(comName[3] - '0'))
    return {};
  const int number = comName[3] - '0';
  const std::string link = PortLink(number);
  char target[PATH_MAX];
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  if (n < 0) {
    if (errno != ENOENT)
      return link;   // not a link: let the open decide
    const std::string device = DefaultComDevice(number);
    return IsSystemConsole(device) ? std::string() : device;
  }
  target[n] = '\0';
  return NamesNoDevice(target) ? target : link;   // opening the link follows it, relative targets included
}

std::unique_ptr<TSerialDevice> OpenComDevice(const std::string& comName)
{
  const std::string path = ResolveComDevice(comName);
  if (path.empty())
    return nullptr;
  if (path == Loopback)
    return TLoopbackDevice::Open();
  if (IsRemotePort(path))
    return TRfc2217Device::Open(path);
  return TTtyDevice::Open(path);
}

std::string DefaultComDevice(int number)
{
  return "/dev/ttyS" + std::to_string(number - 1);
}

bool IsRemotePort(const std::string& target)
{
  return target.rfind(RemoteScheme, 0) == 0;
}

bool ParseRemotePort(const std::string& url, std::string& host, std::string& port)
{
  if (!IsRemotePort(url))
    return false;
  const std::string rest = url.substr(RemoteScheme.size());
  std::size_t colon = 0;
  const char* allowed = nullptr;
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string::npos)
      return false;
    host = rest.substr(1, close - 1);
    colon = close + 1;
    allowed = "0123456789abcdefABCDEF:.";
  } else {
    colon = rest.find(':');
    host = rest.substr(0, colon);
    allowed = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.-_";
  }
  if (colon >= rest.size() || rest[colon] != ':' || host.empty() || host.size() > 253 ||
      host.find_first_not_of(allowed) != std::string::npos)
    return false;
  port = rest.substr(colon + 1);
  return !port.empty() && port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos &&
         std::stoi(port) >= 1 && std::stoi(port) <= 65535;
}
