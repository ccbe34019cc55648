#pragma once
// A push button; a click reaches the parent as WM_COMMAND with the button's id and BN_CLICKED.
#include "framework/TControl.h"

class QPainter;

class TButton : public TControl {
public:
  TButton(TWindow* parent, int resourceId);
  TButton(TWindow* parent, int id, const char* text, int x, int y, int w, int h, bool isDefault = false);

  bool IsOwnerDraw() const { return OwnerDraw; }
  // An owner-drawn button paints its whole face here, on every paint; dc paints on the
  // button's client area, whose top-left is (0, 0). Draws nothing by default.
  virtual void DrawEntireItem(QPainter& dc);

protected:
  // For a button that makes its own widget: give it the owner-drawn face.
  void SetOwnerDraw() { OwnerDraw = true; }
  // A push button, owner-drawn or not.
  bool Binds(const QWidget& widget) const override;
  QWidget* MakeWidget(QWidget* parentWidget) override;
  void WidgetBound() override;
  void ApplyCaption() override;

private:
  bool IsDefault = false;
  bool OwnerDraw = false;
};
