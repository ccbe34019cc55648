#pragma once
// The plot as its owner (the terminal window) sees it: the Plot command opens its window, or
// raises the one open, and received bytes are handed on while it is open. Closing the window ends
// the plotting and lets its points go.
#include <cstddef>
#include <cstdint>
#include <memory>

class TPlotDlg;
class TWindow;

class TPlot {
public:
  explicit TPlot(TWindow& owner);
  ~TPlot();
  void Open();
  void Received(const std::uint8_t* bytes, std::size_t n);
  // The window while it is open, else null.
  TPlotDlg* Window() const;

private:
  TWindow& Owner;
  std::unique_ptr<TPlotDlg> Dialog;
  bool AtLineStart = true;   // the last byte received ended a line
};
