#pragma once
// File > Log to File...: the log of what arrives (TCaptureLog), started in a file the user
// picks, in the form its filter or its name's ending says, and ended by the same item, which
// reads "Stop &Logging" with a check mark meanwhile. A file that cannot be opened is told at
// once; a log that could not be written ends, and its box is the owner's to show later.
#include "terminal/TCaptureLog.h"

#include <string>

class TWindow;

class TLogMenu {
public:
  explicit TLogMenu(TWindow& owner) : Owner(owner) {}

  // The menu item: a log starts (noting textMode first), or the one that runs ends. Returns
  // the box to show once the event is over (empty: none).
  std::string Command(bool textMode);
  // Writes what is buffered; a write that failed ends the log: the box to show, as above.
  std::string Flush();

  TCaptureLog Log;

private:
  // The log ended with error (an errno, or 0): the item says so; the box that tells it.
  std::string Ended(int error);
  void ShowLogging(bool on);

  TWindow& Owner;
};
