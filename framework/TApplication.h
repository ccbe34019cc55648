#pragma once
// The application: its name, its main window, the command line and the show command the main
// window starts with. Run starts the instance and runs the message loop until the main window
// is closed; on the way the loop translates the main window's accelerators. Commands that no
// window takes reach the application's response table last.
#include "framework/TResponseTable.h"

#include <QObject>
#include <memory>
#include <string>

class QApplication;
class QEventLoop;
class TFrameWindow;
struct TResourceSet;

class TApplication : public TMessageTarget {
public:
  // Makes the Qt application unless one exists, and hands the program's resources to the
  // framework (UseResources). Every argument after the program name belongs to the command
  // line; Qt is given the program name alone, so that no argument changes how the toolkit runs
  // (the platform and display come from the environment).
  TApplication(const char* name, const TResourceSet& resources, int& argc, char** argv);
  ~TApplication() override;
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // StartInstance, then the message loop; the loop's result, or 1 if the start failed.
  // The quit signals (CatchQuitSignals) end it too, with 128 + the signal's number (QuitOnSignal).
  int Run();
  // The framework's instance start: BuildMainWindow, then the main window is created and
  // shown with the show command. False if there is no main window or it cannot be created.
  virtual bool StartInstance();

  const std::string& GetName() const { return Name; }
  // The arguments after the program name, separated by blanks.
  const std::string& GetCmdLine() const { return CmdLine; }
  int GetCmdShow() const { return CmdShow; }
  void SetCmdShow(int cmdShow) { CmdShow = cmdShow; }

  TFrameWindow* GetMainWindow() const { return MainWindow.get(); }
  // Takes ownership of window (a previous main window is deleted).
  void SetMainWindow(TFrameWindow* window);
  // Called by the main window when its widget is gone: the message loop ends.
  void MainWindowDestroyed();

  LRESULT ReceiveMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
  // Builds the main window and makes it so with SetMainWindow.
  virtual void BuildMainWindow() {}
  virtual const TResponseTable& Responses() const;

  // Exit: the main window gets WM_CLOSE, as from its own close button.
  void CmExit();

private:
  class TAcceleratorFilter;

  // A signal asks nothing: open dialogs are cancelled, and the main window is destroyed
  // without its closing questions, which ends the message loop.
  void QuitOnSignal();

  std::string Name;
  std::string CmdLine;
  int CmdShow = SW_SHOWDEFAULT;
  // What Qt sees of the command line; it must outlive the Qt application.
  std::string QtProgramName;
  int QtArgc = 1;
  char* QtArgv[2] = {};
  std::unique_ptr<QApplication> OwnQtApplication;
  std::unique_ptr<QObject> Filter;
  std::unique_ptr<TFrameWindow> MainWindow;
  QEventLoop* Loop = nullptr;
  std::unique_ptr<QObject> QuitWatch;
  int QuitSignal = 0;
};
