#pragma once
// A progress bar of a dialog template: how much of a piece of work is done, or, while the
// whole is unknown, a bar that only shows that work goes on.
#include "framework/TControl.h"

class TProgressBar : public TControl {
public:
  static constexpr int Full = 1000;

  TProgressBar(TWindow* parent, int resourceId) : TControl(parent, resourceId) {}

  // Shows done of Full; a negative value: the whole is unknown.
  void SetValue(int done);

protected:
  bool Binds(const QWidget& widget) const override;
};
