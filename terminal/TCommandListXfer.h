#pragma once
// The command list: the entries of a command file, and the choice made from them last.
#include "framework/TComboBoxData.h"

#include <string>

struct TCommandListXfer {
  // Longest entry: a longer line is cut into entries of this length.
  static constexpr std::size_t EntryMax = 79;
  // Only the start of a file is read, as if the file ended there: its first ReadMax bytes, and
  // of those no more than EntriesMax entries. That is more than any command list needs, and a
  // firmware image chosen by mistake neither holds up the window nor fills its memory.
  static constexpr std::size_t ReadMax = 1024 * 1024;
  static constexpr std::size_t EntriesMax = 16384;

  TComboBoxData Commands;

  // Replaces the entries with those of the start of a command file: every CR dropped, Ctrl-Z
  // ends the file, LF ends an entry. The list is emptied first, also when the file cannot be read.
  void Load(const std::string& fileName);
  // The chosen entry, cut to EntryMax, as its label (in square brackets at its start, if any)
  // and the command after it; false for a label whose bracket does not close.
  bool Chosen(std::string& label, std::string& command) const;
};
