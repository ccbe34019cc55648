#include "terminal/TLineState.h"

#include "framework/ResourceLoader.h"
#include "framework/TFrameWindow.h"
#include "resources/ResourceIds.h"
#include "serial/TComPort.h"
#include "terminal/TModemLamps.h"

#include <cstdio>

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
  Shown = shown;
}

void TLineState::SendBreak(bool open, TTime now)
{
  // The break ends on a later step: the window goes on meanwhile.
  if (open && Port.SetBreak(true) == 0)
    BreakEnds = now + BreakLength;
}

void TLineState::Toggle(bool dtr, TFrameWindow* frame)
{
  // Only a line the menu offers.
  bool dtrUp = false, rtsUp = false;
  if (Shown < 0 || !(Shown & LinesFree) || !Port.GetOutputLines(dtrUp, rtsUp))
    return;
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

std::string TLineState::Status(bool open, int port)
{
  // An adapter unplugged (or a line gone after repeated errors) is waited for.
  if (!open) {
    There = true;
    return {};
  }
  if (Port.IsAttached() == There)
    return {};
  There = !There;
  char format[160], text[200];
  LoadString(There ? IDS_PORT_BACK : IDS_PORT_LOST, format, sizeof format);
  std::snprintf(text, sizeof text, format, port);
  return text;
}
