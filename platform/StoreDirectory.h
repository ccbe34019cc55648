#pragma once
#include <string>

// The directory that holds the program's store (registry.db) and its port links (ports/COMn):
// $XDG_CONFIG_HOME/kalvix, or ~/.config/kalvix when XDG_CONFIG_HOME is unset or empty.
// Read anew on every call, so a changed environment takes effect at once.
std::string StoreDirectory();

// Creates the directory and its parents (mode 0700) when missing; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
