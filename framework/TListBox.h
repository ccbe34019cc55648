#pragma once
// A list box of a dialog template: one column of text rows, at most one of them selected. A
// choice of the user reaches the parent as WM_COMMAND with LBN_SELCHANGE; the program's own
// changes notify nothing.
#include "framework/TControl.h"

#include <string_view>

class QListWidget;

class TListBox : public TControl {
public:
  TListBox(TWindow* parent, int resourceId);

  int GetCount() const;
  // Appends a row; its index.
  int AddString(std::string_view text);
  // Replaces the text of row index, if there is one.
  void SetString(int index, std::string_view text);
  void ClearList();
  // Position of the selected row, -1 when none is selected.
  int GetSelIndex() const;
  // Selects row index and keeps it in view; any other index leaves none selected.
  void SetSelIndex(int index);

protected:
  bool Binds(const QWidget& widget) const override;

private:
  QListWidget* List() const;
};
