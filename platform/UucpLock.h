#pragma once
// UUCP lock files (LCK..<device> in /run/lock or /var/lock), the convention by which serial
// programs that do not use flock tell each other that a port is taken. KALVIX_LOCK_DIR, when
// set, names the one directory used instead (tests keep their lock files out of the real one).
// A lock file of ours appears whole (written first under a name of our own, then linked to its
// name), and goes on every way out of the process but SIGKILL: its owner's end, exit() from
// anywhere, and the signals of a fault (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGQUIT,
// SIGTRAP, SIGSYS, SIGXCPU and SIGXFSZ, each unless ignored), whose earlier handling then goes
// on as before. The other signals that would end the process are the quit signals
// (QuitSignals.h), which end it the normal way.
#include <string>
#include <sys/types.h>

class TUucpLock {
public:
  // A lock file there that cannot be read: it counts as held, by a process we cannot name.
  static constexpr pid_t Unreadable = -1;

  // The live process that a lock file names for the device at path, Unreadable, or 0 when no
  // lock holds it (no file, or one that names no live process). Our own process never counts.
  static pid_t Holder(const std::string& devicePath);

  // Takes the lock for the device (best effort: a lock directory we may not write is no
  // error); fails only when another live process holds it.
  bool Acquire(const std::string& devicePath);
  // Removes the lock file, if the one at its name is still the file we made.
  ~TUucpLock();

  TUucpLock() = default;
  TUucpLock(const TUucpLock&) = delete;
  TUucpLock& operator=(const TUucpLock&) = delete;

private:
  int Slot = -1;   // our lock file's entry among those removed on the way out, or -1 for none
};
