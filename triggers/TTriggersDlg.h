#pragma once
// The triggers window: a modeless window beside the main window that lists the rules (on or
// off, the text, how often each fired) with Add, Remove, Up and Down, and shows the selected
// rule's fields below. What the user changes applies at once, to the triggers that the terminal
// window runs, and is stored. A regular expression that does not compile is said so below the
// fields, with the reason.
#include "framework/TButton.h"
#include "framework/TCheckBox.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TListBox.h"
#include "framework/TStatic.h"
#include "triggers/TTriggerRun.h"

#include <memory>
#include <string>

class TTriggersDlg : public TDialog {
public:
  static constexpr UINT RefreshTimer = 1;
  static constexpr UINT RefreshInterval = 250;

  TTriggersDlg(TWindow* parent, TTriggerRun& run);

  // Shows the window of owner's triggers in front, made when it is not there.
  static void Open(std::unique_ptr<TTriggersDlg>& window, TWindow* owner, TTriggerRun& run);
  // A rule's row: on, off, or refused (an expression that does not compile), then its text
  // and how often it fired.
  static std::string Row(const TTriggerMatcher& triggers, std::size_t i);

protected:
  const TResponseTable& Responses() const override;
  void PrepareWindow() override;

  void CmAdd();
  void CmRemove();
  void CmUp() { MoveBy(-1); }
  void CmDown() { MoveBy(1); }
  void MoveBy(int step);
  void LbnSelChange() { ShowRule(); }
  // A field was edited: the selected rule takes the fields as they are.
  void Apply();
  // Enter in a field would end a dialog; here it does nothing.
  void CmIgnore() {}
  // Fire counts, and rules turned off by themselves, as they are now.
  LRESULT TimerTick(WPARAM id, LPARAM);

private:
  // The rows; all of them again when their number changed, else only those that differ.
  void ShowRows();
  // The selected rule's fields, and which commands apply.
  void ShowRule();
  void ShowNote();
  void Store();
  int Selected() const { return List.GetSelIndex(); }

  TTriggerRun& Run;
  TTriggerMatcher& Triggers;
  bool Showing = false;   // the program is filling the fields
  std::string StoreError;

  // The controls, in the order in which they are created.
  TListBox List;
  TButton Add;
  TButton Remove;
  TButton Up;
  TButton Down;
  TCheckBox On;
  TEdit Text;
  TCheckBox Regex;
  TEdit Reply;
  TEdit Delay;
  TCheckBox Once;
  TStatic Note;
};
