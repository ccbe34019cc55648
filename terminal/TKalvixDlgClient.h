#pragma once
// The terminal window: the client of the main frame. It opens the configured port and polls
// it every 100 ms; its parts show what arrives (TReceiveView), light the modem-line lamps
// (TModemLamps), send (TSendPath), log (TCaptureLog) and transfer files (TFileTransfer, shown
// in TTransferDlg). It carries the commands: Send and Stop, Clear, Switch Mode, Setup, the
// command file and list, the log, the transfers, and the frame's caption.
#include "display/TFindDlg.h"
#include "framework/TButton.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "resources/ResourceIds.h"
#include "serial/TComPort.h"
#include "settings/TComSetupXfer.h"
#include "terminal/TCaptureLog.h"
#include "terminal/TCommandListXfer.h"
#include "terminal/TModemLamps.h"
#include "terminal/TReceiveOptions.h"
#include "terminal/TReceiveView.h"
#include "terminal/TSendPath.h"
#include "terminal/TTransferDlg.h"

#include <cstdint>
#include <memory>
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
  // Polls while a transfer's write leaves the line: the next block goes as soon as it has.
  static constexpr UINT TransferTimer = 3;
  static constexpr UINT TransferInterval = 2;
  // The watch on the line during a transfer: its answers are taken as they arrive.
  static constexpr UINT TransferWatch = 1;
  // Posted when a write of the log failed; wParam = the errno.
  static constexpr UINT LogFailedMessage = WM_USER + 1;
  // Posted when a transfer failed.
  static constexpr UINT TransferFailedMessage = WM_USER + 2;
  // Ends a break; its length.
  static constexpr UINT BreakTimer = 4;
  static constexpr UINT BreakInterval = 250;
  // Posted at set-up: the Line menu is shown once the frame has built its menu.
  static constexpr UINT ShowLinesMessage = WM_USER + 3;

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
  void ReportPortUnavailable();
  // The status bar's message area.
  void ShowStatus(const char* text);
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
  // The log has ended (error: the errno why, or 0): the menu item says so, the user is told.
  void LogEnded(int error);
  LRESULT LogFailed(WPARAM error, LPARAM);
  // The menu item: "Stop &Logging" with a check mark while a log runs.
  void ShowLogging(bool on);
  // A message box with the string messageId, the file's name and the reason for error.
  void ReportFile(UINT messageId, const std::string& path, int error);

  // A transfer's menu item: asks for the file (or the folder) and starts it.
  template <TFileTransfer::TProtocol Protocol, bool Send> void CmTransfer() { StartTransfer(Protocol, Send); }
  void StartTransfer(TFileTransfer::TProtocol protocol, bool send);
  // The transfer window's Cancel: the abort goes out on the next step.
  void CmCancelTransfer();
  // The line has input during a transfer: taken at once.
  LRESULT TransferReadable(WPARAM, LPARAM);
  // One step of the transfer after a poll; ends it once it is over.
  void TransferStep();
  // The transfer is over: its window goes, the commands come back, the status bar says how it
  // went, and a failure is told.
  void EndTransfer();
  LRESULT TransferFailed(WPARAM, LPARAM);
  // The file in hand, else the file or folder chosen.
  const std::string& TransferPath() const;
  // Send, Select, Setup, Switch Mode and the transfers are only for a terminal without one.
  void EnableCommands(bool enable);

  // The Line menu: a break of BreakInterval, DTR and RTS toggled while the handshake leaves them
  // to the user (none of it stored), and the receive field's options (kept across starts).
  void CmSendBreak();
  void CmDtr() { ToggleLine(true); }
  void CmRts() { ToggleLine(false); }
  void ToggleLine(bool dtr);
  template <int Command> void CmOption() { Options.Toggle(Command, MainFrame()); }
  void CmFind() { Find.Open(); }
  void CmFindNext() { Find.Step(true); }
  void CmFindPrevious() { Find.Step(false); }
  // The DTR and RTS lamps, check marks and items, and Send Break, as the line is now; touched
  // only when that changed.
  void ShowLines();
  LRESULT ShowLinesPosted(WPARAM, LPARAM)
  {
    ShowLines();
    Options.ShowChecks(MainFrame());
    return 0;
  }
  void CmSend();
  void CmStop();
  void EnSendChange();
  // Enter and Escape would end a dialog; in the terminal window they do nothing.
  void CmIgnore() {}

  // The program's main window, whose menu shows the mode and the log; null without one.
  TFrameWindow* MainFrame() const;
  // The main frame's caption: the mode, in the words of Switch Mode (switched) or of a change
  // of the send field, then a chosen command's label, cut so that the whole stays within 40
  // characters.
  void ShowCaption(bool switched, const std::string* label = nullptr);

  void ShowSendButton(bool send);

  TComPort Port;
  TComSetupXfer Setup;
  bool TextMode = false;
  TSendPath SendPath;
  TCommandListXfer CommandXfer;
  UINT DrainPace = NoDrain;   // the drain timer's interval; NoDrain while it does not run
  bool PortOpen = false;
  bool LineThere = true;   // the open port's device as last seen: there, or waited for
  TCaptureLog Log;
  TFileTransfer Transfer;
  std::unique_ptr<TTransferDlg> TransferWindow;   // while a transfer runs
  std::string TransferChoice;                     // the file or folder the user chose for it
  TFileTransfer::TTime TransferStart;
  bool TransferTimerOn = false;
  // What ShowLines showed last; -1: nothing yet.
  enum : int { LinesOpen = 1, LinesFree = 2, LinesDtr = 4, LinesRts = 8 };
  int LinesShown = -1;

  // The controls, in the order in which they are created.
  TReceiveView ReceiveView;
  TModemLamps Lamps;
  TEdit SendField;
  TButton SendButton;
  TButton StopButton;
  TReceiveOptions Options {ReceiveView};
  TFindDlg Find {this, ReceiveView.ReceiveField, TextMode};
};
