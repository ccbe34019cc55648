#pragma once
// The terminal window: the client of the main frame. It opens the configured port and polls
// it every 100 ms; its parts show what arrives (TReceiveView), light the modem-line lamps
// (TModemLamps) and send (TSendPath). It carries the commands: Send and Stop, Clear, Switch
// Mode, Setup, the command file and list, the log, and the frame's caption.
#include "framework/TButton.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "resources/ResourceIds.h"
#include "serial/TComPort.h"
#include "settings/TComSetupXfer.h"
#include "terminal/TCaptureLog.h"
#include "terminal/TCommandListXfer.h"
#include "terminal/TModemLamps.h"
#include "terminal/TReceiveView.h"
#include "terminal/TSendPath.h"

#include <cstdint>
#include <string>

class TFrameWindow;

class TKalvixDlgClient : public TDialog {
public:
  static constexpr int SendLimit = 81;   // the send field holds one less
  static constexpr UINT PollTimer = 1;
  static constexpr UINT PollInterval = 100;
  // Polls between the ticks while the line streams (see PollPort).
  static constexpr UINT DrainTimer = 2;
  static constexpr UINT DrainInterval = 10;
  static constexpr UINT NoDrain = ~0u;
  static constexpr std::uint32_t QueueSize = 1024;
  // Posted when a write of the log failed; wParam = the errno.
  static constexpr UINT LogFailedMessage = WM_USER + 1;

  explicit TKalvixDlgClient(TWindow* parent, int resourceId = IDD_CLIENT);
  ~TKalvixDlgClient() override;

  // Configures the port from the settings record and lights the DTR and RTS lamps.
  void ApplySettings();

  bool IsTextMode() const { return TextMode; }
  // One step of sending, run on every tick after the poll and the lamps; once the
  // transmission is over, Send takes Stop's place again.
  void SendTick();
  const TComSetupXfer& Settings() const { return Setup; }
  const TCommandListXfer& Commands() const { return CommandXfer; }

protected:
  const TResponseTable& Responses() const override;
  void PrepareWindow() override;

  // Opens the configured port and enables Send; a port that cannot be opened is reported and
  // leaves Send disabled.
  bool OpenPort();
  LRESULT TimerTick(WPARAM id, LPARAM);
  LRESULT ReceivedData(WPARAM count, LPARAM bytes);
  // Polls the port and shows what the poll brought with one insertion; draining: a poll of the
  // drain timer.
  void PollPort(bool draining);
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

  // The program's main window, whose menu shows the mode and the log; null without one.
  TFrameWindow* MainFrame() const;
  // Sets the caption of the main frame (the top window of this one).
  void SetFrameCaption(const char* text);

  void ShowSendButton(bool send);

  TComPort Port;
  TComSetupXfer Setup;
  bool TextMode = false;
  TSendPath SendPath;
  TCommandListXfer CommandXfer;
  UINT DrainPace = NoDrain;   // the drain timer's interval; NoDrain while it does not run
  TCaptureLog Log;
  // A write of the log that failed during the poll, reported once the tick is done.
  int LogError = 0;

  // The controls, in the order in which they are created.
  TReceiveView ReceiveView;
  TModemLamps Lamps;
  TEdit SendField;
  TButton SendButton;
  TButton StopButton;
};
