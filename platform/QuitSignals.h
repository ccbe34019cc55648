#pragma once
// SIGTERM, SIGINT and SIGHUP (kill, Ctrl-C in the launching shell, a logout) as bytes on a
// pipe, so that the event loop ends the program the normal way, with the port closed and its
// lock file removed, instead of the signal killing it.

// Catches the three signals and returns the pipe's read end (non-blocking): each caught signal
// writes its number there as one byte. A signal ignored at start stays ignored, as for a
// program started with nohup. SIGPIPE is ignored from here on: a write to a pipe or socket
// whose reader is gone (the display's connection, a log, a remote port) fails with EPIPE, which
// the writer handles, instead of ending the program. -1 when no pipe can be made. Once per
// process; later calls return the same descriptor.
int CatchQuitSignals();
