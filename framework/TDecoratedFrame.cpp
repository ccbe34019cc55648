#include "framework/TDecoratedFrame.h"

#include "framework/ResourceLoader.h"
#include "framework/TStatusBar.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <functional>

namespace {
// Lets a function look at the events of the objects it is installed on.
class TEventHook final : public QObject {
public:
  TEventHook(std::function<void(QObject*, QEvent*)> look, QObject* parent) : QObject(parent), Look(std::move(look)) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override
  {
    Look(watched, event);
    return false;
  }

private:
  std::function<void(QObject*, QEvent*)> Look;
};

// Qt's menu bar keeps to itself whether it is in menu mode (an item pressed with the mouse,
// its pop-up open or not); it shows it only in how it draws the active item: pressed.
struct TMenuBarLook : QMenuBar {
  static bool Pressed(const QMenuBar& bar, const QAction& action)
  {
    QStyleOptionMenuItem option;
    (bar.*&TMenuBarLook::initStyleOption)(&option, &action);
    return option.state & QStyle::State_Sunken;
  }
};
}

TDecoratedFrame::TDecoratedFrame(TWindow* parent, const char* title, TWindow* client, bool trackMenuSelection)
  : TFrameWindow(parent, title, client), TrackMenuSelection(trackMenuSelection)
{}

TDecoratedFrame::~TDecoratedFrame() = default;

void TDecoratedFrame::Insert(TStatusBar* statusBar)
{
  StatusBar.reset(statusBar);
  if (StatusBar)
    StatusBar->SetParent(this);
}

void TDecoratedFrame::PrepareWindow()
{
  if (StatusBar && StatusBar->GetWidget())
    static_cast<QMainWindow*>(GetWidget())->setStatusBar(static_cast<QStatusBar*>(StatusBar->GetWidget()));
  TFrameWindow::PrepareWindow();
}

std::string TDecoratedFrame::HintText(int hintId)
{
  if (hintId < 0)
    return {};
  char text[128];
  const int length = LoadString(UINT(hintId), text, sizeof text);
  const std::string hint(text, std::size_t(length));
  return hint.substr(0, hint.find('\n'));
}

void TDecoratedFrame::MenuBuilt(QMenuBar& menuBar)
{
  if (!TrackMenuSelection)
    return;
  MenuHooks = std::make_unique<QObject>();
  QObject* const hooks = MenuHooks.get();
  const auto select = [this](QAction* action) { MenuSelect(action ? HintIdOf(*action) : -1); };
  // Whether the menu is still open is clear only once Qt has finished switching pop-ups.
  const auto checkLater = [this, hooks] { QTimer::singleShot(0, hooks, [this] { CheckMenuClosed(); }); };

  // The menu bar highlights what the mouse passes over even while no menu is open; that is no
  // menu selection.
  QObject::connect(&menuBar, &QMenuBar::hovered, hooks, [this, select](QAction* action) {
    if (IsMenuOpen())
      select(action);
  });
  QObject::connect(&menuBar, &QMenuBar::triggered, hooks, [this] { MenuClosed(); });
  menuBar.installEventFilter(new TEventHook(
    [this, &menuBar, select, checkLater](QObject*, QEvent* event) {
      // The keyboard enters the bar: Qt highlights the first item before the bar has the focus.
      if (event->type() == QEvent::FocusIn && menuBar.activeAction())
        select(menuBar.activeAction());
      // However the menu closes, the bar draws itself anew.
      else if (InMenu &&
               (event->type() == QEvent::Paint || event->type() == QEvent::Leave || event->type() == QEvent::FocusOut))
        checkLater();
    },
    hooks));

  // The keyboard skips separators, but the mouse can rest on one: that empties the hint.
  auto* separatorHook = new TEventHook(
    [this](QObject* watched, QEvent* event) {
      if (event->type() != QEvent::MouseMove)
        return;
      auto* menu = static_cast<QMenu*>(watched);
      if (QAction* action = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
          action && action->isSeparator())
        MenuSelect(-1);
    },
    hooks);
  for (QMenu* menu : menuBar.findChildren<QMenu*>()) {
    QObject::connect(menu, &QMenu::hovered, hooks, select);
    QObject::connect(menu, &QMenu::aboutToHide, hooks, checkLater);
    menu->installEventFilter(separatorHook);
  }
}

void TDecoratedFrame::MenuSelect(int hintId)
{
  if (!StatusBar)
    return;
  if (!InMenu) {
    TextBeforeMenu = StatusBar->GetText();
    InMenu = true;
  }
  StatusBar->SetText(HintText(hintId).c_str());
}

void TDecoratedFrame::MenuClosed()
{
  if (!InMenu)
    return;
  InMenu = false;
  if (StatusBar)
    StatusBar->SetText(TextBeforeMenu.c_str());
}

bool TDecoratedFrame::IsMenuOpen() const
{
  if (qobject_cast<QMenu*>(QApplication::activePopupWidget()))
    return true;
  const QMenuBar* bar = GetMenuBar();
  if (!bar)
    return false;
  // An item of the bar is highlighted by the keyboard (the bar has it only while the menu is
  // open), or pressed with the mouse.
  const QAction* active = bar->activeAction();
  return active && (bar->hasFocus() || TMenuBarLook::Pressed(*bar, *active));
}

void TDecoratedFrame::CheckMenuClosed()
{
  if (IsMenuOpen())
    return;
  // Qt can leave the keyboard with a bar that is out of menu mode; with nothing to navigate,
  // it only makes the bar look open to the next pointer that passes.
  if (QMenuBar* bar = GetMenuBar(); bar && bar->hasFocus())
    bar->clearFocus();
  MenuClosed();
}
