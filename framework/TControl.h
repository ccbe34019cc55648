#pragma once
// A control: a child window that is either bound to a control of its parent dialog's template
// or makes its own widget at a given place.
#include "framework/TWindow.h"

class TControl : public TWindow {
public:
  // Bound to the template control with this id when the parent dialog is created.
  TControl(TWindow* parent, int resourceId);
  // A control of its own, at x, y with size w x h in pixels of the parent.
  TControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h);

  bool IsFromResource() const { return FromResource; }
  void EnableTransfer() { TransferEnabled = true; }
  void DisableTransfer() { TransferEnabled = false; }
  bool TakesTransfer() const override { return TransferEnabled; }

protected:
  // A resource control missing from its template has no widget of its own to make.
  QWidget* MakeWidget(QWidget* parentWidget) override;

private:
  bool FromResource;
  bool TransferEnabled = false;
};
