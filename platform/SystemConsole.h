#pragma once
// The kernel's system consoles. A serial console put into a terminal program's line settings
// can stall the console, or a login on it, so the default COM devices leave it alone.
#include <string>

// True when the device at path (links followed; the device is never opened) is a console that
// /proc/consoles lists. KALVIX_CONSOLE_LIST, when set, names a file of the same form to read
// instead (tests name consoles of their own).
bool IsSystemConsole(const std::string& devicePath);
