#pragma once
// A top-level frame around a client window, with a menu bar from a menu resource, an
// accelerator table and an icon. Menu and accelerator commands are routed to the focused
// control first, then to the client, then to the frame, then to the application. Closing asks
// every window whether it may close; the main window's destruction ends the message loop.
#include "framework/TWindow.h"

#include <memory>

class QAction;
class QKeyEvent;
class QMenuBar;

class TFrameWindow : public TWindow {
public:
  // Takes ownership of client (may be null) and becomes its parent. With shrinkToClient the
  // frame is sized at set-up so that its client area exactly holds the client window.
  TFrameWindow(TWindow* parent, const char* title, TWindow* client = nullptr, bool shrinkToClient = false);
  ~TFrameWindow() override;

  TWindow* GetClientWindow() const { return ClientWnd.get(); }
  void SetShrinkToClient(bool shrink) { ShrinkToClient = shrink; }
  // Whether the title bar has a maximise button; set before creation.
  void SetMaximizeBox(bool hasBox) { MaximizeBox = hasBox; }
  // Menu resource, accelerator table and icon by id; set before creation.
  void SetMenuId(int menuId) { MenuId = menuId; }
  void SetAcceleratorsId(int tableId) { AcceleratorsId = tableId; }
  void SetIconId(int iconId) { IconId = iconId; }

  // Checks or unchecks the menu item with command id; false if there is no such item.
  bool CheckMenuItem(int id, bool checked);
  bool IsMenuItemChecked(int id) const;
  // Enables or greys out the menu item with command id; false if there is no such item.
  bool EnableMenuItem(int id, bool enable);
  // Gives the menu item with command id another text; false if there is no such item.
  bool SetMenuItemText(int id, const char* text);
  // Gives the menu item with command id the hint of string hintId; false if there is no such item.
  bool SetMenuItemHint(int id, int hintId);
  QMenuBar* GetMenuBar() const;

  // Sends command id (code 0 from a menu, 1 from an accelerator) along the route.
  void RouteCommand(int id, unsigned code);
  // If the key is in the accelerator table, routes its command and returns true.
  bool TranslateAccelerator(const QKeyEvent& key);

protected:
  const TResponseTable& Responses() const override;
  QWidget* MakeWidget(QWidget* parentWidget) override;
  // Builds the menu, sets the icon, puts the client in place and applies shrink-to-client.
  void PrepareWindow() override;
  // A hook for the menu bar just built, before its commands are connected.
  virtual void MenuBuilt(QMenuBar& /*menuBar*/) {}
  // Every menu item carries its command id (0 for none) and the id of its hint string (-1:
  // no hint).
  static int CommandIdOf(const QAction& action);
  static int HintIdOf(const QAction& action);

  // WM_CLOSE: the frame closes as by its close button.
  LRESULT EvClose(WPARAM, LPARAM);

private:
  class TFrameWidget;
  // The close check of the frame's widget; on success the frame is destroyed after the event.
  bool CloseRequested();
  QAction* FindMenuItem(int id) const;

  std::unique_ptr<TWindow> ClientWnd;
  bool ShrinkToClient;
  bool MaximizeBox = true;
  int MenuId = 0;
  int AcceleratorsId = 0;
  int IconId = 0;
};
