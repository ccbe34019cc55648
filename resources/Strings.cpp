#include "resources/ResourceIds.h"
#include "resources/ResourceTypes.h"

namespace {
struct TStringEntry {
  unsigned Id;
  const char* Text;
};

constexpr TStringEntry Strings[] = {
  {IDS_5DATA_2STOP, "5 Data Bits with 2 Stop Bits is not allowed!"},
  {IDS_6DATA_15STOP, "6 Data Bits with 1,5 Stop Bits is not allowed!"},
  {IDS_7DATA_15STOP, "7 Data Bits with 1,5 Stop Bits is not allowed!"},
  {IDS_8DATA_15STOP, "8 Data Bits with 1,5 Stop Bits is not allowed!"},
  {IDS_PORT_UNAVAILABLE, "Configured COM Port is already uses by an other appication\nor is not available!\n"
                         "Use setup to select an other one!"},
  // Followed by the file's name and the system's reason on lines of their own.
  {IDS_LOG_CANNOT_OPEN, "The log file cannot be opened:"},
  {IDS_LOG_FAILED, "Logging has stopped: the log file cannot be written:"},
  {IDS_VALUE_NOT_IN_RANGE, "Value is not in the range %ld to %ld."},

  // Menu hints
  {24331, "Creates a new window"},
  {2008, "Access About"},
  {CM_OPENCOMMANDFILE, "Load command strings from File"},
  {CM_LOGTOFILE, "Write received data to a file"},
  {CM_EXIT, "Quits Kalvix and prompts to save the documents"},
  {CM_SELECT, "Select a line of command file"},
  {CM_CLEAR, "Clearing of receive field"},
  {CM_SETUP, "Setup of COM port 1"},
  {CM_SWITCHMODE, "Selection between text and binary mode"},
  {CM_ABOUT, "About the Kalvix application"},
  // Hints of the system menu, whose items the window manager owns here
  {61440, "Changes the size of the window"},
  {61456, "Moves the window to another position"},
  {61472, "Reduces the window to an icon"},
  {61488, "Enlarges the window to it maximum size"},
  {61536, "Closes the window"},
  {61728, "Restores the window to its previous size"},
  {61504, "Switches to next window"},
  {61744, "Opens task list"},
};
}

const char* FindStringResource(unsigned id)
{
  for (const TStringEntry& entry : Strings)
    if (entry.Id == id)
      return entry.Text;
  return nullptr;
}
