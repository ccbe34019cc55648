#pragma once
// A status bar: a message area that takes the free width, and on its right the chosen mode
// indicators, each in a recessed box, drawn enabled while its lock key is on.
#include "framework/TWindow.h"

#include <QPointer>
#include <array>
#include <string>

class QLabel;

class TStatusBar : public TWindow {
public:
  // Indicator bits, shown in this order.
  enum TModeIndicator : unsigned { CapsLock = 1u << 0, NumLock = 1u << 1, ScrollLock = 1u << 2 };

  TStatusBar(TWindow* parent, unsigned modeIndicators);

  void SetText(const char* text);
  const std::string& GetText() const { return Text; }
  // Draws the indicators by the current lock states; all disabled where these are unknown.
  void UpdateIndicators();

protected:
  QWidget* MakeWidget(QWidget* parentWidget) override;

private:
  unsigned ModeIndicators;
  std::string Text;
  QPointer<QLabel> Message;
  std::array<QPointer<QLabel>, 3> Indicators;
};
