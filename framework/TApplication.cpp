#include "framework/TApplication.h"

#include "framework/Latin1.h"
#include "framework/ResourceLoader.h"
#include "framework/TFrameWindow.h"
#include "framework/StandardIds.h"

#include "platform/QuitSignals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <unistd.h>

namespace {
// The client's button that Alt and this key press: visible, enabled, the key its mnemonic.
QAbstractButton* MnemonicButton(const TFrameWindow& frame, const QKeyEvent& key)
{
  const TWindow* client = frame.GetClientWindow();
  if (!client || !client->GetWidget() || (key.modifiers() & ~Qt::KeypadModifier) != Qt::AltModifier)
    return nullptr;
  const QKeySequence pressed(Qt::AltModifier | Qt::Key(key.key()));
  for (auto* button : client->GetWidget()->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly))
    if (button->isVisible() && button->isEnabled() && QKeySequence::mnemonic(button->text()) == pressed)
      return button;
  return nullptr;
}
}   // namespace

// Translates the main window's accelerators before a key reaches any of its widgets, so that
// the widgets' own shortcuts for the same keys never act. Then a button's mnemonic goes before
// the menu bar's access key for the same letter (which Alt, then the letter, still reaches):
// shared, Qt would only move the focus to the button.
class TApplication::TAcceleratorFilter final : public QObject {
public:
  explicit TAcceleratorFilter(TApplication& application) : Application(application) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override
  {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
      return false;
    TFrameWindow* frame = Application.GetMainWindow();
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!frame || !widget || !frame->GetWidget() || widget->window() != frame->GetWidget())
      return false;
    const auto& key = *static_cast<QKeyEvent*>(event);
    QAbstractButton* button = MnemonicButton(*frame, key);
    if (event->type() == QEvent::ShortcutOverride) {
      // Taken as a plain key: no shortcut acts on it, and it comes back here as a key press.
      if (button)
        event->accept();
      return button;
    }
    if (frame->TranslateAccelerator(key))
      return true;
    if (button)
      button->click();
    return button;
  }

private:
  TApplication& Application;
};

TApplication::TApplication(const char* name, const TResourceSet& resources, int& argc, char** argv)
  : Name(name ? name : "")
{
  UseResources(resources);
  if (!QApplication::instance()) {
    QtProgramName = argc > 0 && argv && argv[0] ? argv[0] : Name;
    QtArgv[0] = QtProgramName.data();
    OwnQtApplication = std::make_unique<QApplication>(QtArgc, QtArgv);
  }
  // Message boxes of the framework carry it as their caption.
  QCoreApplication::setApplicationName(ToQString(Name));
  for (int i = 1; i < argc && argv && argv[i]; ++i) {
    if (!CmdLine.empty())
      CmdLine += ' ';
    CmdLine += argv[i];
  }
  Filter = std::make_unique<TAcceleratorFilter>(*this);
  QApplication::instance()->installEventFilter(Filter.get());
}

TApplication::~TApplication()
{
  // The windows go before the Qt application that their widgets need.
  MainWindow.reset();
  Filter.reset();
}

const TResponseTable& TApplication::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TApplication::CmExit>(CM_EXIT),
  };
  static const TResponseTable table {nullptr, entries};
  return table;
}

LRESULT TApplication::ReceiveMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
  if (const TResponseEntry* entry = Responses().Find(msg, wParam))
    return entry->Call(*this, wParam, lParam);
  return 0;
}

void TApplication::SetMainWindow(TFrameWindow* window)
{
  if (MainWindow)
    MainWindow->Application = nullptr;
  MainWindow.reset(window);
  if (MainWindow)
    MainWindow->Application = this;
}

bool TApplication::StartInstance()
{
  BuildMainWindow();
  if (!MainWindow || !MainWindow->Create())
    return false;
  MainWindow->Show(CmdShow);
  return true;
}

int TApplication::Run()
{
  // Watched before the port is opened: from then on no such signal ends the program with the
  // port's lock file left behind.
  if (const int fd = CatchQuitSignals(); fd >= 0 && !QuitWatch) {
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    QuitWatch.reset(notifier);
    QObject::connect(notifier, &QSocketNotifier::activated, [this, fd] {
      const bool first = QuitSignal == 0;
      for (unsigned char signal = 0; read(fd, &signal, 1) == 1;)
        QuitSignal = QuitSignal ? QuitSignal : signal;
      if (first && QuitSignal)
        QuitOnSignal();
    });
  }
  if (!StartInstance())
    return 1;
  if (QuitSignal)
    return 128 + QuitSignal;
  // The loop ends when the main window is destroyed, not when some last window closes.
  QApplication::setQuitOnLastWindowClosed(false);
  QEventLoop loop;
  Loop = &loop;
  const int result = MainWindow && MainWindow->IsCreated() ? loop.exec() : 0;
  Loop = nullptr;
  return QuitSignal ? 128 + QuitSignal : result;
}

void TApplication::QuitOnSignal()
{
  // In the message loop itself the main window goes as by File > Exit, without its questions.
  if (Loop && QThread::currentThread()->loopLevel() == 1 && MainWindow && MainWindow->IsCreated()) {
    MainWindow->Destroy();
    MainWindowDestroyed();
    return;
  }
  // Inside a dialog's loop, or before the message loop runs: the dialogs are cancelled, and a
  // little later, once their loops have returned, the rest.
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
      dialog->reject();
  QTimer::singleShot(50, QuitWatch.get(), [this] { QuitOnSignal(); });
}

void TApplication::MainWindowDestroyed()
{
  if (Loop)
    Loop->exit(0);
}

void TApplication::CmExit()
{
  if (MainWindow)
    ::SendMessage(MainWindow.get(), WM_CLOSE, 0, 0);
}
