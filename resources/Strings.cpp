#include "resources/KalvixResources.h"
#include "resources/ResourceIds.h"

#include <iterator>

namespace {
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
  // Followed by the file's name and the system's reason on lines of their own.
  {IDS_TRANSFER_CANNOT_OPEN, "The file cannot be opened:"},
  // Followed by the reason, the file's name and the bytes done on lines of their own.
  {IDS_TRANSFER_FAILED, "The transfer has failed:"},
  // Followed by the store's reason on a line of its own.
  {IDS_SETTINGS_NOT_SAVED, "The settings could not be saved:"},
  {IDS_TRANSFER_REASON + 1, "It was cancelled."},
  {IDS_TRANSFER_REASON + 2, "The far end cancelled it."},
  {IDS_TRANSFER_REASON + 3, "The far end did not begin within 60 seconds."},
  {IDS_TRANSFER_REASON + 4, "Too many blocks went wrong or unanswered."},
  {IDS_TRANSFER_REASON + 5, "Nothing arrived for 60 seconds."},
  {IDS_TRANSFER_REASON + 6, "A block came out of order."},
  {IDS_TRANSFER_REASON + 7, "The file cannot be read or written:"},   // and the system's reason
  {IDS_TRANSFER_REASON + 8, "The file changed while it was being sent."},
  {IDS_TRANSFER_REASON + 9, "The sender ended before the size it announced."},
  {IDS_TRANSFER_REASON + 10, "The sender went on past the size it announced."},
  {IDS_TRANSFER_REASON + 11, "The line is lost."},
  {IDS_TRANSFER_REASON + 12, "The line does not take data (%s handshake?)."},   // the handshake's name
  {IDS_PORT_LOST, "COM%d: the device is lost, waiting for it to come back"},
  {IDS_PORT_BACK, "COM%d: the device is back"},
  {IDS_OUTPUT_HELD, "COM%d: waiting for %s (%s handshake)"},
  {IDS_DTR_BY_HANDSHAKE, "The Hardware handshake drives DTR"},
  {IDS_RTS_BY_HANDSHAKE, "The Hardware handshake drives RTS"},
  {IDS_TRIGGER_SENT, "Trigger %u: sent '%s'"},
  {IDS_TRIGGER_RUNAWAY, "Trigger %u is off: it fired more than 10 times in a second"},
  {IDS_TRIGGER_BAD_EXPRESSION, "Not a regular expression, so the rule never fires: %s"},
  {IDS_TRIGGERS_NOT_SAVED, "The triggers could not be saved: %s"},
  {IDS_PLOT_LEFT_OUT, "Only 16 series are plotted: values of further names are left out."},
  {IDS_PLOT_EXPORT_FAILED, "The plot could not be exported:"},
  {IDS_PLOT_PAUSE, "&Pause"},
  {IDS_PLOT_RESUME, "&Resume"},
  {IDS_PLOT_SPANS, "1 s|5 s|10 s|30 s|1 min|5 min|10 min|30 min|1 h|All kept"},
  {IDS_FIND_COUNT, "%d of %d"},
  {IDS_FIND_NONE, "No matches"},
  {IDS_VALUE_NOT_IN_RANGE, "Value is not in the range %ld to %ld."},
  {IDS_BAUDRATE_NOT_IN_RANGE, "Baudrate: Value is not a whole number in the range %ld to %ld."},
  {IDS_RATE_OFF, "COM%d: the device runs the line at %lu baud, not %lu"},

  // Menu hints
  {24331, "Creates a new window"},
  {2008, "Access About"},
  {CM_OPENCOMMANDFILE, "Load command strings from File"},
  {CM_LOGTOFILE, "Write received data to a file"},
  {CM_SENDRAW - 1, "Send or receive a file"},
  {CM_SENDRAW, "Send a file's bytes as they are"},
  {CM_SENDXMODEM, "Send a file with XMODEM"},
  {CM_SENDYMODEM, "Send a file with YMODEM"},
  {CM_RECEIVEXMODEM, "Receive a file with XMODEM"},
  {CM_RECEIVEYMODEM, "Receive files with YMODEM into a folder"},
  {CM_SENDBREAK - 1,
   "Break, DTR and RTS on the line; time stamps, colours, echo and search in the receive field; triggers and plot"},
  {CM_SENDBREAK, "Hold the line in the break condition for a quarter of a second"},
  {CM_DTR, "Raise or lower DTR"},
  {CM_RTS, "Raise or lower RTS"},
  {CM_TIMESTAMPS, "Begin every received line with the time it arrived"},
  {CM_COLOURS, "Show text mode in the colours the device's escape sequences ask for"},
  {CM_LOCALECHO, "Show what is sent in the receive field as well"},
  {CM_FIND, "Find text in the receive field"},
  {CM_TRIGGERS, "Reply when the line brings a chosen text: edit the triggers"},
  {CM_PLOT, "Plot the numbers in the received lines"},
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

namespace {
// An id given twice would hide the second text behind the first.
constexpr bool IdsDistinct()
{
  for (std::size_t i = 0; i < std::size(Strings); ++i)
    for (std::size_t j = i + 1; j < std::size(Strings); ++j)
      if (Strings[i].Id == Strings[j].Id)
        return false;
  return true;
}
static_assert(IdsDistinct());
}

constexpr std::span<const TStringEntry> KalvixStrings = Strings;
