#pragma once
// UUCP lock files (LCK..<device> in /run/lock or /var/lock), the convention by which serial
// programs that do not use flock tell each other that a port is taken.
#include <string>
#include <sys/types.h>

class TUucpLock {
public:
  // The live process that a lock file names for the device at path, or 0 when none does (no
  // file, or one whose process is gone). Our own process never counts as a holder.
  static pid_t Holder(const std::string& devicePath);

  // Takes the lock for the device (best effort: a lock directory we may not write is no
  // error); fails only when another live process holds it.
  bool Acquire(const std::string& devicePath);
  ~TUucpLock();

  TUucpLock() = default;
  TUucpLock(const TUucpLock&) = delete;
  TUucpLock& operator=(const TUucpLock&) = delete;

private:
  std::string File;   // the lock file we made, removed again on release
};
