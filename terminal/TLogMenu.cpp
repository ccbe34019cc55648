#include "terminal/TLogMenu.h"

#include "framework/ResourceLoader.h"
#include "framework/TApplication.h"
#include "framework/TFileSaveDialog.h"
#include "framework/TFrameWindow.h"
#include "resources/ResourceIds.h"

#include <cstring>

namespace {

// A box's text: the string messageId, the file's name and the reason for error, each on a line
// of its own.
std::string FileReport(unsigned messageId, const std::string& path, int error)
{
  char message[160];
  LoadString(messageId, message, sizeof message);
  return message + ("\n" + path) + "\n" + std::strerror(error);
}

}   // namespace

std::string TLogMenu::Command(bool textMode)
{
  if (Log.IsOpen())
    return Ended(Log.Close());
  // An existing file is appended to, so choosing one asks nothing.
  TOpenSaveDialog::TData data;
  data.Flags = OFN_HIDEREADONLY;
  data.Filter = "Raw data (*.bin)|*.bin|Text log with times (*.log)|*.log|All Files (*.*)|*.*|";
  data.FilterIndex = 1;
  // A name typed without an ending gets that of the chosen filter, none under All Files.
  if (TFileSaveDialog(&Owner, data, "Log to File").Execute() != IDOK)
    return {};
  // Under All Files the name's ending decides.
  const bool text = data.FilterIndex == 2 || (data.FilterIndex != 1 && data.FileName.ends_with(".log"));
  if (const int error = Log.Open(data.FileName, text ? TCaptureLog::Text : TCaptureLog::Raw, textMode))
    Owner.MessageBox(FileReport(IDS_LOG_CANNOT_OPEN, data.FileName, error).c_str(), "Kalvix",
                     MB_OK | MB_ICONEXCLAMATION);
  else
    ShowLogging(true);
  return {};
}

std::string TLogMenu::Flush()
{
  const int error = Log.Flush();
  return error ? Ended(error) : std::string();
}

std::string TLogMenu::Ended(int error)
{
  ShowLogging(false);
  return error ? FileReport(IDS_LOG_FAILED, Log.Path(), error) : std::string();
}

void TLogMenu::ShowLogging(bool on)
{
  TApplication* application = Owner.GetApplication();
  if (TFrameWindow* frame = application ? application->GetMainWindow() : nullptr) {
    frame->CheckMenuItem(CM_LOGTOFILE, on);
    frame->SetMenuItemText(CM_LOGTOFILE, on ? "Stop &Logging" : "&Log to File...");
  }
}
