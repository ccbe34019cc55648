#include "framework/TWindow.h"

#include "framework/Latin1.h"
#include "framework/TPresenter.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <algorithm>

TWindow::TWindow(TWindow* parent, const char* title)
  : ParentWindow(parent), Title(title ? title : ""), LifeGuard(std::make_unique<QObject>())
{
  if (ParentWindow)
    ParentWindow->Children.push_back(this);
}

TWindow::~TWindow()
{
  for (TWindow* child : Children)
    child->ParentWindow = nullptr;
  if (ParentWindow)
    std::erase(ParentWindow->Children, this);
  // Connections die with the guard first, so deleting the widget signals nothing to us.
  LifeGuard.reset();
  delete Widget.data();
}

bool TWindow::Create()
{
  if (Widget)
    return true;
  QWidget* parentWidget = nullptr;
  if (ParentWindow) {
    parentWidget = ParentWindow->Widget;
    if (!parentWidget)
      return false;
  }
  QWidget* widget = ParentWindow ? ParentWindow->TemplateWidget(Attr.Id) : nullptr;
  if (widget && !Binds(*widget))
    return false;
  if (!widget) {
    widget = MakeWidget(parentWidget);
    if (!widget)
      return false;
    if (ParentWindow)
      ParentWindow->ForwardNotifications(widget, Attr.Id);
  }
  Widget = widget;
  WidgetBound();
  bool ok = true;
  for (TWindow* child : Children)
    ok = child->Create() && ok;
  PrepareWindow();
  return ok;
}

QWidget* TWindow::MakeWidget(QWidget* parentWidget)
{
  auto* widget = new QWidget(parentWidget);
  widget->setGeometry(Attr.X, Attr.Y, Attr.W, Attr.H);
  if (!parentWidget)
    widget->setWindowTitle(ToQString(Title));
  if (parentWidget && !Attr.Visible)
    widget->hide();
  return widget;
}

void TWindow::StopEvents()
{
  for (auto& [id, timer] : Timers)
    if (timer)
      timer->stop();
  Timers.clear();
  for (auto& [id, watch] : Watches)
    if (watch)
      watch->setEnabled(false);
  Watches.clear();
}

void TWindow::Destroy()
{
  StopEvents();
  delete Widget.data();
  Widget = nullptr;
}

void TWindow::DestroyLater()
{
  for (TWindow* child : Children)
    child->DestroyLater();
  StopEvents();
  if (Widget) {
    Widget->hide();
    Widget->deleteLater();
  }
  Widget = nullptr;
}

void TWindow::SetParent(TWindow* parent)
{
  if (ParentWindow)
    std::erase(ParentWindow->Children, this);
  ParentWindow = parent;
  if (ParentWindow)
    ParentWindow->Children.push_back(this);
}

TApplication* TWindow::GetApplication() const
{
  const TWindow* root = this;
  while (root->ParentWindow)
    root = root->ParentWindow;
  return root->Application;
}

TWindow* TWindow::ChildWithId(int id) const
{
  for (TWindow* child : Children)
    if (child->Attr.Id == id)
      return child;
  return nullptr;
}

void TWindow::SetCaption(const char* text)
{
  Title = text ? text : "";
  if (Widget)
    ApplyCaption();
}

void TWindow::ApplyCaption()
{
  Widget->setWindowTitle(ToQString(Title));
}

void TWindow::Show(int cmdShow)
{
  Attr.Visible = cmdShow != SW_HIDE;
  if (!Widget)
    return;
  if (cmdShow == SW_SHOWMINNOACTIVE && Widget->isWindow()) {
    Widget->setAttribute(Qt::WA_ShowWithoutActivating);
    Widget->showMinimized();
  } else {
    Widget->setVisible(Attr.Visible);
  }
}

void TWindow::EnableWindow(bool enable)
{
  if (Widget)
    Widget->setEnabled(enable);
}

bool TWindow::IsWindowEnabled() const
{
  return Widget && Widget->isEnabled();
}

void TWindow::Invalidate(bool)
{
  if (Widget)
    Widget->update();
}

void TWindow::SetFocus()
{
  if (Widget)
    Widget->setFocus(Qt::OtherFocusReason);
}

bool TWindow::SetTimer(UINT id, UINT ms)
{
  if (!Widget)
    return false;
  QPointer<QTimer>& timer = Timers[id];
  if (!timer) {
    timer = new QTimer(Widget);
    QObject::connect(timer, &QTimer::timeout, Receiver(), [this, id] { ::SendMessage(this, WM_TIMER, id, 0); });
  }
  timer->start(int(std::min<UINT>(ms, 0x7FFFFFFF)));
  return true;
}

bool TWindow::KillTimer(UINT id)
{
  const auto found = Timers.find(id);
  if (found == Timers.end())
    return false;
  if (QTimer* timer = found->second) {
    timer->stop();
    // The tick that kills its own timer is still running inside that timer's signal.
    timer->deleteLater();
  }
  Timers.erase(found);
  return true;
}

bool TWindow::WatchReadable(UINT id, int fd)
{
  if (!Widget)
    return false;
  QPointer<QSocketNotifier>& watch = Watches[id];
  if (watch && watch->socket() == fd)
    return true;
  if (watch) {
    // It may be this watch's own signal that ends it.
    watch->setEnabled(false);
    watch->deleteLater();
  }
  if (fd < 0) {
    Watches.erase(id);
    return true;
  }
  watch = new QSocketNotifier(fd, QSocketNotifier::Read, Widget);
  QObject::connect(watch, &QSocketNotifier::activated, Receiver(),
                   [this, id] { ::SendMessage(this, WM_READABLE, id, 0); });
  return true;
}

void TWindow::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
  QTimer::singleShot(0, Receiver(), [this, msg, wParam, lParam] { ReceiveMessage(msg, wParam, lParam); });
}

int TWindow::MessageBox(const char* text, const char* caption, UINT type)
{
  return TPresenter::Current().MessageBox(Widget, text ? text : "", caption ? caption : "", type);
}

bool TWindow::CanClose()
{
  for (TWindow* child : Children)
    if (!child->CanClose())
      return false;
  return true;
}

void TWindow::Transfer(const TTransferField&, TTransferDirection) {}

const TResponseTable& TWindow::Responses() const
{
  static const TResponseTable table {nullptr, {}};
  return table;
}

LRESULT TWindow::ReceiveMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
  if (const TResponseEntry* entry = Responses().Find(msg, wParam))
    return entry->Call(*this, wParam, lParam);
  return DefaultProcessing(msg, wParam, lParam);
}

LRESULT TWindow::DefaultProcessing(UINT, WPARAM, LPARAM)
{
  return 0;
}

void TWindow::ForwardNotifications(QWidget* control, int id)
{
  const auto notify = [this, id](UINT code) { ::SendMessage(this, WM_COMMAND, MakeWParam(unsigned(id), code), 0); };
  if (auto* button = qobject_cast<QAbstractButton*>(control))
    QObject::connect(button, &QAbstractButton::clicked, Receiver(), [notify] { notify(BN_CLICKED); });
  else if (auto* line = qobject_cast<QLineEdit*>(control))
    QObject::connect(line, &QLineEdit::textChanged, Receiver(), [notify] { notify(EN_CHANGE); });
  else if (auto* text = qobject_cast<QPlainTextEdit*>(control))
    QObject::connect(text, &QPlainTextEdit::textChanged, Receiver(), [notify] { notify(EN_CHANGE); });
  // Only the user's choice notifies, not the program's own selecting.
  else if (auto* list = qobject_cast<QComboBox*>(control))
    QObject::connect(list, &QComboBox::activated, Receiver(), [notify] { notify(CBN_SELCHANGE); });
  else if (auto* rows = qobject_cast<QListWidget*>(control))
    QObject::connect(rows, &QListWidget::currentRowChanged, Receiver(), [notify] { notify(LBN_SELCHANGE); });
}
