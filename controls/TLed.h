#pragma once
// A lamp for one modem line: an owner-drawn push button whose face is the 13 x 13 bitmap of
// its state, centred. It stores the state and repaints; it has no input of its own.
#include "framework/TButton.h"

#include <cstdint>

class TLed : public TButton {
public:
  enum TLedState : int { LedOff = 0, LedGreen = 1, LedRed = 2 };

  // Bound to the owner-drawn button with this id of the parent dialog's template.
  TLed(TWindow* parent, int resourceId);
  // A lamp button of its own, with the push button's arguments.
  TLed(TWindow* parent, int id, const char* title, int x, int y, int w, int h, bool isDefault = false);

  // Stores state and asks for a repaint of the whole lamp, whatever the state was before.
  void SetState(int state);
  int GetState() const { return LampState; }

  // The bitmap of the state, its top-left corner at ((width - 13) / 2, (height - 13) / 2) of
  // the client area, rounded toward zero: a button smaller than the bitmap clips it. A state
  // other than the three shows the unlit lamp.
  void DrawEntireItem(QPainter& dc) override;

protected:
  // Only an owner-drawn button: any other face would not show the lamp.
  bool Binds(const QWidget& widget) const override;

private:
  std::int32_t LampState = LedOff;
};
