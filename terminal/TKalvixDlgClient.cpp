#include "terminal/TKalvixDlgClient.h"

#include "framework/ResourceLoader.h"
#include "framework/TApplication.h"
#include "framework/TFrameWindow.h"
#include "framework/TFileOpenDialog.h"
#include "framework/TFileSaveDialog.h"
#include "framework/TFilterValidator.h"
#include "settings/PortSettings.h"
#include "terminal/TCommandList.h"
#include "settings/TComSetup.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* BinaryFilter = "0-9,;#:A-F";
constexpr const char* TextFilter = " -\x7f";
// Lines of the text log that say in which mode what follows is shown.
constexpr const char* BinaryModeNote = "--- binary mode ---";
constexpr const char* TextModeNote = "--- text mode ---";

}   // namespace

TKalvixDlgClient::TKalvixDlgClient(TWindow* parent, int resourceId)
  : TDialog(parent, resourceId),
    ReceiveView(this),
    Lamps(this),
    SendField(this, IDC_SENDTEXT, SendLimit),
    SendButton(this, IDC_SEND),
    StopButton(this, IDC_STOP)
{
  SendField.SetValidator(new TFilterValidator(BinaryFilter));
}

TKalvixDlgClient::~TKalvixDlgClient()
{
  // The widgets go before the controls that drive them, the port before the log.
  Destroy();
  Port.Close();
}

const TResponseTable& TKalvixDlgClient::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TKalvixDlgClient::CmClear>(CM_CLEAR),
    OnCommand<&TKalvixDlgClient::CmOpenCommandFile>(CM_OPENCOMMANDFILE),
    OnCommand<&TKalvixDlgClient::CmSelect>(CM_SELECT),
    OnCommand<&TKalvixDlgClient::CmLogToFile>(CM_LOGTOFILE),
    OnMessage<&TKalvixDlgClient::LogFailed>(LogFailedMessage),
    OnMessage<&TKalvixDlgClient::ReceivedData>(WM_USER),
    OnMessage<&TKalvixDlgClient::TimerTick>(WM_TIMER),
    OnCommand<&TKalvixDlgClient::CmSwitchMode>(CM_SWITCHMODE),
    OnCommand<&TKalvixDlgClient::CmSetup>(CM_SETUP),
    OnCommand<&TKalvixDlgClient::CmSend>(IDC_SEND),
    OnNotify<&TKalvixDlgClient::EnSendChange>(IDC_SENDTEXT, EN_CHANGE),
    OnCommand<&TKalvixDlgClient::CmStop>(IDC_STOP),
    OnCommand<&TKalvixDlgClient::CmIgnore>(IDOK),
    OnCommand<&TKalvixDlgClient::CmIgnore>(IDCANCEL),
  };
  static const TResponseTable table {&TDialog::Responses(), entries};
  return table;
}

void TKalvixDlgClient::SetFrameCaption(const char* text)
{
  TWindow* frame = this;
  while (frame->GetParent())
    frame = frame->GetParent();
  frame->SetCaption(text);
}

TFrameWindow* TKalvixDlgClient::MainFrame() const
{
  TApplication* application = GetApplication();
  return application ? application->GetMainWindow() : nullptr;
}

void TKalvixDlgClient::PrepareWindow()
{
  TDialog::PrepareWindow();
  SetFrameCaption("Kalvix in binary mode");
  LoadPortSettings(Setup, ReceiveView.LineLength, SendPath.DelayTime, SendPath.DelayChar);
  ReceiveView.ReceiveField.SetReadOnly(true);
  if (!OpenPort()) {
    // Send is unusable; Stop must not stand in its place either.
    StopButton.Show(SW_HIDE);
    return;
  }
  ApplySettings();
  SetTimer(PollTimer, PollInterval);
  SendButton.Show(SW_SHOW);
  StopButton.Show(SW_HIDE);
}

bool TKalvixDlgClient::OpenPort()
{
  if (Port.Open(this, Setup.PortNumber(), QueueSize, QueueSize) >= 0) {
    SendButton.EnableWindow(true);
    return true;
  }
  char text[160];
  LoadString(IDS_PORT_UNAVAILABLE, text, sizeof text);
  MessageBox(text, "", MB_OK | MB_ICONEXCLAMATION);
  SendButton.EnableWindow(false);
  return false;
}

void TKalvixDlgClient::ApplySettings()
{
  const TLineSettings s = Setup.LineSettings();
  Port.Configure(s.Baud, s.ByteSize, s.StopBits, s.Parity, s.Handshake, s.SetDtr, s.SetRts, s.UseCts, s.UseDsr);
  Lamps.ShowOutputs(Setup.DtrLit(), Setup.RtsLit());
}

LRESULT TKalvixDlgClient::TimerTick(WPARAM id, LPARAM)
{
  if (id == DrainTimer)
    PollPort(true);
  if (id != PollTimer)
    return 0;
  PollPort(false);
  Lamps.ShowInputs(Port.GetModemStatus());
  SendTick();
  FlushLog();
  return 0;
}

void TKalvixDlgClient::PollPort(bool draining)
{
  // What one poll brings is shown with one insertion: laying out the field once per poll, not
  // once per 80-byte chunk, is what keeps a fast line from eating the window's time.
  ReceiveView.BeginPoll();
  Port.Poll();
  ReceiveView.EndPoll();
  // A line that streams is polled again before the next tick: at once while polls use up their
  // budget or bring more than a tick's worth at the listed rates; then every DrainInterval ms
  // until such a poll brings nothing.
  const std::uint32_t took = Port.LastPollBytes();
  const UINT pace = Port.MoreToRead() || took > TComPort::StreamingBytes ? 0
                    : draining && (took > 0 || DrainPace == 0)           ? DrainInterval
                                                                         : NoDrain;
  if (pace == NoDrain)
    KillTimer(DrainTimer);
  else if (pace != DrainPace || !draining)
    SetTimer(DrainTimer, pace);
  DrainPace = pace;
}

LRESULT TKalvixDlgClient::ReceivedData(WPARAM count, LPARAM bytes)
{
  if (!bytes)
    return 0;
  const auto* received = reinterpret_cast<const std::uint8_t*>(bytes);
  const std::string_view text = ReceiveView.Receive(received, std::size_t(count), TextMode);
  LogReceived(received, std::min(std::size_t(count), TReceiveView::MaxChunk), text.data(), text.size());
  return 0;
}

void TKalvixDlgClient::CmClear()
{
  ReceiveView.Clear();
  SendField.Clear();
  Log.EndLine();
}

void TKalvixDlgClient::CmSwitchMode()
{
  CmClear();
  // The check mark on Switch Mode means text mode.
  if (TFrameWindow* frame = MainFrame())
    frame->CheckMenuItem(CM_SWITCHMODE, !TextMode);
  if (TextMode) {
    TextMode = false;
    SendField.SetValidator(new TFilterValidator(BinaryFilter));
    SetFrameCaption("Kalvix in binary mode");
  } else {
    TextMode = true;
    SendField.SetValidator(new TFilterValidator(TextFilter));
    SetFrameCaption("Kalvix in text mode");
  }
  Log.Note(TextMode ? TextModeNote : BinaryModeNote);
}

void TKalvixDlgClient::CmSetup()
{
  // Opened before the dialog, on Cancel too, so that a missing key is there afterwards.
  const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
  int result;
  {
    // The poll timer keeps running behind the dialog: reception and sending go on.
    TComSetup dialog(this, Setup, IDD_SETUP);
    result = dialog.Execute();
  }
  if (result != IDOK)
    return;
  SavePortSettings(key, Setup, ReceiveView.LineLength, SendPath.DelayTime, SendPath.DelayChar);
  KillTimer(PollTimer);
  KillTimer(DrainTimer);
  DrainPace = NoDrain;
  Port.Close();
  if (!OpenPort())
    return;
  ApplySettings();
  SetTimer(PollTimer, PollInterval);
}

void TKalvixDlgClient::ShowSendButton(bool send)
{
  SendButton.Show(send ? SW_SHOW : SW_HIDE);
  StopButton.Show(send ? SW_HIDE : SW_SHOW);
}

void TKalvixDlgClient::CmSend()
{
  SendPath.Start(SendField.GetText(), TextMode);
  ShowSendButton(false);
}

void TKalvixDlgClient::CmStop()
{
  SendPath.Stop();
  ShowSendButton(true);
}

void TKalvixDlgClient::SendTick()
{
  if (SendPath.Tick(Port))
    ShowSendButton(true);
}

void TKalvixDlgClient::CmOpenCommandFile()
{
  TOpenSaveDialog::TData data;
  data.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  data.Filter = "dat - Dateien (*.dat)|*.dat|All Files (*.*)|*.*|";
  data.FilterIndex = 1;
  data.DefExt = "dat";
  if (TFileOpenDialog(this, data, "Read Command File").Execute() != IDOK)
    return;
  CommandXfer.Load(data.FileName);
}

void TKalvixDlgClient::CmSelect()
{
  if (TCommandList(this, &CommandXfer).Execute() != IDOK)
    return;
  const std::string text = CommandXfer.Commands.GetSelection().substr(0, TCommandListXfer::EntryMax);
  std::string label;
  std::string command = text;
  if (!text.empty() && text[0] == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string::npos)
      return;
    label = text.substr(1, close - 1);
    command = text.substr(close + 1);
  }
  SendField.SetText(command);
  // The label goes as far as the caption stays within 40 characters.
  std::string caption = TextMode ? "Kalvix in Text mode - " : "Kalvix in binary mode - ";
  caption += label;
  caption.resize(std::min<std::size_t>(caption.size(), 40));
  SetFrameCaption(caption.c_str());
}

void TKalvixDlgClient::EnSendChange()
{
  SetFrameCaption(TextMode ? "Kalvix in Text mode" : "Kalvix in binary mode");
}

void TKalvixDlgClient::CmLogToFile()
{
  if (Log.IsOpen()) {
    LogEnded(Log.Close());
    return;
  }
  // An existing file is appended to, so choosing one asks nothing.
  TOpenSaveDialog::TData data;
  data.Flags = OFN_HIDEREADONLY;
  data.Filter = "Raw data (*.bin)|*.bin|Text log with times (*.log)|*.log|All Files (*.*)|*.*|";
  data.FilterIndex = 1;
  // A name typed without an ending gets that of the chosen filter, none under All Files.
  if (TFileSaveDialog(this, data, "Log to File").Execute() != IDOK)
    return;
  // Under All Files the name's ending decides.
  const bool text = data.FilterIndex == 2 || (data.FilterIndex != 1 && data.FileName.ends_with(".log"));
  if (const int error = Log.Open(data.FileName, text ? TCaptureLog::Text : TCaptureLog::Raw)) {
    ReportLog(IDS_LOG_CANNOT_OPEN, data.FileName, error);
    return;
  }
  Log.Note(TextMode ? TextModeNote : BinaryModeNote);
  LogError = 0;
  ShowLogging(true);
}

void TKalvixDlgClient::LogReceived(const std::uint8_t* bytes, std::size_t count, const char* text, std::size_t length)
{
  if (const int error = Log.Received(bytes, count, text, length))
    LogError = error;
}

void TKalvixDlgClient::FlushLog()
{
  const int error = LogError ? LogError : Log.Flush();
  LogError = 0;
  if (error)
    LogEnded(error);
}

void TKalvixDlgClient::LogEnded(int error)
{
  ShowLogging(false);
  // Told once the tick is over: a box open inside it would hold the poll timer.
  if (error)
    PostMessage(LogFailedMessage, WPARAM(error), 0);
}

LRESULT TKalvixDlgClient::LogFailed(WPARAM error, LPARAM)
{
  ReportLog(IDS_LOG_FAILED, Log.Path(), int(error));
  return 0;
}

void TKalvixDlgClient::ShowLogging(bool on)
{
  if (TFrameWindow* frame = MainFrame()) {
    frame->CheckMenuItem(CM_LOGTOFILE, on);
    frame->SetMenuItemText(CM_LOGTOFILE, on ? "Stop &Logging" : "&Log to File...");
  }
}

void TKalvixDlgClient::ReportLog(UINT messageId, const std::string& path, int error)
{
  char message[160];
  LoadString(messageId, message, sizeof message);
  MessageBox((message + ("\n" + path) + "\n" + std::strerror(error)).c_str(), "Kalvix", MB_OK | MB_ICONEXCLAMATION);
}
