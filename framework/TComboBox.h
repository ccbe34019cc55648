#pragma once
// A drop-down list of a dialog template, with or without an edit line to type any text into,
// or a simple combo box (an edit line over a list that is always shown). Its transfer field is
// a TComboBoxData: the entries and the selection go in, and come back out as the user left
// them. A choice of the user in a drop-down list reaches the parent as WM_COMMAND with
// CBN_SELCHANGE.
#include "framework/TControl.h"

#include <string>

class QComboBox;

class TComboBox : public TControl {
public:
  // textLimit bounds the text of an editable box; a drop-down list has none to bound.
  TComboBox(TWindow* parent, int resourceId, UINT textLimit = 0);

  UINT GetTextLimit() const { return TextLimit; }
  // Position of the selected entry, -1 when none is selected.
  int GetSelIndex() const;
  // Selects the entry at index; any other index leaves none selected. No notification.
  void SetSelIndex(int index);
  // The text of the edit line, or of the selected entry of a list without one (empty: none).
  std::string GetText() const;
  // Puts text into the edit line; a list without one is left alone.
  void SetText(const std::string& text);

  // Field: a TComboBoxData. Set rebuilds the list from the entries, in order, and selects the
  // one at the data's index; Get stores the entries and the selected position and text (-1
  // and empty when none). A simple combo box shows the selection text in its edit line and,
  // when the index is 0 or more, selects the first entry that begins with it (case ignored);
  // Get takes the chosen entry's text, else the edit line's, and the index of the first entry
  // equal to it. A drop-down list with an edit line does the same with its edit line. Any other
  // field is left alone.
  void Transfer(const TTransferField& field, TTransferDirection direction) override;

protected:
  // A drop-down list or a simple combo box.
  bool Binds(const QWidget& widget) const override;
  // An edit line takes at most the text limit less its terminating zero.
  void WidgetBound() override;

private:
  QComboBox* List() const;
  void TransferSimple(TComboBoxData& data, TTransferDirection direction);

  UINT TextLimit;
};
