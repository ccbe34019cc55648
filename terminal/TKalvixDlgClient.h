#pragma once
// The terminal window: the client of the main frame. It opens the configured port, polls it
// every 100 ms, shows what arrives in the receive field, keeps the modem-line lamps in step
// and carries the Clear and Switch Mode commands.
#include "controls/TLed.h"
#include "framework/TButton.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "resources/ResourceIds.h"
#include "serial/TComPort.h"
#include "settings/TComSetupXfer.h"
#include "terminal/SendNotation.h"
#include "terminal/TCaptureLog.h"
#include "terminal/TCommandListXfer.h"

#include <cstdint>
#include <string>

class TKalvixDlgClient : public TDialog {
public:
  // Received text is broken after at most this many characters or values per line.
  static constexpr int ReceiveLimit = 65535;   // the receive field holds one less
  static constexpr int SendLimit = 81;         // the send field holds one less
  static constexpr UINT PollTimer = 1;
  static constexpr UINT PollInterval = 100;
  // Polls between the ticks while the line streams (see PollPort).
  static constexpr UINT DrainTimer = 2;
  static constexpr UINT DrainInterval = 10;
  static constexpr UINT NoDrain = ~0u;
  static constexpr std::uint32_t QueueSize = 1024;
  static constexpr std::size_t MaxChunk = 80;
  // The text of one chunk: an escape or value of three characters and a line break per byte.
  static constexpr std::size_t ChunkTextSize = MaxChunk * 5 + 1;
  // Posted when a write of the log failed; wParam = the errno.
  static constexpr UINT LogFailedMessage = WM_USER + 1;

  explicit TKalvixDlgClient(TWindow* parent, int resourceId = IDD_CLIENT);
  ~TKalvixDlgClient() override;

  // Configures the port from the settings record and lights the DTR and RTS lamps.
  void ApplySettings();

  bool IsTextMode() const { return TextMode != 0; }

  // The send path. Most bytes and delay points one conversion yields.
  static constexpr int SendMax = ::SendMax;
  static constexpr std::int32_t NoDelay = 255;
  enum TSendState : std::int32_t { Ready = 0, Writing = 1, Pausing = 2 };

  // Fill SendBuf and DelayPos from a send text by the text-mode or binary-mode notation and
  // return the number of bytes stored; ConvertBinary also sets Repeat.
  int ConvertText(const std::string& text);
  int ConvertBinary(const std::string& text);
  // One step of sending, run on every tick after the poll and the lamps.
  void SendTick();
  const TComSetupXfer& Settings() const { return Setup; }
  const TCommandListXfer& Commands() const { return CommandXfer; }

  // Builds the receive field's text of one chunk into out (ChunkTextSize bytes) and returns
  // its length; column carries the position in the current line across chunks.
  static std::size_t FormatChunk(const std::uint8_t* bytes, std::size_t count, bool textMode, std::int32_t lineLength,
                                 std::int32_t& column, char* out);

protected:
  const TResponseTable& Responses() const override;
  void PrepareWindow() override;

  LRESULT TimerTick(WPARAM id, LPARAM);
  LRESULT ReceivedData(WPARAM count, LPARAM bytes);
  // Polls the port and shows what the poll brought with one insertion; draining: a poll of the
  // drain timer.
  void PollPort(bool draining);
  // Inserts the text of the chunks received so far into the receive field.
  void ShowReceived();
  void CmClear();
  void CmSwitchMode();
  // Edits the settings in the setup dialog; on OK stores them and reopens the port with them.
  void CmSetup();
  void CmOpenCommandFile();
  void CmSelect();
  // Starts a log of what arrives, in a file the user picks, or ends the one that runs.
  void CmLogToFile();
  // Hands one received chunk, as bytes and as its text, to the log.
  void LogReceived(const std::uint8_t* bytes, std::size_t count, const char* text, std::size_t length);
  // Once a tick: writes what the log holds; a write that failed ends the log and is reported.
  void FlushLog();
  // The log has ended (error: the errno why, or 0): the menu item says so, the user is told.
  void LogEnded(int error);
  LRESULT LogFailed(WPARAM error, LPARAM);
  // The menu item: "Stop &Logging" with a check mark while a log runs.
  void ShowLogging(bool on);
  // A message box with the string messageId, the file's name and the reason for error.
  void ReportLog(UINT messageId, const std::string& path, int error);
  void CmSend();
  void CmStop();
  void EnSendChange();
  // Enter and Escape would end a dialog; in the terminal window they do nothing.
  void CmIgnore() {}

  // Sets the caption of the main frame (the top window of this one).
  void SetFrameCaption(const char* text);

  void ShowSendButton(bool send);

  TComPort Port;
  TComSetupXfer Setup;
  std::uint8_t TextMode = 0;

  std::uint8_t SendBuf[SendMax + 1] = {};
  std::int32_t SendCount = 0;
  std::int32_t DelayPos[SendMax];
  std::int32_t DelayIndex = 0;
  std::int32_t SegStart = 0;
  bool Sending = false;
  bool Repeat = false;
  bool PausePending = false;
  std::int32_t SendState = Ready;
  std::int32_t PauseTicks = 0;
  // A Send while the step still waits on a stopped transmission's write: once that write is
  // done the new transmission starts from its first byte.
  bool Restart = false;

  std::int32_t DelayTime = 0;
  std::int32_t DelayChar = 44;
  std::int32_t Column = 0;
  std::int32_t LastModemStatus = 0;
  std::int32_t LineLength = 80;
  TCommandListXfer CommandXfer;
  // Text of the chunks of the poll in progress, shown once the poll is done.
  std::string PendingText;
  bool Polling = false;
  UINT DrainPace = NoDrain;   // the drain timer's interval; NoDrain while it does not run
  TCaptureLog Log;
  // A write of the log that failed during the poll, reported once the tick is done.
  int LogError = 0;

  TEdit* ReceiveField;
  TLed* CtsLed;
  TLed* DcdLed;
  TLed* DsrLed;
  TLed* DtrLed;
  TLed* RiLed;
  TLed* RtsLed;
  TEdit* SendField;
  TButton* SendButton;
  TButton* StopButton;
};
