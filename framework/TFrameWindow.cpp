#include "framework/TFrameWindow.h"

#include "framework/Latin1.h"
#include "framework/ResourceLoader.h"
#include "framework/TApplication.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

class TFrameWindow::TFrameWidget final : public QMainWindow {
public:
  TFrameWidget(TFrameWindow& owner, QObject* guard) : Owner(owner), OwnerAlive(guard) {}

protected:
  void closeEvent(QCloseEvent* event) override
  {
    if (OwnerAlive && !Owner.CloseRequested())
      event->ignore();
    else
      event->accept();
  }

private:
  TFrameWindow& Owner;
  QPointer<QObject> OwnerAlive;
};

namespace {
constexpr char CommandProperty[] = "commandId";
constexpr char HintProperty[] = "hintId";

// A pop-up's hint is the string one below its first command; a first item that is a pop-up
// is looked into in turn. A separator first, or nothing, gives no hint.
int PopupHintId(const TMenuItemTemplate& popup)
{
  const TMenuItemTemplate* item = &popup;
  while (item->Kind == TMenuItemKind::Popup) {
    if (item->Items.empty())
      return -1;
    item = &item->Items.front();
  }
  return item->Kind == TMenuItemKind::Command ? item->Id - 1 : -1;
}

void Tag(QAction& action, int commandId, int hintId)
{
  action.setProperty(CommandProperty, commandId);
  action.setProperty(HintProperty, hintId);
}

void AddItems(QMenu& menu, std::span<const TMenuItemTemplate> items)
{
  for (const TMenuItemTemplate& item : items) {
    switch (item.Kind) {
    case TMenuItemKind::Command:
      Tag(*menu.addAction(ToQString(item.Text)), item.Id, item.Id);
      break;
    case TMenuItemKind::Separator:
      Tag(*menu.addSeparator(), 0, -1);
      break;
    case TMenuItemKind::Popup: {
      QMenu* popup = menu.addMenu(ToQString(item.Text));
      Tag(*popup->menuAction(), 0, PopupHintId(item));
      AddItems(*popup, item.Items);
      break;
    }
    }
  }
}

// Top-level separators only mark the menu groups; the bar does not show them.
void BuildMenuBar(QMenuBar& bar, const TMenuTemplate& menu)
{
  for (const TMenuItemTemplate& item : menu.Items) {
    if (item.Kind == TMenuItemKind::Command) {
      Tag(*bar.addAction(ToQString(item.Text)), item.Id, item.Id);
    } else if (item.Kind == TMenuItemKind::Popup) {
      QMenu* popup = bar.addMenu(ToQString(item.Text));
      Tag(*popup->menuAction(), 0, PopupHintId(item));
      AddItems(*popup, item.Items);
    }
  }
}

// In the menu bar's keyboard mode (Alt, then a letter) Qt opens the pop-up whose access key is
// typed, but only highlights such a command of the bar: it is carried out instead.
class TBarCommandKeys final : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override
  {
    const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
    if (!key || (key->modifiers() & ~Qt::KeypadModifier) || key->text().size() != 1)
      return false;
    auto& bar = *static_cast<QMenuBar*>(watched);
    const QKeySequence typed(Qt::AltModifier | Qt::Key(key->text().toUpper()[0].unicode()));
    QAction* command = nullptr;
    for (QAction* action : bar.actions())
      if (action->isVisible() && QKeySequence::mnemonic(action->text()) == typed) {
        if (command)
          return false;   // shared: Qt steps through them
        command = action;
      }
    if (!command || command->menu() || !command->isEnabled())
      return false;
    // Out of keyboard mode first, as Escape leaves it: the focus goes back where it was.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&bar, &escape);
    command->trigger();
    return true;
  }
};

// The virtual-key code of a Qt key; 0 for keys no accelerator uses.
int VirtualKeyOf(int key)
{
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
    return VirtualKey::F1 + (key - Qt::Key_F1);
  if (key >= Qt::Key_A && key <= Qt::Key_Z)
    return VirtualKey::A + (key - Qt::Key_A);
  switch (key) {
  case Qt::Key_Backspace:
    return VirtualKey::Back;
  case Qt::Key_Insert:
    return VirtualKey::Insert;
  case Qt::Key_Delete:
    return VirtualKey::Delete;
  default:
    return 0;
  }
}

// The window of tree whose widget is widget, or null.
TWindow* FindByWidget(TWindow& tree, const QWidget* widget)
{
  if (tree.GetWidget() == widget)
    return &tree;
  for (TWindow* child : tree.GetChildren())
    if (TWindow* found = FindByWidget(*child, widget))
      return found;
  return nullptr;
}
}

TFrameWindow::TFrameWindow(TWindow* parent, const char* title, TWindow* client, bool shrinkToClient)
  : TWindow(parent, title), ClientWnd(client), ShrinkToClient(shrinkToClient)
{
  if (ClientWnd)
    ClientWnd->SetParent(this);
}

TFrameWindow::~TFrameWindow() = default;

const TResponseTable& TFrameWindow::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnMessage<&TFrameWindow::EvClose>(WM_CLOSE),
  };
  static const TResponseTable table {&TWindow::Responses(), entries};
  return table;
}

int TFrameWindow::CommandIdOf(const QAction& action)
{
  return action.property(CommandProperty).toInt();
}

int TFrameWindow::HintIdOf(const QAction& action)
{
  const QVariant hint = action.property(HintProperty);
  return hint.isValid() ? hint.toInt() : -1;
}

QWidget* TFrameWindow::MakeWidget(QWidget* parentWidget)
{
  auto* frame = new TFrameWidget(*this, Receiver());
  if (parentWidget)
    frame->setParent(parentWidget, Qt::Window);
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
  if (MaximizeBox)
    flags |= Qt::WindowMaximizeButtonHint;
  frame->setWindowFlags(flags);
  frame->setWindowTitle(ToQString(GetCaption()));
  if (Attr.W > 0 && Attr.H > 0)
    frame->setGeometry(Attr.X, Attr.Y, Attr.W, Attr.H);
  return frame;
}

QMenuBar* TFrameWindow::GetMenuBar() const
{
  auto* frame = qobject_cast<QMainWindow*>(GetWidget());
  return frame && frame->menuWidget() ? frame->menuBar() : nullptr;
}

void TFrameWindow::PrepareWindow()
{
  auto* frame = static_cast<QMainWindow*>(GetWidget());
  if (const TMenuTemplate* menu = MenuId ? FindMenuTemplate(MenuId) : nullptr) {
    QMenuBar* bar = frame->menuBar();
    BuildMenuBar(*bar, *menu);
    bar->installEventFilter(new TBarCommandKeys(bar));
    // The hook comes first: what it connects to a command runs before the command.
    MenuBuilt(*bar);
    QObject::connect(bar, &QMenuBar::triggered, Receiver(), [this](QAction* action) {
      // Qt toggles a checkable item by itself; here only the program sets check marks.
      if (action->isCheckable())
        action->setChecked(!action->isChecked());
      if (const int id = CommandIdOf(*action))
        RouteCommand(id, 0);
    });
  }
  if (IconId)
    frame->setWindowIcon(LoadIcon(IconId));
  if (ClientWnd && ClientWnd->GetWidget()) {
    QWidget* client = ClientWnd->GetWidget();
    const QSize clientSize = client->size();
    frame->setCentralWidget(client);
    if (ShrinkToClient) {
      // Size the frame once, then correct by what the layout actually gave the client.
      frame->resize(frame->minimumSizeHint().expandedTo(clientSize));
      frame->layout()->activate();
      const QSize given = frame->centralWidget()->size();
      frame->resize(frame->size() + (clientSize - given));
      frame->layout()->activate();
    }
  }
}

bool TFrameWindow::CheckMenuItem(int id, bool checked)
{
  QAction* action = FindMenuItem(id);
  if (!action)
    return false;
  // An unchecked item shows no mark at all, not an empty box.
  action->setCheckable(checked);
  action->setChecked(checked);
  return true;
}

bool TFrameWindow::IsMenuItemChecked(int id) const
{
  const QAction* action = FindMenuItem(id);
  return action && action->isChecked();
}

bool TFrameWindow::EnableMenuItem(int id, bool enable)
{
  QAction* action = FindMenuItem(id);
  if (!action)
    return false;
  action->setEnabled(enable);
  return true;
}

bool TFrameWindow::SetMenuItemText(int id, const char* text)
{
  QAction* action = FindMenuItem(id);
  if (!action)
    return false;
  action->setText(ToQString(text));
  return true;
}

bool TFrameWindow::SetMenuItemHint(int id, int hintId)
{
  QAction* action = FindMenuItem(id);
  if (!action)
    return false;
  action->setProperty(HintProperty, hintId);
  return true;
}

QAction* TFrameWindow::FindMenuItem(int id) const
{
  QMenuBar* bar = GetMenuBar();
  if (!bar || id == 0)
    return nullptr;
  for (QAction* action : bar->findChildren<QAction*>())
    if (CommandIdOf(*action) == id)
      return action;
  return nullptr;
}

void TFrameWindow::RouteCommand(int id, unsigned code)
{
  const WPARAM wParam = MakeWParam(unsigned(id), code);
  TWindow* focus = FindByWidget(*this, QApplication::focusWidget());
  if (focus && focus != this && focus->Handles(WM_COMMAND, wParam)) {
    ::SendMessage(focus, WM_COMMAND, wParam, 0);
    return;
  }
  if (ClientWnd && ClientWnd->Handles(WM_COMMAND, wParam)) {
    ::SendMessage(ClientWnd.get(), WM_COMMAND, wParam, 0);
    return;
  }
  if (Handles(WM_COMMAND, wParam)) {
    ::SendMessage(this, WM_COMMAND, wParam, 0);
    return;
  }
  if (TApplication* application = GetApplication())
    ::SendMessage(application, WM_COMMAND, wParam, 0);
}

bool TFrameWindow::TranslateAccelerator(const QKeyEvent& key)
{
  const TAcceleratorTable* table = AcceleratorsId ? FindAcceleratorTable(AcceleratorsId) : nullptr;
  const int virtualKey = VirtualKeyOf(key.key());
  if (!table || virtualKey == 0)
    return false;
  std::uint8_t modifiers = 0;
  if (key.modifiers() & Qt::ShiftModifier)
    modifiers |= AccelFlag::Shift;
  if (key.modifiers() & Qt::ControlModifier)
    modifiers |= AccelFlag::Control;
  if (key.modifiers() & Qt::AltModifier)
    modifiers |= AccelFlag::Alt;
  for (const TAcceleratorEntry& entry : table->Entries) {
    if (entry.Key == virtualKey && entry.Modifiers == modifiers) {
      RouteCommand(entry.Command, 1);
      return true;
    }
  }
  return false;
}

LRESULT TFrameWindow::EvClose(WPARAM, LPARAM)
{
  if (QWidget* frame = GetWidget())
    frame->close();
  return 0;
}

bool TFrameWindow::CloseRequested()
{
  if (!CanClose())
    return false;
  // The widget cannot go inside its own close event.
  QMetaObject::invokeMethod(
    Receiver(),
    [this] {
      Destroy();
      if (TApplication* application = GetApplication(); application && application->GetMainWindow() == this)
        application->MainWindowDestroyed();
    },
    Qt::QueuedConnection);
  return true;
}
