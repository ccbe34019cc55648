#pragma once
// An edit control of a dialog template: single-line, or multi-line (its line breaks read as
// CR LF). Its text changes reach the parent as WM_COMMAND with EN_CHANGE. It takes the edit
// commands (undo, cut, copy, paste, clear) routed to it while it has the focus; a read-only
// field only copies.
#include "framework/TControl.h"
#include "framework/TValidator.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class QLineEdit;
class QObject;
class QPlainTextEdit;
class QString;

// How characters put into a multi-line field look: colours as 0xRRGGBB, or the field's own.
struct TCharFormat {
  static constexpr std::uint32_t FieldColour = 0xFFFFFFFFu;
  std::uint32_t Fore = FieldColour;
  std::uint32_t Back = FieldColour;
  bool Bold = false, Italic = false, Underline = false;

  bool operator==(const TCharFormat&) const = default;
};
// Characters Begin to Begin + Length of a text in one format (never between a CR and its LF).
struct TFormatRun {
  std::size_t Begin = 0;
  std::size_t Length = 0;
  TCharFormat Format;
};

class TEdit : public TControl {
public:
  // textLimit is the size of a buffer that holds the text and its terminator: the field holds
  // textLimit - 1 characters. 0: no limit of the program's.
  TEdit(TWindow* parent, int resourceId, UINT textLimit = 0);
  ~TEdit() override;

  std::string GetText() const;
  // Characters of the text, a line break counting as two.
  int GetTextLen() const;
  // Replaces the whole text; what passes the limit is cut off.
  void SetText(std::string_view text);
  void Clear() { SetText({}); }
  // Puts text in place of the selection, at the caret, and keeps the caret in view; it cannot
  // be undone. What would pass the limit is cut off.
  void Insert(std::string_view text);
  // Multi-line with a limit: makes room for incoming characters about to replace the
  // selection at the caret (the selection counts as room). Whole lines go from the end of the
  // field farther from the caret: the first lines while it is nearer the end, as while text is
  // appended; the last lines while it is nearer the start. Lines from the other end follow
  // when that is not enough. The lines that hold the caret and selection stay, and the caret
  // and selection stay on their characters.
  void MakeRoomFor(long incoming);
  // Multi-line: inserts text at the caret after MakeRoomFor, with the outcome of inserting it in
  // pieces, each after MakeRoomFor: text appended at the end that pushes out lines of its own
  // (and so the field's whole text) has only the lines that stay inserted.
  // Characters that no run covers take the field's own format.
  void InsertMakingRoom(std::string_view text, std::span<const TFormatRun> runs = {});
  // The field's own colours: its text and its background, as 0xRRGGBB.
  std::uint32_t TextColour() const;
  std::uint32_t BackgroundColour() const;
  // Whether the caret is behind the last character with nothing selected: text goes in there
  // as an append.
  bool IsCaretAtEnd() const;
  // Where the last lines of text that fit in room characters begin, with carried characters
  // before text on its first line: 0 when all of it fits, else the start of the first line
  // (behind a CR LF) from which the rest fits; npos when not even its last line does.
  static std::size_t LastLinesStart(std::string_view text, long room, long carried = 0);
  void SetReadOnly(bool readOnly);
  bool IsReadOnly() const;
  void SetTextLimit(UINT textLimit);
  UINT GetTextLimit() const { return TextLimit; }

  // Filters what the user types, and what the user pastes when the validator asks for it:
  // input the validator refuses does not go in. Takes ownership; the previous validator is
  // deleted. Null removes the filter.
  void SetValidator(TValidator* validator);
  TValidator* GetValidator() const { return Validator.get(); }
  // Whether inserted, typed or pasted, may go into the field: no validator, or every character
  // has a one-byte form and the validator admits them.
  bool Admits(const QString& inserted) const;

  // Refuses while the field is enabled and the validator rejects the text: the validator
  // tells the user, and the field takes the focus.
  bool CanClose() override;
  // Field: a text buffer. Set copies its text up to the terminator; Get fills the buffer with
  // the text, cut to size - 1 bytes, and zeros after it. Any other field is left alone.
  void Transfer(const TTransferField& field, TTransferDirection direction) override;

protected:
  const TResponseTable& Responses() const override;
  // A single-line or multi-line edit control.
  bool Binds(const QWidget& widget) const override;
  void WidgetBound() override;

  void CmUndo();
  void CmCut();
  void CmCopy();
  void CmPaste();
  // Deletes the whole text, as one edit that can be undone.
  void CmClearField();

private:
  friend class TFieldFilter;
  friend class TValidatorBridge;
  // Whether the field is enabled and its validator rejects its text.
  bool IsInvalid() const;
  // Has the validator tell the user; leaving the field meanwhile starts no other report.
  void ReportInvalid();
  // The user took the focus elsewhere: an invalid field calls it back (after the focus change), unless
  // it went to OK or Cancel, or another field is already calling it back.
  void FocusLeft();
  QLineEdit* Line() const;
  QPlainTextEdit* Multi() const;
  void ApplyValidator();
  // Puts text in place of the selection, cut to the limit, in the formats of runs; the caret
  // stays behind it. The runs count from base characters before text.
  void PutAtCaret(QPlainTextEdit& multi, std::string_view text, std::span<const TFormatRun> runs = {},
                  std::size_t base = 0);
  void DropBridge();
  // Most characters the field may hold; -1 for no limit.
  long Capacity() const { return TextLimit > 0 ? long(TextLimit) - 1 : -1; }

  UINT TextLimit;
  std::unique_ptr<TValidator> Validator;
  std::unique_ptr<QObject> FieldFilter;
  bool Reporting = false;
  bool ProgramEdit = false;   // the program, not the user, is changing the text
  // Text in formats of its own has gone in since the text was last set: what follows it must
  // not take on its format.
  bool Formatted = false;
};
