#include "terminal/TLineState.h"

#include "framework/ResourceLoader.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TStatusBar.h"
#include "resources/ResourceIds.h"
#include "serial/TComPort.h"
#include "settings/PortSettings.h"
#include "terminal/TModemLamps.h"
#include "terminal/TReceiveView.h"

#include <cstdio>

namespace {
struct TOption {
  int Command;
  const char* Name;   // of its stored value
  bool TReceiveView::*State;
};
constexpr TOption Options[] = {
  {CM_TIMESTAMPS, "TimeStamps", &TReceiveView::TimeStamps},
  {CM_COLOURS, "Colours", &TReceiveView::Colours},
  {CM_LOCALECHO, "LocalEcho", &TReceiveView::LocalEcho},
};
}   // namespace

TLineState::TLineState(TComPort& port, TModemLamps& lamps, TReceiveView& view) : Port(port), Lamps(lamps), View(view)
{
  for (const TOption& option : Options)
    if (std::uint32_t stored = 0; LoadExtraNumber(option.Name, stored))
      View.*option.State = stored != 0;
}

void TLineState::Show(bool open, TFrameWindow* frame)
{
  bool dtr = false, rts = false;
  open = open && Port.GetOutputLines(dtr, rts);
  // Under the hardware handshake the kernel and the handshake drive both lines.
  const bool free = open && Port.CommState().fDtrControl != DTR_CONTROL_HANDSHAKE;
  const int shown = (open ? LinesOpen : 0) | (free ? LinesFree : 0) | (dtr ? LinesDtr : 0) | (rts ? LinesRts : 0);
  if (shown == Shown || !frame || !frame->EnableMenuItem(CM_SENDBREAK, open))
    return;
  if (open)
    Lamps.ShowOutputs(dtr, rts);
  frame->EnableMenuItem(CM_DTR, free);
  frame->EnableMenuItem(CM_RTS, free);
  frame->CheckMenuItem(CM_DTR, open && dtr);
  frame->CheckMenuItem(CM_RTS, open && rts);
  frame->SetMenuItemHint(CM_DTR, open && !free ? int(IDS_DTR_BY_HANDSHAKE) : CM_DTR);
  frame->SetMenuItemHint(CM_RTS, open && !free ? int(IDS_RTS_BY_HANDSHAKE) : CM_RTS);
  for (const TOption& option : Options)
    frame->CheckMenuItem(option.Command, View.*option.State);
  Shown = shown;
}

void TLineState::SendBreak(bool open, TTime now)
{
  // The break ends on a later step: the window goes on meanwhile.
  if (open && Port.SetBreak(true) == 0)
    BreakEnds = now + BreakLength;
}

void TLineState::Toggle(int command, TFrameWindow* frame)
{
  for (const TOption& option : Options)
    if (option.Command == command) {
      bool& state = View.*option.State;
      state = !state;
      StoreExtraNumber(option.Name, state);
      if (frame)
        frame->CheckMenuItem(command, state);
      return;
    }
  // Only a line the menu offers.
  bool dtrUp = false, rtsUp = false;
  if (Shown < 0 || !(Shown & LinesFree) || !Port.GetOutputLines(dtrUp, rtsUp))
    return;
  const bool dtr = command == CM_DTR;
  Port.SetOutputLines(dtr ? !dtrUp : dtrUp, dtr ? rtsUp : !rtsUp);
  Show(true, frame);
}

void TLineState::Step(TTime now)
{
  if (now < BreakEnds)
    return;
  BreakEnds = TTime::max();
  Port.SetBreak(false);
}

void TLineState::Tell(bool open, int port, TFrameWindow* frame)
{
  if (!open) {
    There = true;
    Held = nullptr;
    return;
  }
  const auto* decorated = dynamic_cast<TDecoratedFrame*>(frame);
  TStatusBar* bar = decorated ? decorated->GetStatusBar() : nullptr;
  char format[160], text[200] = "";
  // An adapter unplugged (or a line gone after repeated errors) is waited for.
  if (Port.IsAttached() != There) {
    There = !There;
    LoadString(There ? IDS_PORT_BACK : IDS_PORT_LOST, format, sizeof format);
    std::snprintf(text, sizeof text, format, port);
  } else if (const char* held = HeldBy(); held != Held) {
    Held = held;
    if (held) {
      LoadString(IDS_OUTPUT_HELD, format, sizeof format);
      std::snprintf(text, sizeof text, format, port, held, Handshake);
    } else if (!bar || bar->GetText() != Said) {
      return;
    }
  } else {
    return;
  }
  Said = text;
  if (bar)
    bar->SetText(text);
}

const char* TLineState::HeldBy() const
{
  if (Port.IsWriteIdle())
    return nullptr;
  const long status = Port.GetModemStatus();
  const TDcb& line = Port.CommState();
  if (status < 0)
    return nullptr;
  return line.fOutxCtsFlow && !(status & MS_CTS_ON)   ? "CTS"
         : line.fOutxDsrFlow && !(status & MS_DSR_ON) ? "DSR"
                                                      : nullptr;
}
