#pragma once
// A window of the program: a message target whose messages are dispatched through its class's
// response table, shown as a Qt widget once it is created. The object exists before its widget
// (a parent constructs its children's objects first) and may outlive it.
#include "framework/TResponseTable.h"
#include "framework/TransferData.h"

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QSocketNotifier;
class QTimer;
class TApplication;

class TWindow : public TMessageTarget {
public:
  // A window with a parent registers with it; the parent creates it with itself, and asks it
  // whether it may close, in the order in which the children were constructed.
  explicit TWindow(TWindow* parent, const char* title = nullptr);
  ~TWindow() override;
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  // Id of a child window; position and size in pixels of a window that makes its own widget.
  struct TAttr {
    int Id = 0;
    int X = 0, Y = 0, W = 0, H = 0;
    bool Visible = true;
  } Attr;

  // Makes the widget, then the children's in creation order, then runs PrepareWindow. A
  // window whose parent has no widget yet is not created. False if it or a child failed.
  bool Create();
  // Deletes the widget with its children's; timers end with it. The object stays usable.
  void Destroy();
  bool IsCreated() const { return Widget != nullptr; }
  QWidget* GetWidget() const { return Widget; }

  TWindow* GetParent() const { return ParentWindow; }
  // Moves the window to another parent (null: none), as the last of its children. Only before
  // the window is created.
  void SetParent(TWindow* parent);
  // The application whose main window this window is or lies in; null if none.
  TApplication* GetApplication() const;
  int GetId() const { return Attr.Id; }
  // The child object with this id, or null.
  TWindow* ChildWithId(int id) const;
  const std::vector<TWindow*>& GetChildren() const { return Children; }

  void SetCaption(const char* text);
  const std::string& GetCaption() const { return Title; }
  // SW_HIDE hides the window, SW_SHOWMINNOACTIVE shows a top-level window minimised without
  // activating it, any other command shows it.
  void Show(int cmdShow);
  void EnableWindow(bool enable);
  bool IsWindowEnabled() const;
  // Asks for a repaint of the whole window; Qt repaints over an erased background always.
  void Invalidate(bool erase = true);
  void SetFocus();

  // Starts (or restarts) timer id: every ms milliseconds the window receives WM_TIMER with
  // wParam = id. Fails while the window has no widget.
  bool SetTimer(UINT id, UINT ms);
  bool KillTimer(UINT id);
  // Watches descriptor fd under id: whenever it polls readable, the window receives
  // WM_READABLE with wParam = id. fd -1 ends the watch. Fails while the window has no widget.
  bool WatchReadable(UINT id, int fd);

  // Queues a message for this window, received once the event in progress is done (for a
  // message box that must not open inside a timer's tick, which would hold that timer).
  void PostMessage(UINT msg, WPARAM wParam, LPARAM lParam);

  // A message box owned by this window, through the current presenter; the button's id.
  int MessageBox(const char* text, const char* caption, UINT type);

  // Whether the window may close: by default each child is asked, in creation order, and the
  // first refusal ends the asking.
  virtual bool CanClose();

  // Data transfer with a dialog's transfer record: a window that takes part consumes one field.
  virtual bool TakesTransfer() const { return false; }
  virtual void Transfer(const TTransferField& field, TTransferDirection direction);

  // Dispatches through the response tables, most derived first; unhandled messages go to
  // DefaultProcessing.
  LRESULT ReceiveMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Whether a response-table entry of this window takes the message.
  bool Handles(UINT msg, WPARAM wParam) const { return Responses().Find(msg, wParam) != nullptr; }

protected:
  // This class's response table; TWindow's is empty.
  virtual const TResponseTable& Responses() const;
  // What happens to a message no table entry takes: nothing, and the result is 0.
  virtual LRESULT DefaultProcessing(UINT msg, WPARAM wParam, LPARAM lParam);
  // The set-up step, once the widget and the children's widgets exist.
  virtual void PrepareWindow() {}

  // Makes this window's own widget; null on failure.
  virtual QWidget* MakeWidget(QWidget* parentWidget);
  // A widget that this window already holds for child id (a dialog's template control).
  virtual QWidget* TemplateWidget(int /*id*/) const { return nullptr; }
  // Whether a template control of the parent, found by this window's id, is of the kind this
  // window drives. Create refuses one that is not, rather than leave a dead control.
  virtual bool Binds(const QWidget& /*widget*/) const { return true; }
  // Runs once the widget is there, to hand it what was set before.
  virtual void WidgetBound() {}
  // Shows Title on the widget.
  virtual void ApplyCaption();

  // Turns the control's Qt signals into WM_COMMAND notifications to this window.
  void ForwardNotifications(QWidget* control, int id);
  // Lives exactly as long as this object: the context of every signal connection, so that no
  // signal reaches a destroyed window.
  QObject* Receiver() const { return LifeGuard.get(); }
  // Deletes the widget after the current event, for a window that ends itself from inside one
  // of its own signals.
  void DestroyLater();

private:
  friend class TApplication;

  TWindow* ParentWindow;
  TApplication* Application = nullptr;   // set on the main window only
  std::vector<TWindow*> Children;
  std::string Title;
  QPointer<QWidget> Widget;
  // Ends the timers and the watches: the widget is going.
  void StopEvents();

  std::map<UINT, QPointer<QTimer>> Timers;
  std::map<UINT, QPointer<QSocketNotifier>> Watches;
  std::unique_ptr<QObject> LifeGuard;
};
