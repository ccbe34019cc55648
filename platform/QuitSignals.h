#pragma once
// The signals that would end the program by default and mean no fault of its own (kill, Ctrl-C
// in the launching shell, a logout, a stray timer or user signal) as bytes on a pipe, so that
// the event loop ends the program the normal way, with the port closed and its lock file
// removed, instead of the signal killing it. The signals of a fault (SIGSEGV, SIGQUIT, ...)
// remove the lock file on their own way out (UucpLock.h).

// Catches SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO,
// SIGPWR, SIGSTKFLT and the real-time signals, and returns the pipe's read end (non-blocking):
// each caught signal writes its number there as one byte. A signal ignored or handled at start
// stays so, as for a program started with nohup. SIGPIPE is ignored from here on: a write to a
// pipe or socket whose reader is gone (the display's connection, a log, a remote port) fails
// with EPIPE, which the writer handles, instead of ending the program. -1 when no pipe can be
// made. Once per process; later calls return the same descriptor.
int CatchQuitSignals();
