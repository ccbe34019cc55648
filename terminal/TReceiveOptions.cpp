#include "terminal/TReceiveOptions.h"

#include "framework/TFrameWindow.h"
#include "resources/ResourceIds.h"
#include "settings/PortSettings.h"
#include "terminal/TReceiveView.h"

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

void TReceiveOptions::Load()
{
  for (const TOption& option : Options)
    if (std::uint32_t stored = 0; LoadExtraNumber(option.Name, stored))
      View.*option.State = stored != 0;
}

void TReceiveOptions::Toggle(int command, TFrameWindow* frame)
{
  for (const TOption& option : Options)
    if (option.Command == command) {
      bool& state = View.*option.State;
      state = !state;
      StoreExtraNumber(option.Name, state);
    }
  ShowChecks(frame);
}

void TReceiveOptions::ShowChecks(TFrameWindow* frame) const
{
  if (frame)
    for (const TOption& option : Options)
      frame->CheckMenuItem(option.Command, View.*option.State);
}
