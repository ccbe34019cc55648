#include "framework/TEdit.h"

#include "framework/Latin1.h"
#include "framework/StandardIds.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScopedValueRollback>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QValidator>
#include <algorithm>
#include <cstring>
#include <utility>

namespace {
// What an edit put into a text: the part of after that ends at the caret the edit left and
// starts where after first differs from before.
QString Inserted(const QString& before, const QString& after, qsizetype caret)
{
  caret = std::clamp<qsizetype>(caret, 0, after.size());
  qsizetype start = 0;
  while (start < caret && start < before.size() && before[start] == after[start])
    ++start;
  return after.mid(start, caret - start);
}

// The text a key press types into a line edit, by the rule Qt's line edit applies; empty for
// keys that move, delete or run a shortcut.
QString TypedText(const QKeyEvent& key)
{
  if (key.modifiers() == Qt::ControlModifier || key.modifiers() == (Qt::ShiftModifier | Qt::ControlModifier))
    return {};
  const QString text = key.text();
  if (text.isEmpty())
    return {};
  const QChar c = text.front();
  const bool types = c.isPrint() || c.category() == QChar::Other_Format || c.category() == QChar::Other_PrivateUse ||
                     (c.isHighSurrogate() && text.size() > 1);
  return types ? text : QString();
}

// The field whose call-back after losing the focus is pending; one at a time.
QPointer<QObject> PendingReclaim;
// Qt keeps a line break as one character; the program counts and reads it as CR LF.
QString ToEditorText(std::string_view text)
{
  QString result = ToQString(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

std::string FromEditorText(QString text)
{
  text.replace(QChar::ParagraphSeparator, u'\n');
  text.replace(QChar::LineSeparator, u'\n');
  text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return ToBytes(text);
}

QTextCharFormat ToCharFormat(const TCharFormat& format)
{
  QTextCharFormat result;
  if (format.Fore != TCharFormat::FieldColour)
    result.setForeground(QColor(QRgb(format.Fore)));
  if (format.Back != TCharFormat::FieldColour)
    result.setBackground(QColor(QRgb(format.Back)));
  if (format.Bold)
    result.setFontWeight(QFont::Bold);
  if (format.Italic)
    result.setFontItalic(true);
  if (format.Underline)
    result.setFontUnderline(true);
  return result;
}

// Cuts text to at most room characters (room < 0: no limit), never between the CR and LF of
// a line break.
std::string_view CutTo(std::string_view text, long room)
{
  if (room < 0 || long(text.size()) <= room)
    return text;
  std::size_t length = std::size_t(room);
  if (length > 0 && text[length - 1] == '\r' && text[length] == '\n')
    --length;
  return text.substr(0, length);
}
}

// Lets the program's validator judge what the user's edits of a single-line field insert, other
// than keystrokes (which TFieldFilter judges first): pastes and drops, for a validator that
// filters them.
class TValidatorBridge final : public QValidator {
public:
  TValidatorBridge(const TEdit& edit, QLineEdit* line) : QValidator(line), Edit(edit), Line(line), Before(line->text())
  {
    connect(line, &QLineEdit::textChanged, this, [this](const QString& text) { Before = text; });
  }
  State validate(QString& input, int& caret) const override
  {
    // Qt lets every edit through after a verdict of Invalid that it did not undo, so no text
    // that stays may get one: neither what the program puts in, nor what an undo (the only
    // edit that leaves a redo behind) brings back of what the field held.
    const TValidator* validator = Edit.GetValidator();
    if (!validator || !validator->FiltersPaste() || Edit.ProgramEdit || Line->isRedoAvailable())
      return Acceptable;
    return Edit.Admits(Inserted(Before, input, caret)) ? Acceptable : Invalid;
  }

private:
  const TEdit& Edit;
  QLineEdit* Line;
  QString Before;   // the field's text before the edit being judged
};

// Refuses keystrokes whose character the validator does not admit, and keeps the focus in a
// field whose text its validator rejects: Tab and Shift+Tab report at once and go nowhere; any
// other way out is undone after the fact.
class TFieldFilter final : public QObject {
public:
  explicit TFieldFilter(TEdit& edit) : Edit(edit) {}

protected:
  bool eventFilter(QObject*, QEvent* event) override
  {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (const QString typed = TypedText(*key);
          !typed.isEmpty() && Edit.Line() && !Edit.IsReadOnly() && !Edit.Admits(typed))
        return true;
      const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
      if (tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && Edit.IsInvalid()) {
        Edit.ReportInvalid();
        return true;
      }
    } else if (event->type() == QEvent::FocusOut) {
      // Only the user leaves: by a click or a mnemonic. The program moving the focus, or
      // another window taking over (a message box, a dropped list), is no leaving.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason)
        Edit.FocusLeft();
    }
    return false;
  }

private:
  TEdit& Edit;
};

bool TEdit::Binds(const QWidget& widget) const
{
  return qobject_cast<const QLineEdit*>(&widget) || qobject_cast<const QPlainTextEdit*>(&widget);
}

const TResponseTable& TEdit::Responses() const
{
  static constexpr TResponseEntry entries[] = {
    OnCommand<&TEdit::CmUndo>(CM_UNDO),
    OnCommand<&TEdit::CmCut>(CM_CUT),
    OnCommand<&TEdit::CmCopy>(CM_COPY),
    OnCommand<&TEdit::CmPaste>(CM_PASTE),
    OnCommand<&TEdit::CmClearField>(CM_CLEARFIELD),
  };
  static const TResponseTable table {&TControl::Responses(), entries};
  return table;
}

TEdit::TEdit(TWindow* parent, int resourceId, UINT textLimit) : TControl(parent, resourceId), TextLimit(textLimit)
{
  EnableTransfer();
}

TEdit::~TEdit()
{
  // The Qt validator refers to ours; it must go first.
  DropBridge();
}

void TEdit::DropBridge()
{
  if (QLineEdit* line = Line()) {
    const QValidator* bridge = line->validator();
    line->setValidator(nullptr);
    delete bridge;
  }
}

QLineEdit* TEdit::Line() const
{
  return qobject_cast<QLineEdit*>(GetWidget());
}

QPlainTextEdit* TEdit::Multi() const
{
  return qobject_cast<QPlainTextEdit*>(GetWidget());
}

void TEdit::WidgetBound()
{
  SetTextLimit(TextLimit);
  ApplyValidator();
  if (!FieldFilter)
    FieldFilter = std::make_unique<TFieldFilter>(*this);
  GetWidget()->installEventFilter(FieldFilter.get());
}

std::string TEdit::GetText() const
{
  if (QLineEdit* line = Line())
    return ToBytes(line->text());
  if (QPlainTextEdit* multi = Multi())
    return FromEditorText(multi->document()->toRawText());   // the plain text turns U+00A0 into a space
  return {};
}

int TEdit::GetTextLen() const
{
  // Counted on the document, not on a copy of its text: the receive field asks on every chunk.
  if (QPlainTextEdit* multi = Multi()) {
    const QTextDocument* doc = multi->document();
    return doc->characterCount() - 1 + doc->blockCount() - 1;
  }
  return int(GetText().size());
}

void TEdit::MakeRoomFor(long incoming)
{
  QPlainTextEdit* multi = Multi();
  if (!multi || Capacity() < 0)
    return;
  const QTextCursor keep = multi->textCursor();
  long needed = long(GetTextLen()) - long(FromEditorText(keep.selectedText()).size()) + incoming - Capacity();
  if (needed <= 0)
    return;
  QTextDocument* doc = multi->document();
  const int end = doc->characterCount() - 1;
  const int lastLine = doc->blockCount() - 1;
  // Lines before the caret's first line may go from the start, lines after its last from the
  // end; what dropping them frees, a line break counting two.
  const int before = doc->findBlock(keep.selectionStart()).blockNumber();
  const int after = doc->findBlock(keep.selectionEnd()).blockNumber() + 1;
  const auto leading = [doc](int n) { return long(doc->findBlockByNumber(n).position()) + n; };
  const auto trailing = [&](int from) {
    return from > lastLine ? 0L : long(end - doc->findBlockByNumber(from).position()) + (lastLine - from);
  };
  int lead = 0;                   // the first lead lines go
  int trailFrom = lastLine + 1;   // the lines from trailFrom on go
  const auto takeLeading = [&] {
    while (lead < before && leading(lead) < needed)
      ++lead;
    needed -= leading(lead);
  };
  const auto takeTrailing = [&] {
    while (trailFrom > after && trailing(trailFrom) < needed)
      --trailFrom;
    needed -= trailing(trailFrom);
  };
  if (keep.selectionStart() >= end - keep.selectionEnd()) {
    takeLeading();
    if (needed > 0)
      takeTrailing();
  } else {
    takeTrailing();
    if (needed > 0)
      takeLeading();
  }
  QTextCursor cut(doc);
  if (trailFrom <= lastLine) {
    cut.setPosition(doc->findBlockByNumber(trailFrom).position());
    cut.setPosition(end, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
  }
  if (lead > 0) {
    cut.setPosition(0);
    cut.setPosition(doc->findBlockByNumber(lead).position(), QTextCursor::KeepAnchor);
    cut.removeSelectedText();
  }
  // The user's caret and selection followed their characters: setting them again would only
  // lay out their line once more.
}

std::size_t TEdit::LastLinesStart(std::string_view text, long room, long carried)
{
  if (carried + long(text.size()) <= room)
    return 0;
  // A line that starts before size - room leaves more than room behind it.
  const std::size_t from = long(text.size()) > room + 2 ? text.size() - std::size_t(room) - 2 : 0;
  const std::size_t lineEnd = text.find("\r\n", from);
  return lineEnd == std::string_view::npos ? lineEnd : lineEnd + 2;
}

bool TEdit::IsCaretAtEnd() const
{
  const QPlainTextEdit* multi = Multi();
  if (!multi)
    return false;
  const QTextCursor cursor = multi->textCursor();
  return !cursor.hasSelection() && cursor.atEnd();
}

void TEdit::InsertMakingRoom(std::string_view text, std::span<const TFormatRun> runs)
{
  QPlainTextEdit* multi = Multi();
  if (!multi) {
    Insert(text);
    return;
  }
  // Trimming and inserting as one edit: the layout and the scroll bars take in one change,
  // and a field that stays as long as it was repaints no scroll bar.
  QTextCursor edit(multi->document());
  edit.beginEditBlock();
  std::size_t dropped = 0;
  if (Capacity() >= 0 && IsCaretAtEnd()) {
    // Text going on from the field's last line that cannot stay whole with it drops the whole
    // field, and of its own lines those that come before the ones that fit: neither is laid out.
    const long carried = multi->document()->lastBlock().length() - 1;
    const std::size_t from = LastLinesStart(text, Capacity(), carried);
    if (from != 0 && from != std::string_view::npos) {
      QTextCursor all(multi->document());
      all.select(QTextCursor::Document);
      all.removeSelectedText();
      text.remove_prefix(from);
      dropped = from;
    }
  }
  MakeRoomFor(long(text.size()));
  {
    const QScopedValueRollback programEdit(ProgramEdit, true);
    PutAtCaret(*multi, text, runs, dropped);
  }
  edit.endEditBlock();
  multi->ensureCursorVisible();
}

void TEdit::SetText(std::string_view text)
{
  const QScopedValueRollback programEdit(ProgramEdit, true);
  if (QLineEdit* line = Line())
    line->setText(ToQString(CutTo(text, Capacity())));
  else if (QPlainTextEdit* multi = Multi()) {
    // Setting the text keeps the format at the caret; a cleared document has none left.
    if (std::exchange(Formatted, false))
      multi->document()->clear();
    multi->setPlainText(ToEditorText(CutTo(text, Capacity())));
  }
}

std::uint32_t TEdit::TextColour() const
{
  return GetWidget() ? GetWidget()->palette().color(QPalette::Text).rgb() & 0xFFFFFFu : 0x000000u;
}

std::uint32_t TEdit::BackgroundColour() const
{
  return GetWidget() ? GetWidget()->palette().color(QPalette::Base).rgb() & 0xFFFFFFu : 0xFFFFFFu;
}

void TEdit::Insert(std::string_view text)
{
  const QScopedValueRollback programEdit(ProgramEdit, true);
  if (QLineEdit* line = Line()) {
    line->insert(ToQString(text));
    return;
  }
  if (QPlainTextEdit* multi = Multi()) {
    PutAtCaret(*multi, text);
    multi->ensureCursorVisible();
  }
}

void TEdit::PutAtCaret(QPlainTextEdit& multi, std::string_view text, std::span<const TFormatRun> runs, std::size_t base)
{
  // Through a copy of the caret: the field's own caret moves along behind the new text, and
  // setting it again would only lay out its line once more.
  QTextCursor cursor = multi.textCursor();
  if (Capacity() >= 0) {
    const long kept = long(GetTextLen()) - long(FromEditorText(cursor.selectedText()).size());
    text = CutTo(text, std::max(Capacity() - kept, 0L));
  }
  if (runs.empty() && !Formatted) {
    cursor.insertText(ToEditorText(text));
    return;
  }
  // Run by run, the text between in the field's own format rather than in that of the
  // character before it. Runs count from base characters before text.
  std::size_t done = 0;
  const auto put = [&](std::size_t to, const QTextCharFormat& format) {
    if (to > done)
      cursor.insertText(ToEditorText(text.substr(done, to - done)), format);
    done = std::max(done, to);
  };
  for (const TFormatRun& run : runs) {
    const auto at = [&](std::size_t i) { return std::clamp(i, base, base + text.size()) - base; };
    put(at(run.Begin), QTextCharFormat());
    put(at(run.Begin + run.Length), ToCharFormat(run.Format));
  }
  put(text.size(), QTextCharFormat());
  Formatted = true;
}

void TEdit::SetReadOnly(bool readOnly)
{
  if (QLineEdit* line = Line()) {
    line->setReadOnly(readOnly);
  } else if (QPlainTextEdit* multi = Multi()) {
    multi->setReadOnly(readOnly);
    // A read-only field still has a caret that the user can move and select with.
    if (readOnly)
      multi->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  }
}

bool TEdit::IsReadOnly() const
{
  if (QLineEdit* line = Line())
    return line->isReadOnly();
  if (QPlainTextEdit* multi = Multi())
    return multi->isReadOnly();
  return false;
}

void TEdit::SetTextLimit(UINT textLimit)
{
  TextLimit = textLimit;
  if (QLineEdit* line = Line())
    line->setMaxLength(Capacity() < 0 ? 32767 : int(std::min<long>(Capacity(), 0x7FFFFFFF)));
}

void TEdit::SetValidator(TValidator* validator)
{
  DropBridge();
  Validator.reset(validator);
  ApplyValidator();
}

void TEdit::ApplyValidator()
{
  DropBridge();
  if (QLineEdit* line = Line(); line && Validator)
    line->setValidator(new TValidatorBridge(*this, line));
}

bool TEdit::Admits(const QString& inserted) const
{
  if (!Validator || inserted.isEmpty())
    return true;
  // A character without a one-byte form is outside every set; it must not reach the
  // validator as the '?' that stands for it.
  for (const QChar c : inserted)
    if (c.unicode() > 0xFF)
      return false;
  return Validator->IsValidInput(ToBytes(inserted));
}

bool TEdit::IsInvalid() const
{
  return Validator && IsCreated() && IsWindowEnabled() && !Validator->IsValid(GetText());
}

void TEdit::ReportInvalid()
{
  Reporting = true;
  Validator->Error(*this);
  Reporting = false;
}

void TEdit::FocusLeft()
{
  if (Reporting || PendingReclaim || !IsInvalid())
    return;
  // OK runs its own check, and Cancel needs none.
  const QWidget* to = QApplication::focusWidget();
  if (to && to->window() == GetWidget()->window()) {
    const int id = to->property("controlId").toInt();
    if (id == IDOK || id == IDCANCEL)
      return;
  }
  PendingReclaim = Receiver();
  QMetaObject::invokeMethod(
    Receiver(),
    [this] {
      PendingReclaim = nullptr;
      // Back in the field already: whoever put it there has told the user.
      if (!IsInvalid() || GetWidget()->hasFocus())
        return;
      SetFocus();
      ReportInvalid();
    },
    Qt::QueuedConnection);
}

bool TEdit::CanClose()
{
  if (IsInvalid()) {
    ReportInvalid();
    SetFocus();
    return false;
  }
  return TControl::CanClose();
}

void TEdit::Transfer(const TTransferField& field, TTransferDirection direction)
{
  const std::span<char>* buffer = std::get_if<std::span<char>>(&field);
  if (!buffer || buffer->empty())
    return;
  if (direction == TTransferDirection::SetData) {
    const std::size_t length = std::find(buffer->begin(), buffer->end(), '\0') - buffer->begin();
    SetText(std::string_view(buffer->data(), length));
  } else {
    const std::string text = GetText();
    const std::size_t length = std::min(text.size(), buffer->size() - 1);
    std::memcpy(buffer->data(), text.data(), length);
    std::fill(buffer->begin() + long(length), buffer->end(), '\0');
  }
}

void TEdit::CmUndo()
{
  if (IsReadOnly())
    return;
  if (QLineEdit* line = Line())
    line->undo();
  else if (QPlainTextEdit* multi = Multi())
    multi->undo();
}

void TEdit::CmCut()
{
  if (IsReadOnly())
    return;
  if (QLineEdit* line = Line())
    line->cut();
  else if (QPlainTextEdit* multi = Multi())
    multi->cut();
}

void TEdit::CmCopy()
{
  if (QLineEdit* line = Line())
    line->copy();
  else if (QPlainTextEdit* multi = Multi())
    multi->copy();
}

void TEdit::CmPaste()
{
  if (IsReadOnly())
    return;
  if (QLineEdit* line = Line())
    line->paste();
  else if (QPlainTextEdit* multi = Multi())
    multi->paste();
}

void TEdit::CmClearField()
{
  if (IsReadOnly())
    return;
  if (QLineEdit* line = Line()) {
    line->selectAll();
    line->del();
  } else if (QPlainTextEdit* multi = Multi()) {
    multi->selectAll();
    multi->textCursor().removeSelectedText();
  }
}
