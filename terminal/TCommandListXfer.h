#pragma once
// The command list: the entries of a command file, and the choice made from them last.
#include "framework/TComboBoxData.h"

#include <string>

struct TCommandListXfer {
  // Longest entry: a longer line is cut into entries of this length.
  static constexpr std::size_t EntryMax = 79;

  TComboBoxData Commands;

  // Replaces the entries with those of a command file: every CR dropped, Ctrl-Z ends the file,
  // LF ends an entry. The list is emptied first, also when the file cannot be read.
  void Load(const std::string& fileName);
};
