#pragma once
// A fault injector at the system-call boundary. FaultInjector.cpp defines open (and the
// variants glibc routes opens through), read (and pread), write, pwrite, fdatasync, unlink,
// close, ioctl, flock and poll for the executable that links it (linked in, never preloaded, so that a
// sanitizer runtime stays first); each goes straight on to the next definition unless armed.
//
// Armed from the environment at the first call: KALVIX_FAULT=function:errno:N:filter makes the
// Nth call of that function whose path holds filter fail with that errno (a number). A call on
// a descriptor is matched by the descriptor's path (/proc/self/fd), a poll by any of its
// descriptors'. close releases the descriptor and then reports the error, as Linux's does.
// When the fault fires, one line starting with FaultFiredLine goes to stderr: a loop that runs
// N = 1, 2, ... knows it has passed the last matching call once the line is missing.
//
// It defines ioctl, as the null-modem does: never link both into one executable.

inline constexpr const char* FaultVariable = "KALVIX_FAULT";
inline constexpr const char* FaultFiredLine = "kalvix-fault: fired";
