#include "resources/ResourceIds.h"
#include "resources/ResourceTypes.h"

namespace {
using namespace ControlStyle;
constexpr std::uint32_t Led = Visible | TabStop | CenterText | OwnerDraw;
constexpr std::uint32_t Label = Visible;
constexpr int OkButton = 1;   // the ids a dialog's OK and Cancel buttons always have
constexpr int CancelButton = 2;

// The terminal window: the LED row in its frame, the send field with Send and Stop sharing
// one place, and the receive field below.
constexpr TControlTemplate ClientControls[] = {
  {IDC_SENDTEXT, TControlKind::Edit, "", 0, 26, 348, 14, Visible | Border | TabStop | ClientEdge},
  {IDC_STOP, TControlKind::PushButton, "&Stop", 349, 25, 52, 16, Visible | TabStop},
  {IDC_SEND, TControlKind::PushButton, "&Send", 350, 25, 52, 16, Visible | TabStop},
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
   Visible | MultiLine | ReadOnly | AutoHScroll | AutoVScroll | HScroll | VScroll | OemConvert},
  {IDC_NONE, TControlKind::EtchedFrame, "", 0, 0, 404, 22, Visible},
};

// The about box: name, version line, legal notice, icon and OK.
constexpr std::uint32_t Centred = Visible | CenterText;
constexpr TControlTemplate AboutControls[] = {
  {IDC_ABOUT_VERSION, TControlKind::Static, "Version", 2, 14, 200, 8, Centred},
  {IDC_NONE, TControlKind::Static, "Kalvix", 2, 4, 200, 8, Centred},
  {IDC_ABOUT_NOTICE, TControlKind::Static, "", 2, 27, 200, 77, Centred},
  {IDC_NONE, TControlKind::Icon, "#1001", 2, 2, 34, 34, Visible},
  {OkButton, TControlKind::PushButton, "OK", 82, 112, 40, 14, Visible | TabStop | DefaultButton},
};

constexpr TDialogTemplate Dialogs[] = {
  {IDD_CLIENT, "Dialog Client", "MS Sans Serif", 8, 403, 158, ClientControls},
  {IDD_ABOUT, "About Kalvix", "MS Sans Serif", 8, 204, 134, AboutControls},
};
}

const TDialogTemplate* FindDialogTemplate(int id)
{
  for (const TDialogTemplate& dialog : Dialogs)
    if (dialog.Id == id)
      return &dialog;
  return nullptr;
}
