// Renders the setup dialog with the settings of a store that holds none to a PNG file.
// Usage: kalvix-setup-screenshot FILE.png
#include "framework/ResourceLoader.h"
#include "resources/KalvixResources.h"
#include "settings/PortSettings.h"
#include "settings/TComSetup.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  UseResources(KalvixResources());
  // An empty store of its own: the defaults, and nothing of the user's touched.
  QTemporaryDir store;
  if (!store.isValid() || setenv("XDG_CONFIG_HOME", store.path().toLocal8Bit().constData(), 1) != 0)
    return 1;
  TComSetupXfer xfer;
  std::int32_t lineLength = 0, delayTime = 0, delayChar = 0;
  LoadPortSettings(xfer, lineLength, delayTime, delayChar);
  TComSetup dialog(nullptr, xfer);
  if (!dialog.Create())
    return 1;
  dialog.Show(SW_SHOW);
  QApplication::processEvents();
  return dialog.GetWidget()->grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
