#include "framework/TDialog.h"

#include "framework/ResourceLoader.h"

#include "framework/Latin1.h"
#include "framework/TButtonWidget.h"
#include "framework/TProgressBar.h"
#include "framework/TSimpleComboWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QResizeEvent>
#include <cstdlib>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

namespace {
// The dialog's window: keys and the window's close become the dialog's commands.
class TDialogWidget final : public QDialog {
public:
  TDialogWidget(TWindow& owner, QObject* guard, QWidget* parent, std::function<void(QSize)> resized)
    : QDialog(parent), Owner(owner), OwnerAlive(guard), Resized(std::move(resized))
  {}

  void reject() override { Command(IDCANCEL); }

protected:
  void resizeEvent(QResizeEvent* event) override
  {
    QDialog::resizeEvent(event);
    if (OwnerAlive)
      Resized(event->size());
  }
  void keyPressEvent(QKeyEvent* event) override
  {
    const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
      // Enter presses the push button that has the focus, as Space does; elsewhere it is the
      // dialog's default command.
      if (TButtonWidget* button = FocusedPushButton())
        button->click();
      else
        Command(DefaultCommand());
    } else if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape) {
      Command(IDCANCEL);
    } else {
      QWidget::keyPressEvent(event);
    }
  }

private:
  void Command(int id)
  {
    if (OwnerAlive)
      ::SendMessage(&Owner, WM_COMMAND, MakeWParam(unsigned(id), BN_CLICKED), 0);
  }
  TButtonWidget* FocusedPushButton() const
  {
    auto* button = dynamic_cast<TButtonWidget*>(QApplication::focusWidget());
    return button && isAncestorOf(button) && !button->IsOwnerDraw() ? button : nullptr;
  }
  // The default push button's id, else IDOK.
  int DefaultCommand() const
  {
    for (QPushButton* button : findChildren<QPushButton*>())
      if (button->isDefault())
        return button->property("controlId").toInt();
    return IDOK;
  }

  TWindow& Owner;
  QPointer<QObject> OwnerAlive;
  std::function<void(QSize)> Resized;
};

// A multi-line edit whose copies and drags carry its text alone, never its colours.
class TPlainTextWidget final : public QPlainTextEdit {
public:
  using QPlainTextEdit::QPlainTextEdit;

protected:
  QMimeData* createMimeDataFromSelection() const override
  {
    auto* data = new QMimeData;
    data->setText(textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n'));
    return data;
  }
};

constexpr int MulDiv(int value, int numerator, int denominator)
{
  const long long product = (long long)value * numerator;
  const long long half = denominator / 2;
  return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

QWidget* MakeControl(const TControlTemplate& item, QWidget* parent)
{
  using namespace ControlStyle;
  QWidget* widget = nullptr;
  switch (item.Kind) {
  case TControlKind::Edit:
    if (item.Style & MultiLine) {
      auto* edit = new TPlainTextWidget(ToQString(item.Text), parent);
      edit->setLineWrapMode(QPlainTextEdit::NoWrap);
      edit->setUndoRedoEnabled(false);
      // Its lines can be long and many (a receive field): Latin text needs no shaping, and
      // laying it out without is several times cheaper.
      QFont plain;
      plain.setStyleStrategy(QFont::PreferNoShaping);
      plain.setKerning(false);
      edit->setFont(plain);
      edit->setHorizontalScrollBarPolicy((item.Style & HScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
      edit->setVerticalScrollBarPolicy((item.Style & VScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
      if (item.Style & ReadOnly) {
        edit->setReadOnly(true);
        edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      }
      widget = edit;
    } else {
      auto* edit = new QLineEdit(ToQString(item.Text), parent);
      edit->setReadOnly(item.Style & ReadOnly);
      edit->setFrame(item.Style & (Border | ClientEdge));
      if (item.Style & RightAlign)
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      widget = edit;
    }
    break;
  case TControlKind::PushButton: {
    auto* button = new TButtonWidget(ToQString(item.Text), item.Style & OwnerDraw, parent);
    button->setDefault(item.Style & DefaultButton);
    widget = button;
    break;
  }
  case TControlKind::Static: {
    auto* label = new QLabel(ToQString(item.Text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(((item.Style & CenterText) ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    widget = label;
    break;
  }
  case TControlKind::Icon: {
    auto* label = new QLabel(parent);
    const char* name = item.Text ? item.Text : "";
    const QIcon icon = name[0] == '#' ? LoadIcon(std::atoi(name + 1)) : QIcon();
    label->setPixmap(icon.pixmap(32, 32));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    widget = label;
    break;
  }
  case TControlKind::ComboBox: {
    auto* list = new QComboBox(parent);
    list->setFrame(item.Style & (Border | ClientEdge));
    if (item.Style & EditLine) {
      // What is typed stays as typed: it is neither completed to an entry nor added to the list.
      list->setEditable(true);
      list->setInsertPolicy(QComboBox::NoInsert);
      list->setCompleter(nullptr);
    }
    widget = list;
    break;
  }
  case TControlKind::SimpleCombo:
    widget = new TSimpleComboWidget(parent);
    break;
  case TControlKind::CheckBox:
    widget = new QCheckBox(ToQString(item.Text), parent);
    break;
  case TControlKind::ProgressBar: {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, TProgressBar::Full);
    bar->setTextVisible(false);
    widget = bar;
    break;
  }
  case TControlKind::ListBox: {
    auto* rows = new QListWidget(parent);
    rows->setSelectionMode(QAbstractItemView::SingleSelection);
    rows->setVerticalScrollBarPolicy((item.Style & VScroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    widget = rows;
    break;
  }
  case TControlKind::EtchedFrame: {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    widget = frame;
    break;
  }
  }
  if (item.Kind == TControlKind::Static || item.Kind == TControlKind::EtchedFrame || item.Kind == TControlKind::Icon)
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);   // clicks fall through to what lies below
  else
    widget->setFocusPolicy((item.Style & TabStop) ? Qt::StrongFocus : Qt::ClickFocus);
  widget->setProperty("controlId", item.Id);
  if (!(item.Style & Visible))
    widget->hide();
  return widget;
}
}

const TResponseTable& TDialog::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TDialog::CmOk>(IDOK),
    OnCommand<&TDialog::CmCancel>(IDCANCEL),
  };
  static const TResponseTable table {&TWindow::Responses(), entries};
  return table;
}

TDialog::TDialog(TWindow* parent, int resourceId)
  : TWindow(parent), ResourceId(resourceId), Template(FindDialogTemplate(resourceId))
{
  if (Template)
    SetCaption(Template->Title);
}

TDialog::~TDialog() = default;

QFont TDialog::DialogFont() const
{
  if (!Template)
    return QApplication::font();
  // The template's face is not on Linux machines; its metrics are close to DejaVu Sans.
  static const bool substituted = [] {
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"));
    return true;
  }();
  (void)substituted;
  return QFont(ToQString(Template->FontName), Template->FontPointSize);
}

QRect TDialog::MapDialogRect(const QFont& font, int x, int y, int width, int height)
{
  // Base units: the average width of the Latin letters and the height of the font.
  const QFontMetrics metrics(font);
  const int averageWidth =
    (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
  const int baseX = std::max(averageWidth, 1);
  const int baseY = std::max(metrics.height(), 1);
  return QRect(MulDiv(x, baseX, 4), MulDiv(y, baseY, 8), MulDiv(width, baseX, 4), MulDiv(height, baseY, 8));
}

QWidget* TDialog::MakeWidget(QWidget* parentWidget)
{
  if (!Template)
    return nullptr;
  auto* dialog = new TDialogWidget(*this, Receiver(), parentWidget, [this](QSize size) { LayOut(size); });
  // Without a modal run and under a parent, the dialog is a child window (a client area),
  // unless its template makes it a window of its own.
  if (parentWidget && !Modal && !(Template->Style & DialogStyle::OwnWindow))
    dialog->setWindowFlags(Qt::Widget);
  else if (!(Template->Style & DialogStyle::SysMenu))
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  const QFont font = DialogFont();
  dialog->setFont(font);
  dialog->setWindowTitle(ToQString(GetCaption()));
  LayoutBase = MapDialogRect(font, 0, 0, Template->Width, Template->Height).size();
  dialog->resize(LayoutBase);

  ControlWidgets.clear();
  for (const TControlTemplate& item : Template->Controls) {
    QWidget* control = MakeControl(item, dialog);
    QRect place = MapDialogRect(font, item.X, item.Y, item.Width, item.Height);
    if (auto* list = qobject_cast<QComboBox*>(control)) {
      // A list's template height is its dropped-down height: the closed box is as high as
      // its face needs, and the dropped list shows the entries that fit in the rest.
      const int closed = std::min(list->sizeHint().height(), place.height());
      const int itemHeight = std::max(QFontMetrics(font).height(), 1);
      list->setMaxVisibleItems(std::max(1, (place.height() - closed) / itemHeight));
      place.setHeight(closed);
    }
    control->setGeometry(place);
    // The first control of a template lies on top of the later ones.
    control->lower();
    ForwardNotifications(control, item.Id);
    ControlWidgets.push_back({item.Id, control, place, item.Anchor});
  }
  // A label's mnemonic moves the focus to the next control in template order that takes it.
  QLabel* label = nullptr;
  for (const TControlPlace& control : ControlWidgets) {
    if (auto* text = qobject_cast<QLabel*>(control.Widget); text && text->text().contains(u'&'))
      label = text;
    else if (label && control.Widget->focusPolicy() != Qt::NoFocus)
      std::exchange(label, nullptr)->setBuddy(control.Widget);
  }
  return dialog;
}

void TDialog::SetLayoutBase(QSize size)
{
  LayoutBase = size;
  if (QWidget* dialog = GetWidget())
    LayOut(dialog->size());
}

void TDialog::LayOut(QSize size)
{
  const QSize growth = (size - LayoutBase).expandedTo(QSize(0, 0));
  for (const TControlPlace& control : ControlWidgets) {
    if (!control.Anchor)
      continue;
    QRect place = control.Place;
    if (control.Anchor & ControlAnchor::StretchRight)
      place.setWidth(place.width() + growth.width());
    if (control.Anchor & ControlAnchor::KeepRight)
      place.translate(growth.width(), 0);
    if (control.Anchor & ControlAnchor::StretchBottom)
      place.setHeight(place.height() + growth.height());
    control.Widget->setGeometry(place);
  }
}

QWidget* TDialog::TemplateWidget(int id) const
{
  for (const TControlPlace& control : ControlWidgets)
    if (control.Id == id && id != -1)
      return control.Widget;
  return nullptr;
}

void TDialog::PrepareWindow()
{
  TransferData(TTransferDirection::SetData);
}

void TDialog::TransferData(TTransferDirection direction)
{
  std::size_t next = 0;
  for (TWindow* child : GetChildren()) {
    if (!child->TakesTransfer() || !child->IsCreated())
      continue;
    if (next == TransferFields.size())
      break;
    child->Transfer(TransferFields[next++], direction);
  }
}

int TDialog::Execute()
{
  Modal = true;
  if (!Create()) {
    Destroy();
    Modal = false;
    return -1;
  }
  const int result = static_cast<QDialog*>(GetWidget())->exec();
  Modal = false;
  Destroy();
  return result;
}

void TDialog::CloseWindow(int retValue)
{
  if (!IsCreated())
    return;
  if (Modal)
    static_cast<QDialog*>(GetWidget())->done(retValue);
  else
    DestroyLater();
}

void TDialog::CmOk()
{
  if (!CanClose())
    return;
  TransferData(TTransferDirection::GetData);
  CloseWindow(IDOK);
}

void TDialog::CmCancel()
{
  CloseWindow(IDCANCEL);
}
