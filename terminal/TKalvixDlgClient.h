#pragma once
// The terminal window: the client of the main frame. It opens the configured port and polls
// it every 100 ms, and conducts its parts: it hands them what the line delivers, steps them on
// the ticks and on the one wake-up between them, and shows what they report. They show what
// arrives (TReceiveView), light the lamps (TModemLamps), send (TSendPath), log (TLogMenu), run
// the Line menu (TLineState), find in the field (TFindDlg), transfer files (TTransferRun, shown
// in TTransferDlg) and answer the line (TTriggerRun, edited in TTriggersDlg).
#include "display/TFindDlg.h"
#include "framework/ResourceLoader.h"
#include "framework/TApplication.h"
#include "framework/TButton.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "plot/TPlot.h"
#include "resources/ResourceIds.h"
#include "serial/TComPort.h"
#include "settings/TComSetupXfer.h"
#include "terminal/TCommandList.h"
#include "terminal/TLineState.h"
#include "terminal/TLogMenu.h"
#include "terminal/TModemLamps.h"
#include "terminal/TReceiveView.h"
#include "terminal/TSendPath.h"
#include "transfer/TTransferRun.h"
#include "triggers/TTriggersDlg.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class TFrameWindow;
class TTransferDlg;

class TKalvixDlgClient : public TDialog {
public:
  using TClock = std::chrono::steady_clock;
  using TTime = TClock::time_point;
  static constexpr int SendLimit = 81;   // the send field holds one less
  static constexpr UINT PollTimer = 1;
  static constexpr UINT PollInterval = 100;
  // The one wake-up between the ticks: a timer set for the soonest time a part asks for, and a
  // watch on the line's input while a part awaits it.
  static constexpr UINT WakeTimer = 2;
  static constexpr UINT LineWatch = 1;
  static constexpr std::uint32_t QueueSize = 1024;
  // Posted for a message box that waits for the event in progress to end.
  static constexpr UINT BoxMessage = WM_USER + 1;
  // Posted at set-up: the Line menu is shown once the frame has built its menu.
  static constexpr UINT ShowLinesMessage = WM_USER + 3;

  explicit TKalvixDlgClient(TWindow* parent, int resourceId = IDD_CLIENT);
  ~TKalvixDlgClient() override;

  // Configures the port from the settings record and lights the DTR and RTS lamps.
  void ApplySettings();

  bool IsTextMode() const { return TextMode; }
  const TComSetupXfer& Settings() const { return Setup; }

protected:
  const TResponseTable& Responses() const override;
  void PrepareWindow() override;

  // Opens the configured port, applies the settings, polls it and enables Send; a port that
  // cannot be opened is reported and leaves Send disabled.
  bool OpenPort();
  void ReportPortUnavailable() { MessageBox(LoadString(IDS_PORT_UNAVAILABLE).c_str(), "", MB_OK | MB_ICONEXCLAMATION); }
  // The status bar's message area.
  void ShowStatus(const std::string& text);
  // A box (text non-empty) shown once the event in progress is over: one open inside a tick
  // would hold the poll timer.
  void PostBox(std::string text);
  LRESULT ShowBox(WPARAM, LPARAM);
  LRESULT TimerTick(WPARAM id, LPARAM);
  LRESULT ReceivedData(WPARAM count, LPARAM bytes);
  // Polls the port and shows what the poll brought with one insertion; draining: the poll the
  // drain asked for.
  void PollPort(bool draining);
  // The wake-up: the line has input, or a part's time has come. The parts step, then ask anew.
  LRESULT Wake(WPARAM = 0, LPARAM = 0);
  void ArmWake();
  void CmClear();
  void CmSwitchMode();
  // Edits the settings in the setup dialog; on OK stores them and reopens the port with them.
  void CmSetup();
  void CmOpenCommandFile() { TCommandList::OpenFile(this, CommandXfer); }
  void CmSelect();
  void CmLogToFile() { PostBox(LogMenu.Command(TextMode)); }

  // A transfer's menu item: asks for the file (or the folder) and starts it.
  template <TTransferRun::TProtocol Protocol, bool Send> void CmTransfer() { StartTransfer(Protocol, Send); }
  void StartTransfer(TTransferRun::TProtocol protocol, bool send);
  // The transfer window's Cancel: the transfer ends on the wake-up it asks for, not inside the
  // click of the window that its end closes.
  void CmCancelTransfer()
  {
    Transfer.Cancel();
    ArmWake();
  }
  // The transfer is over: its window goes, the commands come back, the status bar says how it
  // went, and a failure is told.
  void EndTransfer();
  // Send, Select, Setup, Switch Mode and the transfers are only for a terminal without one.
  void EnableCommands(bool enable);

  void CmSendBreak()
  {
    Lines.SendBreak(PortOpen, TClock::now());
    ArmWake();
  }
  template <int Command> void CmToggle() { Lines.Toggle(Command, MainFrame()); }
  void CmFind() { Find.Open(); }
  template <bool Forward> void CmFindAgain() { Find.Step(Forward); }
  void CmTriggers() { TTriggersDlg::Open(TriggersWindow, this, Triggers); }
  void CmPlot() { Plot.Open(); }
  LRESULT ShowLinesPosted(WPARAM, LPARAM)
  {
    Lines.Show(PortOpen, MainFrame());
    return 0;
  }
  void CmSend();
  void CmStop();
  // A trigger's reply that is due goes as Send's text would, while Send could be pressed; on the
  // wake-up (a delay that ran out between the ticks) its first bytes leave at once.
  void StepTriggers(bool woken);
  // A step of the send path: what it puts on the line is echoed; Send is back once it is over.
  void SendTick();
  void EnSendChange() { ShowCaption(false); }
  // Enter and Escape would end a dialog; in the terminal window they do nothing.
  void CmIgnore() {}

  // The program's main window, whose menu shows the mode and the log; null without one.
  TFrameWindow* MainFrame() const { return GetApplication() ? GetApplication()->GetMainWindow() : nullptr; }
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
  bool PortOpen = false;
  TLogMenu LogMenu;
  TTransferRun Transfer;
  std::unique_ptr<TTransferDlg> TransferWindow;   // while a transfer runs
  TTriggerRun Triggers;
  std::unique_ptr<TTriggersDlg> TriggersWindow;   // once opened
  TTime DrainAt = TTime::max();                   // the poll a streaming line asks for; none while it is quiet
  std::deque<std::string> Boxes;                  // posted, not yet shown
  TPlot Plot {*this};                             // fed what arrives while its window is open

  // The controls, in the order in which they are created.
  TReceiveView ReceiveView;
  TModemLamps Lamps;
  TEdit SendField;
  TButton SendButton;
  TButton StopButton;
  TLineState Lines;
  TFindDlg Find {this, ReceiveView.ReceiveField, TextMode};
};
