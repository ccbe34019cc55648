#pragma once
// A text label of a dialog template whose text the program reads and changes.
#include "framework/TControl.h"

#include <string_view>

class TStatic : public TControl {
public:
  // textLimit is the size of a buffer for the text and its terminator (0: no limit).
  TStatic(TWindow* parent, int resourceId, UINT textLimit = 0);

  // Copies the text into buffer, at most size - 1 bytes and a terminator; the count copied.
  int GetText(char* buffer, int size) const;
  // Shows text, cut to the text limit; line feeds start new lines.
  void SetText(std::string_view text);

protected:
  bool Binds(const QWidget& widget) const override;

private:
  UINT TextLimit;
};
