#include "terminal/TKalvixDlgClient.h"

#include "framework/TFrameWindow.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TFilterValidator.h"
#include "framework/TStatusBar.h"
#include "settings/PortSettings.h"
#include "settings/TComSetup.h"
#include "transfer/TTransferDlg.h"

#include <algorithm>

namespace {

constexpr const char* BinaryFilter = "0-9,;#:A-F";
constexpr const char* TextFilter = " -\x7f";

using TProtocol = TTransferRun::TProtocol;

}   // namespace

TKalvixDlgClient::TKalvixDlgClient(TWindow* parent, int resourceId)
  : TDialog(parent, resourceId),
    LogMenu(*this),
    Transfer(Port, LoadString),
    Triggers(SendMax, LoadString),
    ReceiveView(this),
    Lamps(this),
    SendField(this, IDC_SENDTEXT, SendLimit),
    SendButton(this, IDC_SEND),
    StopButton(this, IDC_STOP),
    Lines(Port, Lamps, ReceiveView)
{
  SendField.SetValidator(new TFilterValidator(BinaryFilter));
}

TKalvixDlgClient::~TKalvixDlgClient()
{
  // The widgets go before the controls that drive them, the port before the log.
  Destroy();
  Transfer.Abandon();
  Port.Close();
}

const TResponseTable& TKalvixDlgClient::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TKalvixDlgClient::CmClear>(CM_CLEAR),
    OnCommand<&TKalvixDlgClient::CmOpenCommandFile>(CM_OPENCOMMANDFILE),
    OnCommand<&TKalvixDlgClient::CmSelect>(CM_SELECT),
    OnCommand<&TKalvixDlgClient::CmLogToFile>(CM_LOGTOFILE),
    OnMessage<&TKalvixDlgClient::ShowBox>(BoxMessage),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::Raw, true>>(CM_SENDRAW),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::XModem, true>>(CM_SENDXMODEM),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::YModem, true>>(CM_SENDYMODEM),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::XModem, false>>(CM_RECEIVEXMODEM),
    OnCommand<&TKalvixDlgClient::CmTransfer<TProtocol::YModem, false>>(CM_RECEIVEYMODEM),
    OnCommand<&TKalvixDlgClient::CmCancelTransfer>(CM_CANCELTRANSFER),
    OnMessage<&TKalvixDlgClient::Wake>(WM_READABLE),
    OnCommand<&TKalvixDlgClient::CmSendBreak>(CM_SENDBREAK),
    OnCommand<&TKalvixDlgClient::CmToggle<CM_DTR>>(CM_DTR),
    OnCommand<&TKalvixDlgClient::CmToggle<CM_RTS>>(CM_RTS),
    OnCommand<&TKalvixDlgClient::CmToggle<CM_TIMESTAMPS>>(CM_TIMESTAMPS),
    OnCommand<&TKalvixDlgClient::CmToggle<CM_COLOURS>>(CM_COLOURS),
    OnCommand<&TKalvixDlgClient::CmToggle<CM_LOCALECHO>>(CM_LOCALECHO),
    OnCommand<&TKalvixDlgClient::CmFind>(CM_FIND),
    OnCommand<&TKalvixDlgClient::CmFindAgain<true>>(CM_FINDAGAIN),
    OnCommand<&TKalvixDlgClient::CmFindAgain<false>>(CM_FINDPREVIOUS),
    OnCommand<&TKalvixDlgClient::CmTriggers>(CM_TRIGGERS),
    OnCommand<&TKalvixDlgClient::CmPlot>(CM_PLOT),
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
  if (TFrameWindow* frame = MainFrame())
    frame->SetCaption(caption.c_str());
}

void TKalvixDlgClient::PrepareWindow()
{
  TDialog::PrepareWindow();
  ShowCaption(true);
  LoadPortSettings(Setup, ReceiveView.LineLength, SendPath.DelayTime, SendPath.DelayChar);
  ReceiveView.ReceiveField.SetReadOnly(true);
  PostMessage(ShowLinesMessage, 0, 0);
  if (!OpenPort()) {
    // Send is unusable; Stop must not stand in its place either.
    StopButton.Show(SW_HIDE);
    return;
  }
  ShowSendButton(true);
}

bool TKalvixDlgClient::OpenPort()
{
  PortOpen = Port.Open(this, Setup.PortNumber(), QueueSize, QueueSize) >= 0;
  SendButton.EnableWindow(PortOpen);
  Lines.Show(PortOpen, MainFrame());
  if (!PortOpen) {
    ReportPortUnavailable();
    return false;
  }
  ApplySettings();
  SetTimer(PollTimer, PollInterval);
  return true;
}

void TKalvixDlgClient::ApplySettings()
{
  const TLineSettings s = Setup.LineSettings();
  // A driver that refuses the settings (a rate it cannot make) leaves the line as it was; one
  // that runs another rate than the one asked for is told of too.
  if (Port.Configure(s.Baud, s.ByteSize, s.StopBits, s.Parity, s.Handshake, s.SetDtr, s.SetRts, s.UseCts, s.UseDsr))
    ReportPortUnavailable();
  else
    ShowStatus(RateNote(Setup.PortNumber(), s.Baud, Port.LineRate()));
  Lines.Handshake = Transfer.Handshake = HandshakeEntries[s.Handshake];
  Lamps.ShowOutputs(Setup.DtrLit(), Setup.RtsLit());
  Lines.Forget();
  Lines.Show(PortOpen, MainFrame());
}

LRESULT TKalvixDlgClient::TimerTick(WPARAM id, LPARAM)
{
  if (id == WakeTimer)
    return Wake();
  if (id != PollTimer)
    return 0;
  PollPort(false);
  Lamps.ShowInputs(Port.GetModemStatus());
  Lines.Show(PortOpen, MainFrame());
  StepTriggers(false);
  SendTick();
  if (Transfer.Step(TClock::now()))
    EndTransfer();
  else if (TransferWindow)
    TransferWindow->ShowProgress(Transfer.Engine(), Transfer.Seconds(TClock::now()));
  PostBox(LogMenu.Flush());
  ArmWake();
  return 0;
}

LRESULT TKalvixDlgClient::Wake(WPARAM, LPARAM)
{
  const TTime now = TClock::now();
  PollPort(DrainAt <= now);
  Lines.Step(now);
  StepTriggers(true);
  if (Transfer.Step(TClock::now()))
    EndTransfer();
  ArmWake();
  return 0;
}

void TKalvixDlgClient::ArmWake()
{
  const TTime now = TClock::now();
  const TTime at = std::min({DrainAt, Transfer.WakeAt(now), Lines.WakeAt(), Triggers.WakeAt(now)});
  if (at == TTime::max())
    KillTimer(WakeTimer);
  else
    SetTimer(WakeTimer,
             UINT(std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(at - now).count())));
  // An adapter taken up again within a poll comes back on another descriptor.
  WatchReadable(LineWatch, Transfer.AwaitsLine() ? Port.ReadableHandle() : -1);
}

void TKalvixDlgClient::PollPort(bool draining)
{
  // What one poll brings is shown with one insertion: laying out the field once per poll, not
  // once per 80-byte chunk, is what keeps a fast line from eating the window's time.
  ReceiveView.BeginPoll();
  Port.Poll();
  ReceiveView.EndPoll();
  const std::chrono::milliseconds drain = Port.DrainDelay(draining);
  DrainAt = drain.count() < 0 ? TTime::max() : TClock::now() + drain;
  // Told before anything the poll ended (a transfer) tells its own end.
  Lines.Tell(PortOpen, Setup.PortNumber(), MainFrame());
}

LRESULT TKalvixDlgClient::ReceivedData(WPARAM count, LPARAM bytes)
{
  if (!bytes)
    return 0;
  const auto* received = reinterpret_cast<const std::uint8_t*>(bytes);
  const std::size_t n = std::min(std::size_t(count), TReceiveView::MaxChunk);
  // The transfer's bytes go to it alone, and to a raw log.
  if (Transfer.Takes(received, n, TClock::now())) {
    LogMenu.Log.Received(received, n, nullptr, 0);
    return 0;
  }
  Plot.Received(received, n);
  const std::string_view text = ReceiveView.Receive(received, n, TextMode, std::chrono::system_clock::now());
  LogMenu.Log.Received(received, n, text.data(), text.size());
  Triggers.Received(received, n, TClock::now());
  return 0;
}

void TKalvixDlgClient::CmClear()
{
  ReceiveView.Clear();
  SendField.Clear();
  LogMenu.Log.EndLine();
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
  LogMenu.Log.NoteMode(TextMode);
}

void TKalvixDlgClient::CmSetup()
{
  // Opened before the dialog, on Cancel too, so that a missing key is there afterwards.
  const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
  // The poll timer keeps running behind the dialog: reception and sending go on.
  if (TComSetup(this, Setup, IDD_SETUP).Execute() != IDOK)
    return;
  // A save that fails stores nothing; the new settings still apply to this session.
  if (std::string reason;
      !SavePortSettings(Setup, ReceiveView.LineLength, SendPath.DelayTime, SendPath.DelayChar, reason))
    MessageBox((LoadString(IDS_SETTINGS_NOT_SAVED) + "\n" + reason).c_str(), "Kalvix", MB_OK | MB_ICONEXCLAMATION);
  KillTimer(PollTimer);
  DrainAt = TTime::max();
  ArmWake();
  Port.Close();
  OpenPort();
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
  Triggers.Clear();
  ShowSendButton(true);
}

void TKalvixDlgClient::StepTriggers(bool woken)
{
  std::string said;
  const std::string reply =
    Triggers.Step(TClock::now(), TextMode, SendButton.IsWindowEnabled() && !SendPath.IsSending(), said);
  if (!said.empty())
    ShowStatus(said);
  if (reply.empty())
    return;
  SendPath.Start(reply, TextMode);
  ShowSendButton(false);
  if (woken && SendPath.State() == TSendPath::Ready)
    SendTick();
}

void TKalvixDlgClient::SendTick()
{
  if (SendPath.Tick(Port))
    ShowSendButton(true);
  const std::string_view echoed = ReceiveView.Echo(SendPath.Written(), TextMode, std::chrono::system_clock::now());
  LogMenu.Log.Received(nullptr, 0, echoed.data(), echoed.size());
}

void TKalvixDlgClient::CmSelect()
{
  std::string label, command;
  if (TCommandList(this, &CommandXfer).Execute() != IDOK || !CommandXfer.Chosen(label, command))
    return;
  SendField.SetText(command);
  ShowCaption(false, &label);
}

void TKalvixDlgClient::StartTransfer(TProtocol protocol, bool send)
{
  if (TransferWindow)
    return;
  if (!PortOpen) {
    ReportPortUnavailable();
    return;
  }
  if (!(TransferWindow = TTransferDlg::Start(this, Transfer, protocol, send)))
    return;
  SendPath.Stop();
  EnableCommands(false);
  Wake();
}

void TKalvixDlgClient::EndTransfer()
{
  TransferWindow.reset();
  EnableCommands(true);
  ShowStatus(Transfer.StatusText(TClock::now()));
  PostBox(Transfer.FailureText());
}

void TKalvixDlgClient::EnableCommands(bool enable)
{
  SendButton.EnableWindow(enable && PortOpen);
  if (TFrameWindow* frame = MainFrame())
    for (const int id : {CM_SELECT, CM_SETUP, CM_SWITCHMODE, CM_SENDRAW, CM_SENDXMODEM, CM_SENDYMODEM, CM_RECEIVEXMODEM,
                         CM_RECEIVEYMODEM})
      frame->EnableMenuItem(id, enable);
}

void TKalvixDlgClient::ShowStatus(const std::string& text)
{
  if (auto* frame = dynamic_cast<TDecoratedFrame*>(MainFrame()); frame && frame->GetStatusBar())
    frame->GetStatusBar()->SetText(text.c_str());
}

void TKalvixDlgClient::PostBox(std::string text)
{
  if (text.empty())
    return;
  Boxes.push_back(std::move(text));
  PostMessage(BoxMessage, 0, 0);
}

LRESULT TKalvixDlgClient::ShowBox(WPARAM, LPARAM)
{
  const std::string text = std::move(Boxes.front());   // one message for each box
  Boxes.pop_front();
  MessageBox(text.c_str(), "Kalvix", MB_OK | MB_ICONEXCLAMATION);
  return 0;
}
