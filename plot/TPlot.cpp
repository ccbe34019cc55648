#include "plot/TPlot.h"

#include "plot/TPlotDlg.h"

TPlot::TPlot(TWindow& owner) : Owner(owner) {}

TPlot::~TPlot() = default;

TPlotDlg* TPlot::Window() const
{
  return Dialog && Dialog->IsCreated() ? Dialog.get() : nullptr;
}

void TPlot::Open()
{
  if (TPlotDlg* open = Window()) {
    open->GetWidget()->raise();
    open->GetWidget()->activateWindow();
    return;
  }
  Dialog = std::make_unique<TPlotDlg>(&Owner, !AtLineStart);
  if (Dialog->Create())
    Dialog->Show(SW_SHOW);
  else
    Dialog.reset();
}

void TPlot::Received(const std::uint8_t* bytes, std::size_t n)
{
  if (n)
    AtLineStart = bytes[n - 1] == '\n' || bytes[n - 1] == '\r';
  if (TPlotDlg* open = Window())
    open->Received(bytes, n, TPlotDlg::TClock::now());
  else
    Dialog.reset();
}
