#include "resources/KalvixResources.h"
#include "resources/ResourceIds.h"

namespace {
using enum TMenuItemKind;

constexpr TMenuItemTemplate TransferItems[] = {
  {Command, "Send &Raw File...", CM_SENDRAW, {}},
  {Command, "Send with &XMODEM...", CM_SENDXMODEM, {}},
  {Command, "Send with &YMODEM...", CM_SENDYMODEM, {}},
  {Separator, "", 0, {}},
  {Command, "R&eceive with XMODEM...", CM_RECEIVEXMODEM, {}},
  {Command, "Recei&ve with YMODEM...", CM_RECEIVEYMODEM, {}},
};

constexpr TMenuItemTemplate FileItems[] = {
  {Command, "&Open Command File...", CM_OPENCOMMANDFILE, {}},
  {Command, "&Log to File...", CM_LOGTOFILE, {}},
  {Popup, "&Transfer", 0, TransferItems},
  {Separator, "", 0, {}},
  {Command, "E&xit\tAlt+F4", CM_EXIT, {}},
};

constexpr TMenuItemTemplate LineItems[] = {
  {Command, "Send &Break", CM_SENDBREAK, {}},
  {Separator, "", 0, {}},
  {Command, "&DTR", CM_DTR, {}},
  {Command, "&RTS", CM_RTS, {}},
  {Separator, "", 0, {}},
  {Command, "&Time Stamps", CM_TIMESTAMPS, {}},
  {Command, "&Colours", CM_COLOURS, {}},
  {Command, "Local &Echo", CM_LOCALECHO, {}},
  {Separator, "", 0, {}},
  {Command, "&Find...\tCtrl+F", CM_FIND, {}},
  {Command, "Tr&iggers...", CM_TRIGGERS, {}},
  {Command, "&Plot...", CM_PLOT, {}},
};

constexpr TMenuItemTemplate HelpItems[] = {
  {Command, "&About...", CM_ABOUT, {}},
};

// Groups: file | edit | container | object | window (empty) | help.
constexpr TMenuItemTemplate MainItems[] = {
  {Popup, "&File", 0, FileItems},
  {Separator, "", 0, {}},
  {Command, "&Select", CM_SELECT, {}},
  {Command, "&Clear", CM_CLEAR, {}},
  {Separator, "", 0, {}},
  {Command, "Set&up", CM_SETUP, {}},
  {Separator, "", 0, {}},
  {Command, "Switch &Mode", CM_SWITCHMODE, {}},
  {Popup, "&Line", 0, LineItems},
  {Separator, "", 0, {}},
  {Separator, "", 0, {}},
  {Popup, "&Help", 0, HelpItems},
};

constexpr TMenuTemplate Menus[] = {
  {IDM_MAIN, MainItems},
};

constexpr TAcceleratorEntry MainAccelerators[] = {
  {VirtualKey::Delete, AccelFlag::Shift, CM_CUT},   {VirtualKey::Insert, AccelFlag::Control, CM_COPY},
  {VirtualKey::Insert, AccelFlag::Shift, CM_PASTE}, {VirtualKey::Delete, AccelFlag::Control, CM_CLEARFIELD},
  {VirtualKey::Back, AccelFlag::Alt, CM_UNDO},      {VirtualKey::F1 + 2, 0, CM_FINDAGAIN},
  {VirtualKey::A + 5, AccelFlag::Control, CM_FIND}, {VirtualKey::F1 + 2, AccelFlag::Shift, CM_FINDPREVIOUS},
};

constexpr TAcceleratorTable AcceleratorTables[] = {
  {IDM_MAIN, MainAccelerators},
};
}

constexpr std::span<const TMenuTemplate> KalvixMenus = Menus;
constexpr std::span<const TAcceleratorTable> KalvixAccelerators = AcceleratorTables;
