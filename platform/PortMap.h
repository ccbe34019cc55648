#pragma once
// What COM1..COM4 name: the port links in the store directory (ports/COMn), the default device
// without one, the system-console rule, the link texts that name no device node ("loopback",
// rfc2217://HOST:PORT), and the serial devices of the machine a link can name. Opening a COM
// name picks the device that serves it; nothing else here opens a device.
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class TSerialDevice;

struct TSerialDeviceInfo {
  std::string Path;     // as the user would name it (/dev/serial/by-id/..., /dev/ttyUSB0)
  std::string Target;   // what it resolves to
};

struct TPortMapping {
  int Number = 0;
  bool Linked = false;    // a link exists (else the default /dev/ttyS<n-1> applies)
  std::string Device;     // the link's target, or the default device
  std::string Resolved;   // the real path, "loopback", a remote port's text, or empty when it
                          // names nothing
  pid_t Holder = 0;       // a process known to hold it, 0 when free or unknown, or
                          // TUucpLock::Unreadable for a lock file that cannot be read
  bool Held = false;
  bool Console = false;   // a system console: opened only through a link
};

// Serial devices present: stable by-id names, ttyUSB/ttyACM devices, and ttyS ports with a
// UART behind them (as sysfs reports it).
std::vector<TSerialDeviceInfo> ListSerialDevices();

TPortMapping ReadPortMapping(int number);

// What COMn names: the link ports/COMn, or /dev/ttyS<n-1> without one. Returns the path to
// open, "loopback" for the built-in loopback plug, or the link's text for a remote port; empty
// for a name other than COM1 to COM4, and for a default device that is a system console (only a
// link may name the console).
std::string ResolveComDevice(const std::string& comName);
// Opens COM1 to COM4 exclusively for reading and writing. Null when the name is not one of
// those, the device is absent or not a terminal, or another opener holds it; for a remote port,
// when its server has not taken the connection within TRfc2217Device::ConnectWait.
std::unique_ptr<TSerialDevice> OpenComDevice(const std::string& comName);
// The device COM<number> names without a link: /dev/ttyS<number-1>.
std::string DefaultComDevice(int number);
// Whether a link's text names a port on another host: it starts with rfc2217://.
bool IsRemotePort(const std::string& target);
// Splits rfc2217://HOST:PORT (HOST a name, an IPv4 address or an IPv6 address in brackets,
// PORT 1 to 65535); false for any other text.
bool ParseRemotePort(const std::string& url, std::string& host, std::string& port);

// Maps COM<number> to a terminal device (its stable /dev/serial/by-id name when there is one),
// to "loopback", or to a remote port (rfc2217://HOST:PORT, checked for form only). Returns an empty string on success, else what went wrong.
std::string MapPort(int number, const std::string& device);
std::string UnmapPort(int number);

// A process that holds the device: by a UUCP lock file or a flock on it; 0 when none is known,
// TUucpLock::Unreadable when a lock file holds it that cannot be read.
pid_t PortHolder(const std::string& devicePath);
