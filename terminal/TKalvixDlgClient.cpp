#include "terminal/TKalvixDlgClient.h"

#include "framework/ResourceLoader.h"
#include "framework/TApplication.h"
#include "framework/TFrameWindow.h"
#include "framework/TFileOpenDialog.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TFileSaveDialog.h"
#include "framework/TFilterValidator.h"
#include "framework/TFolderDialog.h"
#include "framework/TStatusBar.h"
#include "settings/PortSettings.h"
#include "terminal/TCommandList.h"
#include "settings/TComSetup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* BinaryFilter = "0-9,;#:A-F";
constexpr const char* TextFilter = " -\x7f";

using TProtocol = TFileTransfer::TProtocol;
using TFailure = TFileTransfer::TFailure;
// The reasons' texts lie in the string table in the order of the failures.
static_assert(int(TFailure::Cancelled) == 1 && int(TFailure::FileError) == 7 && int(TFailure::LineLost) == 11);

double SecondsSince(TFileTransfer::TTime start)
{
  return std::chrono::duration<double>(TFileTransfer::TClock::now() - start).count();
}

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
  // A transfer still running is cancelled, and its abort leaves the line before the port
  // closes: the far end stops at once instead of waiting out its time limits.
  Transfer.Cancel();
  if (!Transfer.Output().empty()) {
    Port.PurgeTransmit();
    Transfer.Step(Port, TFileTransfer::TClock::now());
    Port.AwaitWrite(std::chrono::seconds(1));
  }
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
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::Raw, true>>(CM_SENDRAW),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::XModem, true>>(CM_SENDXMODEM),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::YModem, true>>(CM_SENDYMODEM),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::XModem, false>>(CM_RECEIVEXMODEM),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::YModem, false>>(CM_RECEIVEYMODEM),
    OnCommand<&TKalvixDlgClient::CmCancelTransfer>(CM_CANCELTRANSFER),
    OnMessage<&TKalvixDlgClient::TransferReadable>(WM_READABLE),
    OnMessage<&TKalvixDlgClient::TransferFailed>(TransferFailedMessage),
    OnCommand<&TKalvixDlgClient::CmSendBreak>(CM_SENDBREAK),
    OnCommand<&TKalvixDlgClient::CmDtr>(CM_DTR),
    OnCommand<&TKalvixDlgClient::CmRts>(CM_RTS),
    OnCommand<&TKalvixDlgClient::CmOption<CM_TIMESTAMPS>>(CM_TIMESTAMPS),
    OnCommand<&TKalvixDlgClient::CmOption<CM_COLOURS>>(CM_COLOURS),
    OnCommand<&TKalvixDlgClient::CmOption<CM_LOCALECHO>>(CM_LOCALECHO),
    OnCommand<&TKalvixDlgClient::CmFind>(CM_FIND),
    OnCommand<&TKalvixDlgClient::CmFindNext>(CM_FINDAGAIN),
    OnCommand<&TKalvixDlgClient::CmFindPrevious>(CM_FINDPREVIOUS),
    OnMessage<&TKalvixDlgClient::ShowLinesPosted>(ShowLinesMessage),
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

void TKalvixDlgClient::ShowCaption(bool switched, const std::string* label)
{
  std::string caption = !TextMode ? "Kalvix in binary mode" : switched ? "Kalvix in text mode" : "Kalvix in Text mode";
  if (label)
    caption = (caption + " - " + *label).substr(0, 40);
  TWindow* frame = this;
  while (frame->GetParent())
    frame = frame->GetParent();
  frame->SetCaption(caption.c_str());
}

TFrameWindow* TKalvixDlgClient::MainFrame() const
{
  TApplication* application = GetApplication();
  return application ? application->GetMainWindow() : nullptr;
}

void TKalvixDlgClient::PrepareWindow()
{
  TDialog::PrepareWindow();
  ShowCaption(true);
  LoadPortSettings(Setup, ReceiveView.LineLength, SendPath.DelayTime, SendPath.DelayChar);
  Options.Load();
  ReceiveView.ReceiveField.SetReadOnly(true);
  PostMessage(ShowLinesMessage, 0, 0);
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
  PortOpen = Port.Open(this, Setup.PortNumber(), QueueSize, QueueSize) >= 0;
  LineThere = true;
  SendButton.EnableWindow(PortOpen);
  ShowLines();
  if (!PortOpen)
    ReportPortUnavailable();
  return PortOpen;
}

void TKalvixDlgClient::ReportPortUnavailable()
{
  char text[160];
  LoadString(IDS_PORT_UNAVAILABLE, text, sizeof text);
  MessageBox(text, "", MB_OK | MB_ICONEXCLAMATION);
}

void TKalvixDlgClient::ApplySettings()
{
  const TLineSettings s = Setup.LineSettings();
  Port.Configure(s.Baud, s.ByteSize, s.StopBits, s.Parity, s.Handshake, s.SetDtr, s.SetRts, s.UseCts, s.UseDsr);
  Lamps.ShowOutputs(Setup.DtrLit(), Setup.RtsLit());
  LinesShown = -1;
  ShowLines();
}

LRESULT TKalvixDlgClient::TimerTick(WPARAM id, LPARAM)
{
  if (id == DrainTimer)
    PollPort(true);
  if (id == TransferTimer) {
    PollPort(false);
    TransferStep();
  }
  if (id == BreakTimer) {
    KillTimer(BreakTimer);
    Port.SetBreak(false);
  }
  if (id != PollTimer)
    return 0;
  PollPort(false);
  Lamps.ShowInputs(Port.GetModemStatus());
  ShowLines();
  SendTick();
  TransferStep();
  if (TransferWindow)
    TransferWindow->ShowProgress(Transfer, SecondsSince(TransferStart));
  if (const int error = Log.Flush())
    LogEnded(error);
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
  // An adapter unplugged (or a line gone after repeated errors) is waited for; the user is told,
  // before anything the poll ended (a transfer) tells its own end.
  if (PortOpen && Port.IsAttached() != LineThere) {
    LineThere = !LineThere;
    char format[160], text[200];
    LoadString(LineThere ? IDS_PORT_BACK : IDS_PORT_LOST, format, sizeof format);
    std::snprintf(text, sizeof text, format, Setup.PortNumber());
    ShowStatus(text);
  }
}

LRESULT TKalvixDlgClient::ReceivedData(WPARAM count, LPARAM bytes)
{
  if (!bytes)
    return 0;
  const auto* received = reinterpret_cast<const std::uint8_t*>(bytes);
  const std::size_t n = std::min(std::size_t(count), TReceiveView::MaxChunk);
  // A protocol's own bytes go to the transfer alone, and to a raw log; what a device answers
  // to a raw send is shown as always.
  if (Transfer.IsRunning() && Transfer.Protocol() != TProtocol::Raw) {
    Transfer.Received(received, n, TFileTransfer::TClock::now());
    Log.Received(received, n, nullptr, 0);
    return 0;
  }
  const std::string_view text = ReceiveView.Receive(received, n, TextMode, std::chrono::system_clock::now());
  Log.Received(received, n, text.data(), text.size());
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
  TextMode = !TextMode;
  SendField.SetValidator(new TFilterValidator(TextMode ? TextFilter : BinaryFilter));
  ShowCaption(true);
  Log.NoteMode(TextMode);
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
  // A save that fails stores nothing; the new settings still apply to this session.
  if (std::string reason;
      !SavePortSettings(Setup, ReceiveView.LineLength, SendPath.DelayTime, SendPath.DelayChar, reason)) {
    char message[160];
    LoadString(IDS_SETTINGS_NOT_SAVED, message, sizeof message);
    MessageBox((message + ("\n" + reason)).c_str(), "Kalvix", MB_OK | MB_ICONEXCLAMATION);
  }
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
  const bool over = SendPath.Tick(Port);
  const std::string_view echoed = ReceiveView.Echo(SendPath.Written(), TextMode, std::chrono::system_clock::now());
  Log.Received(nullptr, 0, echoed.data(), echoed.size());
  if (over)
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
  ShowCaption(false, &label);
}

void TKalvixDlgClient::EnSendChange()
{
  ShowCaption(false);
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
  if (const int error = Log.Open(data.FileName, text ? TCaptureLog::Text : TCaptureLog::Raw, TextMode)) {
    ReportFile(IDS_LOG_CANNOT_OPEN, data.FileName, error);
    return;
  }
  ShowLogging(true);
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
  ReportFile(IDS_LOG_FAILED, Log.Path(), int(error));
  return 0;
}

void TKalvixDlgClient::ShowLogging(bool on)
{
  if (TFrameWindow* frame = MainFrame()) {
    frame->CheckMenuItem(CM_LOGTOFILE, on);
    frame->SetMenuItemText(CM_LOGTOFILE, on ? "Stop &Logging" : "&Log to File...");
  }
}

void TKalvixDlgClient::ReportFile(UINT messageId, const std::string& path, int error)
{
  char message[160];
  LoadString(messageId, message, sizeof message);
  MessageBox((message + ("\n" + path) + "\n" + std::strerror(error)).c_str(), "Kalvix", MB_OK | MB_ICONEXCLAMATION);
}

void TKalvixDlgClient::StartTransfer(TProtocol protocol, bool send)
{
  if (TransferWindow)
    return;
  if (!PortOpen) {
    ReportPortUnavailable();
    return;
  }
  TOpenSaveDialog::TData data;
  data.Flags = OFN_HIDEREADONLY | (send ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT);
  data.Filter = "All Files (*.*)|*.*|";
  const char* title = TTransferDlg::Title(protocol, send);
  // YMODEM's sender names the files: a folder is all it needs.
  const int chosen = send                            ? TFileOpenDialog(this, data, title).Execute()
                     : protocol == TProtocol::YModem ? TFolderDialog(this, data, title).Execute()
                                                     : TFileSaveDialog(this, data, title).Execute();
  if (chosen != IDOK)
    return;
  TransferStart = TFileTransfer::TClock::now();
  if (const int error = send ? Transfer.StartSend(protocol, data.FileName, TransferStart)
                             : Transfer.StartReceive(protocol, data.FileName, TransferStart)) {
    ReportFile(IDS_TRANSFER_CANNOT_OPEN, data.FileName, error);
    return;
  }
  TransferChoice = data.FileName;
  SendPath.Stop();
  EnableCommands(false);
  // A protocol waits on every answer: the line is watched (TransferStep) and read as soon as one
  // arrives. A raw send goes at the pace of its writes, and what the device says meanwhile is
  // shown on the ticks.
  Port.SetReadAtOnce(protocol != TProtocol::Raw);
  TransferWindow = std::make_unique<TTransferDlg>(this);
  if (TransferWindow->Create())
    TransferWindow->Show(SW_SHOW);
  TransferWindow->ShowProgress(Transfer, 0);
  TransferStep();
}

void TKalvixDlgClient::CmCancelTransfer()
{
  Transfer.Cancel();
  // Not stepped here: ending the transfer closes the window whose button is being pressed.
  SetTimer(TransferTimer, TransferInterval);
  TransferTimerOn = true;
}

LRESULT TKalvixDlgClient::TransferReadable(WPARAM, LPARAM)
{
  PollPort(false);
  TransferStep();
  return 0;
}

void TKalvixDlgClient::TransferStep()
{
  if (!TransferWindow)
    return;
  if (Transfer.Step(Port, TFileTransfer::TClock::now())) {
    EndTransfer();
    return;
  }
  // An adapter taken up again within the poll comes back on another descriptor.
  if (Transfer.Protocol() != TProtocol::Raw)
    WatchReadable(TransferWatch, Port.ReadableHandle());
  const bool writing = !Port.IsWriteIdle() || !Transfer.Output().empty();
  if (writing != TransferTimerOn) {
    writing ? SetTimer(TransferTimer, TransferInterval) : KillTimer(TransferTimer);
    TransferTimerOn = writing;
  }
}

void TKalvixDlgClient::EndTransfer()
{
  KillTimer(TransferTimer);
  TransferTimerOn = false;
  WatchReadable(TransferWatch, -1);
  Port.SetReadAtOnce(false);
  TransferWindow.reset();
  EnableCommands(true);
  const std::string& path = TransferPath();
  const std::string name =
    Transfer.Files() > 1 ? std::to_string(Transfer.Files()) + " files" : path.substr(path.find_last_of('/') + 1);
  const bool done = Transfer.State() == TFileTransfer::TState::Done;
  const char* ended = done ? "," : Transfer.Failure() == TFailure::Cancelled ? " cancelled after" : " failed after";
  char text[512];
  std::snprintf(text, sizeof text, "%s: %s%s %llu bytes in %.1f s",
                TTransferDlg::Title(Transfer.Protocol(), Transfer.IsSend()), name.c_str(), ended,
                static_cast<unsigned long long>(Transfer.TotalDone()), SecondsSince(TransferStart));
  ShowStatus(text);
  // Told once the tick is over: a box open inside it would hold the poll timer.
  if (!done && Transfer.Failure() != TFailure::Cancelled)
    PostMessage(TransferFailedMessage, 0, 0);
}

LRESULT TKalvixDlgClient::TransferFailed(WPARAM, LPARAM)
{
  char failed[160], reason[160];
  LoadString(IDS_TRANSFER_FAILED, failed, sizeof failed);
  LoadString(IDS_TRANSFER_REASON + unsigned(Transfer.Failure()), reason, sizeof reason);
  std::string text = std::string(failed) + "\n" + reason;
  if (Transfer.Failure() == TFailure::FileError)
    text += std::string(" ") + std::strerror(Transfer.Error());
  text += "\n" + TransferPath() + "\n" + std::to_string(Transfer.TotalDone()) + " bytes done";
  MessageBox(text.c_str(), "Kalvix", MB_OK | MB_ICONEXCLAMATION);
  return 0;
}

const std::string& TKalvixDlgClient::TransferPath() const
{
  return Transfer.Path().empty() ? TransferChoice : Transfer.Path();
}

void TKalvixDlgClient::EnableCommands(bool enable)
{
  SendButton.EnableWindow(enable && PortOpen);
  if (TFrameWindow* frame = MainFrame())
    for (const int id : {CM_SELECT, CM_SETUP, CM_SWITCHMODE, CM_SENDRAW, CM_SENDXMODEM, CM_SENDYMODEM, CM_RECEIVEXMODEM,
                         CM_RECEIVEYMODEM})
      frame->EnableMenuItem(id, enable);
}

void TKalvixDlgClient::CmSendBreak()
{
  // The break ends on a timer: the window goes on meanwhile.
  if (PortOpen && Port.SetBreak(true) == 0)
    SetTimer(BreakTimer, BreakInterval);
}

void TKalvixDlgClient::ToggleLine(bool dtr)
{
  // Only a line the menu offers.
  bool dtrUp = false, rtsUp = false;
  if (LinesShown < 0 || !(LinesShown & LinesFree) || !Port.GetOutputLines(dtrUp, rtsUp))
    return;
  Port.SetOutputLines(dtr ? !dtrUp : dtrUp, dtr ? rtsUp : !rtsUp);
  ShowLines();
}

void TKalvixDlgClient::ShowLines()
{
  bool dtr = false, rts = false;
  const bool open = PortOpen && Port.GetOutputLines(dtr, rts);
  // Under the hardware handshake the kernel and the handshake drive both lines.
  const bool free = open && Port.CommState().fDtrControl != DTR_CONTROL_HANDSHAKE;
  const int shown = (open ? LinesOpen : 0) | (free ? LinesFree : 0) | (dtr ? LinesDtr : 0) | (rts ? LinesRts : 0);
  TFrameWindow* frame = MainFrame();
  if (shown == LinesShown || !frame || !frame->EnableMenuItem(CM_SENDBREAK, open))
    return;
  if (open)
    Lamps.ShowOutputs(dtr, rts);
  frame->EnableMenuItem(CM_DTR, free);
  frame->EnableMenuItem(CM_RTS, free);
  frame->CheckMenuItem(CM_DTR, open && dtr);
  frame->CheckMenuItem(CM_RTS, open && rts);
  LinesShown = shown;
}

void TKalvixDlgClient::ShowStatus(const char* text)
{
  if (auto* frame = dynamic_cast<TDecoratedFrame*>(MainFrame()); frame && frame->GetStatusBar())
    frame->GetStatusBar()->SetText(text);
}
