// Renders the main window of the real program, as it stands after start-up with the loopback
// plug as COM1 and a few bytes sent, to a PNG file. Usage: kalvix-screenshot FILE.png
// Run it with XDG_CONFIG_HOME pointing at a scratch store whose ports are the loopback plug.
#include "app/TKalvixApp.h"
#include "framework/TFrameWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <cstdio>

int main(int argc, char** argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
    return 2;
  }
  const QString file = QString::fromLocal8Bit(argv[1]);
  int appArgc = 1;
  TKalvixApp application("Kalvix", appArgc, argv);
  if (!application.StartInstance())
    return 1;
  QWidget* frame = application.GetMainWindow()->GetWidget();
  if (auto* send = frame->findChild<QLineEdit*>())
    QTest::keyClicks(send, "48,65,6C,6C,6F,0D");
  for (QPushButton* button : frame->findChildren<QPushButton*>())
    if (button->text() == QStringLiteral("&Send") && button->isVisible())
      button->click();
  // A few ticks: the bytes go out on the loopback plug and come back.
  QTest::qWait(1500);
  return frame->grab().save(file, "PNG") ? 0 : 1;
}
