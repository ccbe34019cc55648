#include "app/TKalvixApp.h"

#include "app/TSDIDecFrame.h"
#include "framework/TCmdLine.h"
#include "framework/TStatusBar.h"
#include "resources/ResourceIds.h"

TKalvixApp::TKalvixApp(const char* name, int& argc, char** argv) : TApplication(name, argc, argv) {}

const TResponseTable& TKalvixApp::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TKalvixApp::ShowAboutBox>(CM_ABOUT),
  };
  static const TResponseTable table {&TApplication::Responses(), entries};
  return table;
}

void TKalvixApp::BuildMainWindow()
{
  // Whoever starts the program may only ask for it hidden or minimised without activation.
  if (GetCmdShow() != SW_HIDE && GetCmdShow() != SW_SHOWMINNOACTIVE)
    SetCmdShow(SW_SHOWNORMAL);

  auto* frame = new TSDIDecFrame(nullptr, GetName().c_str(), nullptr, true);
  frame->SetShrinkToClient(true);
  frame->SetMaximizeBox(false);
  frame->SetIconId(IDI_KALVIX);
  frame->SetMenuId(IDM_MAIN);
  frame->SetAcceleratorsId(IDM_MAIN);
  frame->Insert(new TStatusBar(frame, TStatusBar::CapsLock | TStatusBar::NumLock | TStatusBar::ScrollLock));
  SetMainWindow(frame);
}

bool TKalvixApp::StartInstance()
{
  if (!TApplication::StartInstance())
    return false;
  ScanCommandLine(GetCmdLine());
  return true;
}

void TKalvixApp::ShowAboutBox()
{
  // Placeholder: the about box is not built yet, so About shows nothing.
}

void TKalvixApp::ScanCommandLine(const std::string& cmdLine)
{
  // Only reads the tokens so far; the registration they select is not built yet.
  TCmdLine tokens(cmdLine);
  while (tokens.NextToken() != TCmdLine::Done) {
  }
}
