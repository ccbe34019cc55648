#include "framework/TDecoratedFrame.h"

#include "framework/ResourceLoader.h"
#include "framework/TStatusBar.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>
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
}

TDecoratedFrame::TDecoratedFrame(TWindow* parent, const char* title, TWindow* client, bool trackMenuSelection)
  : TFrameWindow(parent, title, client), TrackMenuSelection(trackMenuSelection)
{
}

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
  const auto select = [this](QAction* action) { MenuSelect(action ? HintIdOf(*action) : -1); };
  // Whether the menu is still open is clear only once Qt has finished switching pop-ups.
  const auto checkLater = [this] { QTimer::singleShot(0, Receiver(), [this] { CheckMenuClosed(); }); };

  QObject::connect(&menuBar, &QMenuBar::hovered, Receiver(), select);
  QObject::connect(&menuBar, &QMenuBar::triggered, Receiver(), [this] { MenuClosed(); });
  menuBar.installEventFilter(new TEventHook([checkLater](QObject*, QEvent* event) {
    if (event->type() == QEvent::Leave || event->type() == QEvent::FocusOut)
      checkLater();
  }, Receiver()));

  // The keyboard skips separators, but the mouse can rest on one: that empties the hint.
  auto* separatorHook = new TEventHook([this](QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseMove)
      return;
    auto* menu = static_cast<QMenu*>(watched);
    if (QAction* action = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint()); action && action->isSeparator())
      MenuSelect(-1);
  }, Receiver());
  for (QMenu* menu : menuBar.findChildren<QMenu*>()) {
    QObject::connect(menu, &QMenu::hovered, Receiver(), select);
    QObject::connect(menu, &QMenu::aboutToHide, Receiver(), checkLater);
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

void TDecoratedFrame::CheckMenuClosed()
{
  QMenuBar* bar = GetMenuBar();
  const bool popupOpen = qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr;
  if (!popupOpen && (!bar || !bar->activeAction()))
    MenuClosed();
}
