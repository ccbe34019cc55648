#pragma once
// The COM1..COM4 mapping as the port links in the store directory hold it, and the serial
// devices of the machine it can name. Nothing here opens a device.
#include <string>
#include <sys/types.h>
#include <vector>

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

// Maps COM<number> to a terminal device (its stable /dev/serial/by-id name when there is one),
// to "loopback", or to a remote port (rfc2217://HOST:PORT, checked for form only). Returns an empty string on success, else what went wrong.
std::string MapPort(int number, const std::string& device);
std::string UnmapPort(int number);

// A process that holds the device: by a UUCP lock file or a flock on it; 0 when none is known,
// TUucpLock::Unreadable when a lock file holds it that cannot be read.
pid_t PortHolder(const std::string& devicePath);
