#include "display/TFindDlg.h"

#include "framework/Latin1.h"
#include "framework/ResourceLoader.h"
#include "resources/ResourceIds.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cstdio>

namespace {
const QColor MatchGround(0xFF, 0xE8, 0x80);     // every match in view
const QColor CurrentGround(0xFF, 0x96, 0x32);   // the one shown
// Scrolls field so that the characters from to to are in view; the caret stays where it is.
void Reveal(QPlainTextEdit& field, int from, int to)
{
  // Lines do not wrap: the vertical scroll bar counts lines, the first in view at its value.
  const QTextBlock block = field.document()->findBlock(from);
  QScrollBar* lines = field.verticalScrollBar();
  const int shown = std::max(1, field.viewport()->height() / std::max(1, field.fontMetrics().lineSpacing()));
  if (block.blockNumber() < lines->value() || block.blockNumber() >= lines->value() + shown - 1)
    lines->setValue(block.blockNumber() - shown / 2);
  // Sideways, once the line is laid out.
  field.document()->documentLayout()->blockBoundingRect(block);
  const QTextLine line = block.layout()->lineForTextPosition(from - block.position());
  if (!line.isValid())
    return;
  const int left = int(line.cursorToX(from - block.position()));
  const int right = int(line.cursorToX(std::min(to - block.position(), block.length() - 1)));
  QScrollBar* columns = field.horizontalScrollBar();
  const int width = field.viewport()->width();
  if (left < columns->value() || right > columns->value() + width)
    columns->setValue(left - width / 3);
}
}   // namespace

// F3 and Shift+F3, which no control of the window takes, reach the window: the next match and
// the one before.
class TFindDlg::TStepKeys final : public QObject {
public:
  explicit TStepKeys(TFindDlg& find) : Find(find) {}

protected:
  bool eventFilter(QObject*, QEvent* event) override
  {
    const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
    if (!key || key->key() != Qt::Key_F3 || (key->modifiers() & ~Qt::ShiftModifier))
      return false;
    Find.Step(!(key->modifiers() & Qt::ShiftModifier));
    return true;
  }

private:
  TFindDlg& Find;
};

TFindDlg::TFindDlg(TWindow* owner, TEdit& field, const bool& textMode)
  : TDialog(nullptr, IDD_FIND),
    Owner(owner),
    Target(field),
    TextMode(textMode),
    Text(this, IDC_FIND_TEXT),
    Next(this, IDC_FIND_NEXT),
    Previous(this, IDC_FIND_PREVIOUS),
    MatchCase(this, IDC_FIND_CASE),
    Count(this, IDC_FIND_COUNT)
{}

TFindDlg::~TFindDlg() = default;

const TResponseTable& TFindDlg::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TFindDlg::CmCancel>(IDCANCEL),
    OnCommand<&TFindDlg::CmNext>(IDC_FIND_NEXT),
    OnCommand<&TFindDlg::CmPrevious>(IDC_FIND_PREVIOUS),
    OnCommand<&TFindDlg::Search>(IDC_FIND_CASE),
    OnNotify<&TFindDlg::Search>(IDC_FIND_TEXT, EN_CHANGE),
  };
  static const TResponseTable table {&TDialog::Responses(), entries};
  return table;
}

QPlainTextEdit* TFindDlg::Field() const
{
  return qobject_cast<QPlainTextEdit*>(Target.GetWidget());
}

void TFindDlg::PrepareWindow()
{
  TDialog::PrepareWindow();
  if (!StepKeys)
    StepKeys = std::make_unique<TStepKeys>(*this);
  GetWidget()->installEventFilter(StepKeys.get());
  QPlainTextEdit* field = Field();
  if (!field)
    return;
  // The matches follow the text; the highlights follow the lines in view.
  QObject::connect(field->document(), &QTextDocument::contentsChange, Receiver(), [this] {
    if (IsCreated() && GetWidget()->isVisible())
      Find(false);
  });
  QScrollBar* lines = field->verticalScrollBar();
  QObject::connect(lines, &QScrollBar::valueChanged, Receiver(), [this] { Highlight(); });
  QObject::connect(lines, &QScrollBar::rangeChanged, Receiver(), [this] { Highlight(); });
  // Beside the field's top right corner, where it hides the least of the newest lines.
  const QPoint corner = field->mapToGlobal(QPoint(field->width(), 0));
  GetWidget()->move(corner.x() - GetWidget()->width() - 24, corner.y() + 8);
}

void TFindDlg::Open()
{
  if (!IsCreated()) {
    SetParent(Owner);
    if (!Create())
      return;
  }
  if (QWidget* focused = QApplication::focusWidget(); !focused || focused->window() != GetWidget())
    FocusBefore = focused;
  Show(SW_SHOW);
  GetWidget()->raise();
  GetWidget()->activateWindow();
  Text.SetFocus();
  if (auto* line = qobject_cast<QLineEdit*>(Text.GetWidget()))
    line->selectAll();
  Find(false);
}

void TFindDlg::Step(bool forward)
{
  if (!IsCreated() || Text.GetText().empty())
    return;
  if (!GetWidget()->isVisible())
    Open();
  if (Matches.empty())
    return;
  const int n = int(Matches.size());
  Current = (Current + (forward ? 1 : n - 1)) % n;
  ShowCurrent(true);
}

void TFindDlg::CmCancel()
{
  Show(SW_HIDE);
  if (QPlainTextEdit* field = Field())
    field->setExtraSelections({});
  if (QWidget* back = FocusBefore ? FocusBefore.data() : Target.GetWidget()) {
    back->window()->activateWindow();
    back->setFocus(Qt::OtherFocusReason);
  }
}

void TFindDlg::Find(bool search)
{
  QPlainTextEdit* field = Field();
  const std::string wanted = Text.GetText();
  Matches.clear();
  if (!field || wanted.empty()) {
    Current = -1;
    ShowCurrent(false);
    return;
  }
  QString text = field->document()->toRawText();
  // In binary mode the line breaks (each a paragraph separator here) are taken out, and their
  // places kept: a match may run across them.
  std::vector<qsizetype> breaks;
  if (!TextMode) {
    qsizetype kept = 0;
    for (const QChar c : std::as_const(text))
      if (c == QChar::ParagraphSeparator)
        breaks.push_back(kept);
      else
        text[kept++] = c;
    text.truncate(kept);
  }
  // A break at p lies before the p-th character of what is left.
  const auto begin = [&](qsizetype at) {
    return int(at + (std::upper_bound(breaks.begin(), breaks.end(), at) - breaks.begin()));
  };
  const auto end = [&](qsizetype at) {
    return int(at + (std::lower_bound(breaks.begin(), breaks.end(), at) - breaks.begin()));
  };
  const QString what = ToQString(wanted);
  const Qt::CaseSensitivity sensitivity = MatchCase.GetCheck() ? Qt::CaseSensitive : Qt::CaseInsensitive;
  for (qsizetype at = text.indexOf(what, 0, sensitivity); at >= 0;
       at = text.indexOf(what, at + what.size(), sensitivity))
    Matches.emplace_back(begin(at), end(at + what.size()));
  // From the match shown (or, at first, from the top of the view) on.
  const int from = !Shown.isNull() ? Shown.selectionStart() : field->cursorForPosition(QPoint(0, 0)).block().position();
  const auto next = std::lower_bound(Matches.begin(), Matches.end(), std::pair(from, 0));
  Current = Matches.empty() ? -1 : next == Matches.end() ? 0 : int(next - Matches.begin());
  ShowCurrent(search);
}

void TFindDlg::ShowCurrent(bool reveal)
{
  QPlainTextEdit* field = Field();
  char text[64] = {};
  if (Current < 0 || !field) {
    Shown = QTextCursor();
    if (field && !Text.GetText().empty())
      LoadString(IDS_FIND_NONE, text, sizeof text);
  } else {
    const auto [from, to] = Matches[std::size_t(Current)];
    Shown = QTextCursor(field->document());
    Shown.setPosition(from);
    Shown.setPosition(to, QTextCursor::KeepAnchor);
    char format[64] = {};
    LoadString(IDS_FIND_COUNT, format, sizeof format);
    std::snprintf(text, sizeof text, format, Current + 1, int(Matches.size()));
    if (reveal)
      Reveal(*field, from, to);
  }
  Count.SetText(text);
  Highlight();
}

void TFindDlg::Highlight()
{
  QPlainTextEdit* field = Field();
  if (!field)
    return;
  QList<QTextEdit::ExtraSelection> marks;
  if (IsCreated() && GetWidget()->isVisible() && !Matches.empty()) {
    // Only the lines in view: a search for a comma in binary mode matches tens of thousands.
    const int top = field->cursorForPosition(QPoint(0, 0)).block().position();
    const QTextBlock last = field->cursorForPosition(QPoint(0, field->viewport()->height())).block();
    const int bottom = last.position() + last.length();
    auto match = std::lower_bound(Matches.begin(), Matches.end(), top,
                                  [](const std::pair<int, int>& m, int at) { return m.second <= at; });
    for (; match != Matches.end() && match->first < bottom; ++match) {
      QTextEdit::ExtraSelection mark {QTextCursor(field->document()), {}};
      mark.cursor.setPosition(match->first);
      mark.cursor.setPosition(match->second, QTextCursor::KeepAnchor);
      mark.format.setBackground(match - Matches.begin() == Current ? CurrentGround : MatchGround);
      marks.append(mark);
    }
  }
  field->setExtraSelections(marks);
}
