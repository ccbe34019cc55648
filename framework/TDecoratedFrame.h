#pragma once
// A frame with decorations around its client: a status bar at the bottom and, while the menu
// is open, hints on the highlighted menu item in the status bar's message area.
#include "framework/TFrameWindow.h"

#include <QObject>
#include <memory>
#include <string>

class TStatusBar;

class TDecoratedFrame : public TFrameWindow {
public:
  // With trackMenuSelection the highlighted menu item's hint is shown in the status bar.
  TDecoratedFrame(TWindow* parent, const char* title, TWindow* client, bool trackMenuSelection = false);
  ~TDecoratedFrame() override;

  // Takes ownership of the status bar and places it at the bottom; before creation.
  void Insert(TStatusBar* statusBar);
  TStatusBar* GetStatusBar() const { return StatusBar.get(); }

  // The hint for hint id: the string with that id up to its first line feed, at most 127
  // characters; empty for -1 or an id without a string.
  static std::string HintText(int hintId);

protected:
  void PrepareWindow() override;
  void MenuBuilt(QMenuBar& menuBar) override;

private:
  // A menu item was highlighted: its hint goes to the status bar, the text before the menu
  // opened is kept.
  void MenuSelect(int hintId);
  // The menu closed: the kept text comes back.
  void MenuClosed();
  // Whether a pop-up of the menu is open, or the menu bar is in menu mode (entered by the
  // keyboard, or an item pressed with the mouse).
  bool IsMenuOpen() const;
  // Ends the hints once the menu is not open any more.
  void CheckMenuClosed();

  bool TrackMenuSelection;
  std::unique_ptr<TStatusBar> StatusBar;
  // Context of the menu's hooks and connections: they end with this frame's own part, not
  // with the window's, which still gets events while its widgets are taken down.
  std::unique_ptr<QObject> MenuHooks;
  bool InMenu = false;
  std::string TextBeforeMenu;
};
