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
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

constexpr const char* BinaryFilter = "0-9,;#:A-F";
constexpr const char* TextFilter = " -\x7f";
// Lines of the text log that say in which mode what follows is shown.
constexpr const char* BinaryModeNote = "--- binary mode ---";
constexpr const char* TextModeNote = "--- text mode ---";

} // namespace

TKalvixDlgClient::TKalvixDlgClient(TWindow* parent, int resourceId)
  : TDialog(parent, resourceId),
    ReceiveField(new TEdit(this, IDC_RECEIVE, ReceiveLimit)),
    CtsLed(new TLed(this, IDC_LED_CTS)),
    DcdLed(new TLed(this, IDC_LED_DCD)),
    DsrLed(new TLed(this, IDC_LED_DSR)),
    DtrLed(new TLed(this, IDC_LED_DTR)),
    RiLed(new TLed(this, IDC_LED_RI)),
    RtsLed(new TLed(this, IDC_LED_RTS)),
    SendField(new TEdit(this, IDC_SENDTEXT, SendLimit)),
    SendButton(new TButton(this, IDC_SEND)),
    StopButton(new TButton(this, IDC_STOP))
{
  SendField->SetValidator(new TFilterValidator(BinaryFilter));
  std::fill(std::begin(DelayPos), std::end(DelayPos), NoDelay);
}

TKalvixDlgClient::~TKalvixDlgClient()
{
  Destroy();
  Port.Close();
  // The controls are children owned by this window.
  for (TWindow* child : std::vector<TWindow*>(GetChildren()))
    delete child;
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

void TKalvixDlgClient::PrepareWindow()
{
  TDialog::PrepareWindow();
  SetFrameCaption("Kalvix in binary mode");
  LoadPortSettings(Setup, LineLength, DelayTime, DelayChar);
  ReceiveField->SetReadOnly(true);
  if (Port.Open(this, Setup.PortNumber(), QueueSize, QueueSize) < 0) {
    char text[160];
    LoadString(IDS_PORT_UNAVAILABLE, text, sizeof text);
    MessageBox(text, "", MB_OK | MB_ICONEXCLAMATION);
    SendButton->EnableWindow(false);
    // Send is unusable; Stop must not stand in its place either.
    StopButton->Show(SW_HIDE);
    return;
  }
  SendButton->EnableWindow(true);
  ApplySettings();
  SetTimer(PollTimer, PollInterval);
  SendButton->Show(SW_SHOW);
  StopButton->Show(SW_HIDE);
}

void TKalvixDlgClient::ApplySettings()
{
  const TLineSettings s = Setup.LineSettings();
  Port.Configure(s.Baud, s.ByteSize, s.StopBits, s.Parity, s.Handshake, s.SetDtr, s.SetRts, s.UseCts, s.UseDsr);
  DtrLed->SetState(Setup.DtrLit() ? TLed::LedRed : TLed::LedOff);
  RtsLed->SetState(Setup.RtsLit() ? TLed::LedRed : TLed::LedOff);
}

LRESULT TKalvixDlgClient::TimerTick(WPARAM id, LPARAM)
{
  if (id == DrainTimer)
    PollPort(true);
  if (id != PollTimer)
    return 0;
  PollPort(false);
  long status = Port.GetModemStatus();
  // A status that cannot be read (a line without modem lines) shows every lamp off.
  if (status < 0)
    status = 0;
  if (status != LastModemStatus) {
    const auto lamp = [status](TLed* led, long bit) { led->SetState((status & bit) ? TLed::LedGreen : TLed::LedOff); };
    lamp(CtsLed, MS_CTS_ON);
    lamp(DsrLed, MS_DSR_ON);
    lamp(RiLed, MS_RING_ON);
    lamp(DcdLed, MS_RLSD_ON);
    LastModemStatus = std::int32_t(status);
  }
  SendTick();
  FlushLog();
  return 0;
}

void TKalvixDlgClient::PollPort(bool draining)
{
  // What one poll brings is shown with one insertion: laying out the field once per poll, not
  // once per 80-byte chunk, is what keeps a fast line from eating the window's time.
  Polling = true;
  Port.Poll();
  Polling = false;
  ShowReceived();
  // A line that streams is polled again before the next tick: at once while polls use up their
  // budget or bring more than a tick's worth at the listed rates; then every DrainInterval ms
  // until such a poll brings nothing.
  const std::uint32_t took = Port.LastPollBytes();
  const UINT pace = Port.MoreToRead() || took > TComPort::StreamingBytes ? 0
                    : draining && (took > 0 || DrainPace == 0) ? DrainInterval
                                                               : NoDrain;
  if (pace == NoDrain)
    KillTimer(DrainTimer);
  else if (pace != DrainPace || !draining)
    SetTimer(DrainTimer, pace);
  DrainPace = pace;
}

std::size_t TKalvixDlgClient::FormatChunk(const std::uint8_t* bytes, std::size_t count, bool textMode,
                                          std::int32_t lineLength, std::int32_t& column, char* out)
{
  static constexpr char Hex[] = "0123456789ABCDEF";
  count = std::min(count, MaxChunk);
  std::size_t n = 0;
  const auto lineBreak = [&] {
    out[n++] = '\r';
    out[n++] = '\n';
    column = 0;
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = bytes[i];
    if (textMode && b == 0x0D) {
      lineBreak();
    } else if (textMode && b >= 0x20 && b < 0x80 && b != '/') {
      out[n++] = char(b);
      ++column;
    } else {
      // Text mode escapes as "/XX"; binary mode shows every byte as "XX,".
      if (textMode)
        out[n++] = '/';
      out[n++] = Hex[b >> 4];
      out[n++] = Hex[b & 0xF];
      if (!textMode)
        out[n++] = ',';
      ++column;
    }
    if (column >= lineLength)
      lineBreak();
  }
  out[n] = '\0';
  return n;
}

LRESULT TKalvixDlgClient::ReceivedData(WPARAM count, LPARAM bytes)
{
  if (!bytes)
    return 0;
  char text[ChunkTextSize];
  const std::size_t length = FormatChunk(reinterpret_cast<const std::uint8_t*>(bytes), std::size_t(count), TextMode != 0,
                                         LineLength, Column, text);
  PendingText.append(text, length);
  LogReceived(reinterpret_cast<const std::uint8_t*>(bytes), std::min(std::size_t(count), MaxChunk), text, length);
  // Text that goes in where the user put the caret goes in at once: where room is made depends
  // on each insertion. Appended text waits for the end of the poll, which inserts only its
  // lines that stay; of a flood it keeps a field-full, and one line more, so that it still
  // replaces the field's text whole.
  if (!Polling || !ReceiveField->IsCaretAtEnd()) {
    ShowReceived();
  } else if (const long room = long(ReceiveField->GetTextLimit()) - 1; long(PendingText.size()) > 2 * room) {
    const std::size_t fits = TEdit::LastLinesStart(PendingText, room);
    const std::size_t before = fits == std::string::npos || fits < 3 ? std::string::npos : PendingText.rfind("\r\n", fits - 3);
    if (before != std::string::npos)
      PendingText.erase(0, before + 2);
  }
  return 0;
}

void TKalvixDlgClient::ShowReceived()
{
  if (PendingText.empty())
    return;
  ReceiveField->InsertMakingRoom(PendingText);
  PendingText.clear();
}

void TKalvixDlgClient::CmClear()
{
  ReceiveField->SetReadOnly(false);
  ReceiveField->Clear();
  ReceiveField->SetReadOnly(true);
  SendField->Clear();
  Column = 0;
  Log.EndLine();
}

void TKalvixDlgClient::CmSwitchMode()
{
  TApplication* application = GetApplication();
  TFrameWindow* frame = application ? application->GetMainWindow() : nullptr;
  CmClear();
  // The check mark on Switch Mode means text mode.
  if (frame)
    frame->CheckMenuItem(CM_SWITCHMODE, !TextMode);
  if (TextMode) {
    TextMode = 0;
    SendField->SetValidator(new TFilterValidator(BinaryFilter));
    SetFrameCaption("Kalvix in binary mode");
  } else {
    TextMode = 1;
    SendField->SetValidator(new TFilterValidator(TextFilter));
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
  SavePortSettings(key, Setup, LineLength, DelayTime, DelayChar);
  KillTimer(PollTimer);
  KillTimer(DrainTimer);
  DrainPace = NoDrain;
  Port.Close();
  if (Port.Open(this, Setup.PortNumber(), QueueSize, QueueSize) < 0) {
    char text[160];
    LoadString(IDS_PORT_UNAVAILABLE, text, sizeof text);
    MessageBox(text, "", MB_OK | MB_ICONEXCLAMATION);
    SendButton->EnableWindow(false);
    return;
  }
  SendButton->EnableWindow(true);
  ApplySettings();
  SetTimer(PollTimer, PollInterval);
}

int TKalvixDlgClient::ConvertText(const std::string& text)
{
  return ::ConvertText(text, DelayChar, SendBuf, DelayPos);
}

int TKalvixDlgClient::ConvertBinary(const std::string& text)
{
  return ::ConvertBinary(text, SendBuf, DelayPos, Repeat);
}

void TKalvixDlgClient::ShowSendButton(bool send)
{
  SendButton->Show(send ? SW_SHOW : SW_HIDE);
  StopButton->Show(send ? SW_HIDE : SW_SHOW);
}

void TKalvixDlgClient::CmSend()
{
  const std::string text = SendField->GetText().substr(0, SendMax);
  std::fill(std::begin(DelayPos), std::end(DelayPos), NoDelay);
  Repeat = false;
  SendCount = TextMode ? ConvertText(text) : ConvertBinary(text);
  Sending = true;
  SegStart = 0;
  DelayIndex = 0;
  // A pause of a stopped transmission runs out first; a write of it still in flight is waited
  // for, then this one starts from its first byte.
  Restart = SendState == Writing;
  ShowSendButton(false);
}

void TKalvixDlgClient::CmStop()
{
  Repeat = false;
  Sending = false;
  ShowSendButton(true);
}

void TKalvixDlgClient::SendTick()
{
  switch (SendState) {
  case Ready: {
    if (!Sending)
      return;
    const std::int32_t next = DelayIndex < SendMax ? DelayPos[DelayIndex] : NoDelay;
    if (next == NoDelay) {
      Port.Write(SendBuf + SegStart, std::uint32_t(SendCount - SegStart));
      PausePending = false;
    } else {
      // Delay points never lie before SegStart nor past SendCount.
      const std::int32_t p = std::clamp(next, SegStart, SendCount);
      Port.Write(SendBuf + SegStart, std::uint32_t(p - SegStart));
      SegStart = p;
      PausePending = true;
      ++DelayIndex;
    }
    SendState = Writing;
    break;
  }
  case Writing:
    if (!Port.IsWriteIdle())
      return;
    if (Restart) {
      Restart = false;
      SendState = Ready;
    } else if (PausePending) {
      PauseTicks = DelayTime / 100;
      SendState = Pausing;
    } else if (Repeat) {
      SegStart = 0;
      DelayIndex = 0;
      SendState = Ready;
    } else {
      Sending = false;
      ShowSendButton(true);
      SendState = Ready;
    }
    break;
  case Pausing:
    if (PauseTicks > 0)
      --PauseTicks;
    else
      SendState = Ready;
    break;
  default:
    SendState = Ready;
    break;
  }
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
  SendField->SetText(command);
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
  TApplication* application = GetApplication();
  if (TFrameWindow* frame = application ? application->GetMainWindow() : nullptr) {
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
