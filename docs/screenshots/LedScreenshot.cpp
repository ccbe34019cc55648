// Renders the terminal window's dialog with its six lamps in their three states to a PNG file:
// DTR and RTS red, DSR and CTS green, DCD and RI off. Usage: kalvix-led-screenshot FILE.png
#include "controls/TLed.h"
#include "framework/ResourceLoader.h"
#include "framework/TDialog.h"
#include "resources/KalvixResources.h"
#include "resources/ResourceIds.h"

#include <QApplication>
#include <QPixmap>
#include <cstdio>

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  UseResources(KalvixResources());
  TDialog dialog(nullptr, IDD_CLIENT);
  TLed cts(&dialog, IDC_LED_CTS), dcd(&dialog, IDC_LED_DCD), dsr(&dialog, IDC_LED_DSR);
  TLed dtr(&dialog, IDC_LED_DTR), ri(&dialog, IDC_LED_RI), rts(&dialog, IDC_LED_RTS);
  if (!dialog.Create())
    return 1;
  dtr.SetState(TLed::LedRed);
  rts.SetState(TLed::LedRed);
  dsr.SetState(TLed::LedGreen);
  cts.SetState(TLed::LedGreen);
  dialog.Show(SW_SHOW);
  QApplication::processEvents();
  return dialog.GetWidget()->grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
