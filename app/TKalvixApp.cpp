#include "app/TKalvixApp.h"

#include "app/TKalvixAboutDlg.h"

#include "app/TSDIDecFrame.h"
#include "framework/TCmdLine.h"
#include "framework/TRegKey.h"
#include "platform/Version.h"
#include "framework/TStatusBar.h"
#include "resources/KalvixResources.h"
#include "resources/ResourceIds.h"

#include <algorithm>
#include <cctype>
#include <cstring>

TKalvixApp::TKalvixApp(const char* name, int& argc, char** argv) : TApplication(name, KalvixResources(), argc, argv) {}

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
  TKalvixAboutDlg(GetMainWindow(), IDD_ABOUT).Execute();
}

bool TKalvixApp::AsksToUnregister(const std::string& cmdLine)
{
  static constexpr std::string_view Unregister = "unregister";
  TCmdLine tokens(cmdLine);
  for (TCmdLine::TKind kind; (kind = tokens.NextToken()) != TCmdLine::Done;) {
    const std::string_view word = tokens.GetTokenWord();
    if (kind == TCmdLine::Option && word.size() <= Unregister.size() &&
        std::equal(word.begin(), word.end(), Unregister.begin(), [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
        }))
      return true;
  }
  return false;
}

void TKalvixApp::ScanCommandLine(const std::string& cmdLine)
{
  if (AsksToUnregister(cmdLine))
    RemoveRegistration();
  else
    WriteRegistration();
}

void TKalvixApp::WriteRegistration()
{
  char path[260];
  GetModuleFileName(path, sizeof path);
  const TRegKey key(HKEY_CLASSES_ROOT, "Kalvix.Application\\DefaultIcon");
  key.SetDefValue(nullptr, REG_SZ, path, std::uint32_t(std::strlen(path)));
}

void TKalvixApp::RemoveRegistration()
{
  // Only keys that exist are opened: removing must leave nothing new behind.
  {
    const TRegKey application(HKEY_CLASSES_ROOT, "Kalvix.Application", false);
    application.DeleteKey("DefaultIcon");
  }
  {
    const TRegKey document(HKEY_CLASSES_ROOT, "Kalvix.Document.1", false);
    document.DeleteKey("DefaultIcon");
  }
  RegDeleteKey(HKEY_CLASSES_ROOT, "Kalvix.Application");
}
