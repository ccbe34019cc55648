#include "resources/KalvixResources.h"
#include "resources/ResourceIds.h"

namespace {
using namespace ControlStyle;
constexpr std::uint32_t Led = Visible | TabStop | CenterText | OwnerDraw;
constexpr std::uint32_t Label = Visible;

// The terminal window: the LED row in its frame, the send field with Send and Stop sharing
// one place, and the receive field below. A larger window widens the frame and the send field,
// keeps Send and Stop at the right edge and gives the receive field all the room.
constexpr std::uint32_t Wide = ControlAnchor::StretchRight;
constexpr std::uint32_t AtRight = ControlAnchor::KeepRight;
constexpr std::uint32_t Fill = ControlAnchor::StretchRight | ControlAnchor::StretchBottom;
constexpr TControlTemplate ClientControls[] = {
  {IDC_SENDTEXT, TControlKind::Edit, "", 0, 26, 348, 14, Visible | Border | TabStop | ClientEdge, Wide},
  {IDC_STOP, TControlKind::PushButton, "&Stop", 349, 25, 52, 16, Visible | TabStop, AtRight},
  {IDC_SEND, TControlKind::PushButton, "&Send", 350, 25, 52, 16, Visible | TabStop, AtRight},
  {IDC_LED_DTR, TControlKind::PushButton, "", 12, 4, 16, 14, Led},
  {IDC_NONE, TControlKind::Static, "DTR", 29, 8, 20, 8, Label},
  {IDC_LED_RTS, TControlKind::PushButton, "", 64, 4, 16, 14, Led},
  {IDC_NONE, TControlKind::Static, "RTS", 82, 8, 20, 8, Label},
  {IDC_LED_DSR, TControlKind::PushButton, "", 152, 4, 16, 14, Led},
  {IDC_NONE, TControlKind::Static, "DSR", 170, 8, 20, 8, Label},
  {IDC_LED_CTS, TControlKind::PushButton, "", 221, 4, 16, 14, Led},
  {IDC_NONE, TControlKind::Static, "CTS", 239, 8, 20, 8, Label},
  {IDC_LED_DCD, TControlKind::PushButton, "", 291, 4, 16, 14, Led},
  {IDC_NONE, TControlKind::Static, "DCD", 309, 8, 20, 8, Label},
  {IDC_LED_RI, TControlKind::PushButton, "", 360, 4, 16, 14, Led},
  {IDC_NONE, TControlKind::Static, "RI", 378, 8, 20, 8, Label},
  {IDC_RECEIVE, TControlKind::Edit, "", 0, 43, 404, 116,
   Visible | MultiLine | ReadOnly | AutoHScroll | AutoVScroll | HScroll | VScroll | OemConvert, Fill},
  {IDC_NONE, TControlKind::EtchedFrame, "", 0, 0, 404, 22, Visible, Wide},
};

// The setup dialog: port and line format on the left, handshake, pacing and line length on
// the right, Cancel and OK at the bottom.
constexpr std::uint32_t List = Visible | TabStop | ClientEdge;
constexpr std::uint32_t Check = Visible | TabStop;
constexpr std::uint32_t Number = Visible | TabStop | Border | ClientEdge | RightAlign;
constexpr TControlTemplate SetupControls[] = {
  {IDCANCEL, TControlKind::PushButton, "Abbruch", 140, 168, 50, 14, Visible | TabStop},
  {IDOK, TControlKind::PushButton, "OK", 200, 168, 50, 14, Visible | TabStop},
  {IDC_NONE, TControlKind::Static, "Port", 20, 5, 60, 8, Label},
  {IDC_PORT, TControlKind::ComboBox, "", 20, 14, 76, 74, List},
  {IDC_NONE, TControlKind::Static, "Baudrate", 20, 39, 60, 8, Label},
  {IDC_BAUDRATE, TControlKind::ComboBox, "", 20, 48, 76, 140, List | EditLine},   // any rate can be typed
  {IDC_NONE, TControlKind::Static, "Parity", 20, 66, 60, 8, Label},
  {IDC_PARITY, TControlKind::ComboBox, "", 20, 75, 76, 69, List},
  {IDC_NONE, TControlKind::Static, "Stopbits", 20, 95, 60, 8, Label},
  {IDC_STOPBITS, TControlKind::ComboBox, "", 20, 104, 76, 64, List},
  {IDC_NONE, TControlKind::Static, "Databits", 20, 123, 60, 8, Label},
  {IDC_DATABITS, TControlKind::ComboBox, "", 20, 132, 76, 68, List},
  {IDC_NONE, TControlKind::Static, "Handshake", 132, 9, 60, 8, Label},
  {IDC_HANDSHAKE, TControlKind::ComboBox, "", 132, 19, 108, 56, Visible | TabStop},
  {IDC_SETDTR, TControlKind::CheckBox, "Set DTR", 132, 36, 60, 12, Check},
  {IDC_SETRTS, TControlKind::CheckBox, "Set RTS", 132, 48, 60, 12, Check},
  {IDC_USECTS, TControlKind::CheckBox, "use CTS", 187, 36, 60, 12, Check},
  {IDC_USEDSR, TControlKind::CheckBox, "use DSR", 187, 48, 60, 12, Check},
  {IDC_NONE, TControlKind::EtchedFrame, "", 8, 3, 104, 29, Visible},
  {IDC_NONE, TControlKind::EtchedFrame, "", 8, 36, 104, 114, Visible},
  {IDC_NONE, TControlKind::EtchedFrame, "", 120, 3, 140, 65, Visible},
  {IDC_NONE, TControlKind::EtchedFrame, "", 4, 159, 260, 1, Visible},
  {IDC_NONE, TControlKind::Static, "Count of char. / line in receive field:", 126, 121, 120, 8, Label},
  {IDC_LINELENGTH, TControlKind::Edit, "", 200, 133, 36, 11, Number},
  {IDC_NONE, TControlKind::EtchedFrame, "", 120, 116, 140, 34, Visible},
  {IDC_DELAYTIME, TControlKind::Edit, "", 190, 80, 36, 11, Number},
  {IDC_NONE, TControlKind::Static, "Delay time:", 125, 81, 60, 8, Label},
  {IDC_NONE, TControlKind::Static, "ms", 232, 81, 16, 8, Label},
  {IDC_NONE, TControlKind::EtchedFrame, "", 120, 72, 140, 40, Visible},
  {IDC_NONE, TControlKind::Static, "Delay Character in text mode:", 125, 97, 100, 8, Label},
  {IDC_DELAYCHAR, TControlKind::Edit, "", 221, 96, 20, 11, Number},
  {IDC_NONE, TControlKind::Static, "dec", 243, 97, 13, 8, Label},
};

// The command list: the entries of the command file under an edit line, OK and Cancel.
constexpr TControlTemplate CommandListControls[] = {
  {IDC_COMMANDS, TControlKind::SimpleCombo, "", 8, 4, 224, 90, Visible | TabStop | VScroll | OemConvert},
  {IDC_NONE, TControlKind::EtchedFrame, "", 4, 98, 232, 1, Visible},
  {IDOK, TControlKind::PushButton, "OK", 128, 104, 50, 14, Visible | TabStop | DefaultButton},
  {IDCANCEL, TControlKind::PushButton, "Abbruch", 184, 104, 50, 14, Visible | TabStop},
};

// The about box: name, version line, legal notice, icon and OK.
constexpr std::uint32_t Centred = Visible | CenterText;
constexpr TControlTemplate AboutControls[] = {
  {IDC_ABOUT_VERSION, TControlKind::Static, "Version", 2, 14, 200, 8, Centred},
  {IDC_NONE, TControlKind::Static, "Kalvix", 2, 4, 200, 8, Centred},
  {IDC_ABOUT_NOTICE, TControlKind::Static, "", 2, 27, 200, 77, Centred},
  {IDC_NONE, TControlKind::Icon, "#1001", 2, 2, 34, 34, Visible},
  {IDOK, TControlKind::PushButton, "OK", 82, 112, 40, 14, Visible | TabStop | DefaultButton},
};

// The transfer window: the file, the protocol, the bytes done with a bar, the rate and the
// retries, and Cancel.
constexpr TControlTemplate TransferControls[] = {
  {IDC_NONE, TControlKind::Static, "File:", 8, 8, 40, 8, Label},
  {IDC_TRANSFER_FILE, TControlKind::Static, "", 50, 8, 162, 8, Label},
  {IDC_NONE, TControlKind::Static, "Protocol:", 8, 20, 40, 8, Label},
  {IDC_TRANSFER_PROTOCOL, TControlKind::Static, "", 50, 20, 162, 8, Label},
  {IDC_NONE, TControlKind::Static, "Done:", 8, 32, 40, 8, Label},
  {IDC_TRANSFER_BYTES, TControlKind::Static, "", 50, 32, 162, 8, Label},
  {IDC_TRANSFER_PROGRESS, TControlKind::ProgressBar, "", 8, 45, 204, 10, Visible},
  {IDC_NONE, TControlKind::Static, "Rate:", 8, 62, 40, 8, Label},
  {IDC_TRANSFER_RATE, TControlKind::Static, "", 50, 62, 162, 8, Label},
  {IDC_NONE, TControlKind::Static, "Retries:", 8, 74, 40, 8, Label},
  {IDC_TRANSFER_RETRIES, TControlKind::Static, "", 50, 74, 162, 8, Label},
  {IDCANCEL, TControlKind::PushButton, "Cancel", 85, 90, 50, 14, Visible | TabStop | DefaultButton},
};

// The triggers window: the rules in a list with the buttons that change it, and below it the
// selected rule's fields, each reached by Alt and the underlined letter of its label.
constexpr std::uint32_t Field = Visible | TabStop | Border | ClientEdge | AutoHScroll;
constexpr std::uint32_t Button = Visible | TabStop;
constexpr TControlTemplate TriggerControls[] = {
  {IDC_TRIGGER_LIST, TControlKind::ListBox, "", 8, 8, 224, 92, Visible | TabStop | Border | VScroll, Wide},
  {IDC_TRIGGER_ADD, TControlKind::PushButton, "&Add", 240, 8, 52, 14, Button, AtRight},
  {IDC_TRIGGER_REMOVE, TControlKind::PushButton, "Re&move", 240, 26, 52, 14, Button, AtRight},
  {IDC_TRIGGER_UP, TControlKind::PushButton, "&Up", 240, 44, 52, 14, Button, AtRight},
  {IDC_TRIGGER_DOWN, TControlKind::PushButton, "&Down", 240, 62, 52, 14, Button, AtRight},
  {IDC_TRIGGER_ON, TControlKind::CheckBox, "&On", 8, 106, 60, 12, Check},
  {IDC_NONE, TControlKind::Static, "&When received", 8, 124, 62, 8, Label},
  {IDC_TRIGGER_TEXT, TControlKind::Edit, "", 72, 122, 220, 12, Field, Wide},
  {IDC_TRIGGER_REGEX, TControlKind::CheckBox, "&Regular expression", 72, 138, 100, 12, Check},
  {IDC_NONE, TControlKind::Static, "&Send", 8, 156, 62, 8, Label},
  {IDC_TRIGGER_REPLY, TControlKind::Edit, "", 72, 154, 220, 12, Field, Wide},
  {IDC_NONE, TControlKind::Static, "De&lay", 8, 172, 62, 8, Label},
  {IDC_TRIGGER_DELAY, TControlKind::Edit, "", 72, 170, 36, 12, Number},
  {IDC_NONE, TControlKind::Static, "ms", 112, 172, 16, 8, Label},
  {IDC_TRIGGER_ONCE, TControlKind::CheckBox, "On&ce", 150, 170, 60, 12, Check},
  {IDC_TRIGGER_NOTE, TControlKind::Static, "", 8, 188, 284, 16, Label, Wide},
};

// The plot window: what span it shows, the value range, Pause, Clear and Export above the plot;
// the legend (a check box a series, shown as its series appears) and the note beside it.
constexpr TControlTemplate PlotControls[] = {
  {IDC_NONE, TControlKind::Static, "Show", 4, 6, 20, 8, Label},
  {IDC_PLOT_SPAN, TControlKind::ComboBox, "", 26, 4, 46, 120, List},
  {IDC_PLOT_AUTOY, TControlKind::CheckBox, "&Auto Y", 80, 4, 40, 12, Visible | TabStop},
  {IDC_NONE, TControlKind::Static, "from", 122, 6, 18, 8, Label},
  {IDC_PLOT_YMIN, TControlKind::Edit, "", 140, 4, 40, 12, Visible | TabStop | ClientEdge},
  {IDC_NONE, TControlKind::Static, "to", 184, 6, 10, 8, Label},
  {IDC_PLOT_YMAX, TControlKind::Edit, "", 196, 4, 40, 12, Visible | TabStop | ClientEdge},
  {IDC_PLOT_PAUSE, TControlKind::PushButton, "&Pause", 250, 3, 44, 14, Visible | TabStop, AtRight},
  {IDC_PLOT_CLEAR, TControlKind::PushButton, "C&lear", 298, 3, 44, 14, Visible | TabStop, AtRight},
  {IDC_PLOT_EXPORT, TControlKind::PushButton, "&Export CSV...", 346, 3, 50, 14, Visible | TabStop, AtRight},
  {IDC_PLOT_AREA, TControlKind::EtchedFrame, "", 4, 22, 322, 204, Visible, Fill},
  {IDC_PLOT_SERIES + 0, TControlKind::CheckBox, "", 332, 22, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 1, TControlKind::CheckBox, "", 332, 33, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 2, TControlKind::CheckBox, "", 332, 44, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 3, TControlKind::CheckBox, "", 332, 55, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 4, TControlKind::CheckBox, "", 332, 66, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 5, TControlKind::CheckBox, "", 332, 77, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 6, TControlKind::CheckBox, "", 332, 88, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 7, TControlKind::CheckBox, "", 332, 99, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 8, TControlKind::CheckBox, "", 332, 110, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 9, TControlKind::CheckBox, "", 332, 121, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 10, TControlKind::CheckBox, "", 332, 132, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 11, TControlKind::CheckBox, "", 332, 143, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 12, TControlKind::CheckBox, "", 332, 154, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 13, TControlKind::CheckBox, "", 332, 165, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 14, TControlKind::CheckBox, "", 332, 176, 64, 10, TabStop, AtRight},
  {IDC_PLOT_SERIES + 15, TControlKind::CheckBox, "", 332, 187, 64, 10, TabStop, AtRight},
  {IDC_PLOT_NOTE, TControlKind::Static, "", 332, 200, 64, 26, 0, AtRight},
};

// The find window: what to find with Next and Previous, Match case, and which match is shown.
constexpr TControlTemplate FindControls[] = {
  {IDC_FIND_TEXT, TControlKind::Edit, "", 8, 7, 136, 12, Visible | Border | TabStop | ClientEdge},
  {IDC_FIND_NEXT, TControlKind::PushButton, "&Next", 150, 6, 40, 14, Visible | TabStop | DefaultButton},
  {IDC_FIND_PREVIOUS, TControlKind::PushButton, "&Previous", 194, 6, 40, 14, Visible | TabStop},
  {IDC_FIND_CASE, TControlKind::CheckBox, "Match &case", 8, 25, 80, 12, Visible | TabStop},
  {IDC_FIND_COUNT, TControlKind::Static, "", 96, 27, 138, 8, Label},
};

constexpr TDialogTemplate Dialogs[] = {
  {IDD_SETUP, "COM-Port Setting", "MS Sans Serif", 8, 266, 189, SetupControls, DialogStyle::CaptionOnly},
  {IDD_CLIENT, "Dialog Client", "MS Sans Serif", 8, 403, 158, ClientControls},
  {IDD_COMMANDLIST, "Command List", "MS Sans Serif", 8, 240, 120, CommandListControls},
  {IDD_ABOUT, "About Kalvix", "MS Sans Serif", 8, 204, 134, AboutControls},
  {IDD_TRANSFER, "Transfer", "MS Sans Serif", 8, 220, 112, TransferControls,
   DialogStyle::SysMenu | DialogStyle::OwnWindow},
  {IDD_FIND, "Find", "MS Sans Serif", 8, 242, 42, FindControls, DialogStyle::SysMenu | DialogStyle::OwnWindow},
  {IDD_TRIGGERS, "Triggers", "MS Sans Serif", 8, 300, 210, TriggerControls,
   DialogStyle::SysMenu | DialogStyle::OwnWindow},
  {IDD_PLOT, "Plot", "MS Sans Serif", 8, 400, 230, PlotControls, DialogStyle::SysMenu | DialogStyle::OwnWindow},
};
}

constexpr std::span<const TDialogTemplate> KalvixDialogs = Dialogs;
