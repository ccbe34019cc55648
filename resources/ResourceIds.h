#pragma once
// Identifiers of the program's resources, commands and controls, beside the framework's own
// (OK, Cancel, Exit, the edit commands), which the menu, accelerators and templates use too.
#include "framework/StandardIds.h"

// Dialog templates
constexpr int IDD_SETUP = 1;
constexpr int IDD_COMMANDLIST = 2;
constexpr int IDD_TRANSFER = 3;
constexpr int IDD_FIND = 4;
constexpr int IDD_TRIGGERS = 6;
constexpr int IDD_PLOT = 5;
constexpr int IDD_CLIENT = 2000;
constexpr int IDD_ABOUT = 22000;

// Menu and accelerator table, icon
constexpr int IDM_MAIN = 100;
constexpr int IDI_KALVIX = 1001;

// LED bitmaps, one per lamp state
constexpr int IDB_LED_OFF = 1;
constexpr int IDB_LED_GREEN = 2;
constexpr int IDB_LED_RED = 3;

// Commands
constexpr int CM_OPENCOMMANDFILE = 24332;
constexpr int CM_SELECT = 51690;
constexpr int CM_CLEAR = 51688;
constexpr int CM_SETUP = 51683;
constexpr int CM_SWITCHMODE = 51689;
constexpr int CM_ABOUT = 2009;
constexpr int CM_LOGTOFILE = 51691;
// The Transfer pop-up (its hint is 51700), and the transfer window's Cancel as the terminal
// window takes it.
constexpr int CM_SENDRAW = 51701;
constexpr int CM_SENDXMODEM = 51702;
constexpr int CM_SENDYMODEM = 51703;
constexpr int CM_RECEIVEXMODEM = 51704;
constexpr int CM_RECEIVEYMODEM = 51705;
constexpr int CM_CANCELTRANSFER = 51706;
// The Line pop-up (its hint is 51710).
constexpr int CM_SENDBREAK = 51711;
constexpr int CM_DTR = 51712;
constexpr int CM_RTS = 51713;
constexpr int CM_TIMESTAMPS = 51714;
constexpr int CM_COLOURS = 51715;
constexpr int CM_LOCALECHO = 51716;
constexpr int CM_FIND = 51717;
// Shift+F3: the match before; F3 (CM_FINDAGAIN) is the next one.
constexpr int CM_FINDPREVIOUS = 51718;
// The Line menu's Triggers... item.
constexpr int CM_TRIGGERS = 51730;
constexpr int CM_PLOT = 51720;

// F3 in the accelerator table: the next match of a search, if there is one.
constexpr int CM_FINDAGAIN = 24353;

// Controls of the terminal window (dialog 2000)
constexpr int IDC_RECEIVE = 101;
constexpr int IDC_SENDTEXT = 102;
constexpr int IDC_LED_DSR = 103;
constexpr int IDC_LED_RTS = 104;
constexpr int IDC_LED_CTS = 105;
constexpr int IDC_LED_DCD = 106;
constexpr int IDC_LED_RI = 107;
constexpr int IDC_LED_DTR = 108;
constexpr int IDC_SEND = 109;
constexpr int IDC_STOP = 110;
// Controls of the setup dialog (dialog 1)
constexpr int IDC_BAUDRATE = 101;
constexpr int IDC_PARITY = 102;
constexpr int IDC_STOPBITS = 103;
constexpr int IDC_DATABITS = 104;
constexpr int IDC_HANDSHAKE = 105;
constexpr int IDC_SETDTR = 106;
constexpr int IDC_SETRTS = 107;
constexpr int IDC_LINELENGTH = 108;
constexpr int IDC_DELAYTIME = 109;
constexpr int IDC_USECTS = 110;
constexpr int IDC_USEDSR = 111;
constexpr int IDC_PORT = 112;
constexpr int IDC_DELAYCHAR = 113;
// A control that nothing refers to (labels, frames).
constexpr int IDC_NONE = -1;

// The command list (dialog 2)
constexpr int IDC_COMMANDS = 101;

// The transfer window (dialog 3); its Cancel is IDCANCEL
constexpr int IDC_TRANSFER_FILE = 101;
constexpr int IDC_TRANSFER_PROTOCOL = 102;
constexpr int IDC_TRANSFER_BYTES = 103;
constexpr int IDC_TRANSFER_PROGRESS = 104;
constexpr int IDC_TRANSFER_RATE = 105;
constexpr int IDC_TRANSFER_RETRIES = 106;

// The find window (dialog 4)
constexpr int IDC_FIND_TEXT = 101;
constexpr int IDC_FIND_CASE = 102;
constexpr int IDC_FIND_NEXT = 103;
constexpr int IDC_FIND_PREVIOUS = 104;
constexpr int IDC_FIND_COUNT = 105;
// The triggers window (dialog 6)
constexpr int IDC_TRIGGER_LIST = 101;
constexpr int IDC_TRIGGER_ADD = 102;
constexpr int IDC_TRIGGER_REMOVE = 103;
constexpr int IDC_TRIGGER_UP = 104;
constexpr int IDC_TRIGGER_DOWN = 105;
constexpr int IDC_TRIGGER_ON = 106;
constexpr int IDC_TRIGGER_TEXT = 107;
constexpr int IDC_TRIGGER_REGEX = 108;
constexpr int IDC_TRIGGER_REPLY = 109;
constexpr int IDC_TRIGGER_DELAY = 110;
constexpr int IDC_TRIGGER_ONCE = 111;
constexpr int IDC_TRIGGER_NOTE = 112;
// The plot window (dialog 5); its close box is IDCANCEL
constexpr int IDC_PLOT_SPAN = 101;
constexpr int IDC_PLOT_AUTOY = 102;
constexpr int IDC_PLOT_YMIN = 103;
constexpr int IDC_PLOT_YMAX = 104;
constexpr int IDC_PLOT_PAUSE = 105;
constexpr int IDC_PLOT_CLEAR = 106;
constexpr int IDC_PLOT_EXPORT = 107;
constexpr int IDC_PLOT_AREA = 108;
constexpr int IDC_PLOT_NOTE = 109;
// One check box a series, IDC_PLOT_SERIES + its number (0 to 15).
constexpr int IDC_PLOT_SERIES = 120;

// Controls of the about box (dialog 22000)
constexpr int IDC_ABOUT_VERSION = 22001;
constexpr int IDC_ABOUT_NOTICE = 22002;

// Strings
constexpr unsigned IDS_5DATA_2STOP = 100;
constexpr unsigned IDS_6DATA_15STOP = 101;
constexpr unsigned IDS_7DATA_15STOP = 102;
constexpr unsigned IDS_8DATA_15STOP = 103;
constexpr unsigned IDS_PORT_UNAVAILABLE = 104;
constexpr unsigned IDS_LOG_CANNOT_OPEN = 120;
constexpr unsigned IDS_LOG_FAILED = 121;
constexpr unsigned IDS_TRANSFER_CANNOT_OPEN = 122;
constexpr unsigned IDS_TRANSFER_FAILED = 123;
constexpr unsigned IDS_SETTINGS_NOT_SAVED = 124;
// The reasons a transfer fails, IDS_TRANSFER_REASON + the failure's number.
constexpr unsigned IDS_TRANSFER_REASON = 130;
// The port's device went away, or came back; %d is the port's number.
constexpr unsigned IDS_PORT_LOST = 125;
constexpr unsigned IDS_PORT_BACK = 126;
// The handshake holds output: %d the port's number, %s the input line, %s the handshake.
constexpr unsigned IDS_OUTPUT_HELD = 127;
// The hints of DTR and RTS while the handshake drives them.
constexpr unsigned IDS_DTR_BY_HANDSHAKE = 128;
constexpr unsigned IDS_RTS_BY_HANDSHAKE = 129;
// Setup's baud rate is no whole rate in the range (%ld, %ld); the line runs at another rate than
// the one asked for (%d the port's number, %lu the two rates).
constexpr unsigned IDS_BAUDRATE_NOT_IN_RANGE = 150;
constexpr unsigned IDS_RATE_OFF = 151;
// A trigger fired (%u its number, %s the reply), or was turned off; the triggers window's notes.
constexpr unsigned IDS_TRIGGER_SENT = 160;
constexpr unsigned IDS_TRIGGER_RUNAWAY = 161;
constexpr unsigned IDS_TRIGGER_BAD_EXPRESSION = 162;
constexpr unsigned IDS_TRIGGERS_NOT_SAVED = 163;
// The plot window's texts: the note on series left out, a failed export (followed by the file's
// name and the system's reason), the Pause button's two faces, and the spans it shows, by "|".
constexpr unsigned IDS_PLOT_LEFT_OUT = 170;
constexpr unsigned IDS_PLOT_EXPORT_FAILED = 171;
constexpr unsigned IDS_PLOT_PAUSE = 172;
constexpr unsigned IDS_PLOT_RESUME = 173;
constexpr unsigned IDS_PLOT_SPANS = 174;
// The find window's count: "%d of %d" matches, or none.
constexpr unsigned IDS_FIND_COUNT = 180;
constexpr unsigned IDS_FIND_NONE = 181;
// Menu hints have the ids of their commands; a pop-up's is its first item's id minus one.
