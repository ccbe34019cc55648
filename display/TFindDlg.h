#pragma once
// The find window: a small window of its own beside the terminal that finds text in the
// receive field. It takes what to find, Match case, Next and Previous (Enter, F3 and Shift+F3
// too, each wrapping round), and says which match of how many is shown. Every match in view is
// highlighted, the one shown more strongly. The field's caret and selection never move, since
// received text goes in at the caret: a match is shown by scrolling alone. The matches follow
// the field as text arrives and old lines go. Escape or the close box hide the window, and the
// focus goes back where it was.
#include "framework/TButton.h"
#include "framework/TCheckBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TStatic.h"

#include <QPointer>
#include <QTextCursor>
#include <memory>
#include <utility>
#include <vector>

class QPlainTextEdit;

class TFindDlg : public TDialog {
public:
  // Finds in field for owner, which becomes the window's parent once it is first opened. In
  // binary mode (textMode false) a match may run across a line break: there only the display
  // breaks lines.
  TFindDlg(TWindow* owner, TEdit& field, const bool& textMode);
  ~TFindDlg() override;

  // Shows the window, the focus in its text (Ctrl+F).
  void Open();
  // Shows the next match, or the one before, wrapping round; nothing without a search. A
  // hidden window comes back with it.
  void Step(bool forward);

protected:
  const TResponseTable& Responses() const override;
  void PrepareWindow() override;
  // Escape and the close box: hidden, highlights gone, the focus back.
  void CmCancel();
  void CmNext() { Step(true); }
  void CmPrevious() { Step(false); }
  // What to find or Match case has changed: the match shown is the first from where the last
  // one began.
  void Search() { Find(true); }

private:
  class TStepKeys;
  QPlainTextEdit* Field() const;
  // Finds every match; the match shown stays the one it was, else (or, moving on, always) the
  // first that begins at or after it, wrapping round.
  void Find(bool moveOn);
  // Highlights the matches in view.
  void Highlight();
  // Says which match is shown, and with reveal scrolls it into view.
  void ShowCurrent(bool reveal);

  TWindow* Owner;
  TEdit& Target;
  const bool& TextMode;
  TEdit Text;
  TButton Next;
  TButton Previous;
  TCheckBox MatchCase;
  TStatic Count;
  std::vector<std::pair<int, int>> Matches;   // begin and end in the field's document
  int Current = -1;
  QTextCursor Shown;   // the current match, following the field's edits
  QPointer<QWidget> FocusBefore;
  std::unique_ptr<TStepKeys> StepKeys;
};
