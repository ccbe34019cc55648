// Renders the main window of the real program, as it stands after start-up with the loopback
// plug as COM1 and a few bytes sent, to a PNG file; or the about box opened from it.
// Usage: kalvix-screenshot FILE.png [about]
// Run it with XDG_CONFIG_HOME pointing at a scratch store whose ports are the loopback plug.
#include "app/TKalvixApp.h"
#include "framework/TFrameWindow.h"
#include "resources/ResourceIds.h"

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <cstdio>

int main(int argc, char** argv)
{
  const bool about = argc == 3 && std::string(argv[2]) == "about";
  if (argc != 2 && !about) {
    std::fprintf(stderr, "usage: %s FILE.png [about]\n", argv[0]);
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
  if (!about)
    return frame->grab().save(file, "PNG") ? 0 : 1;
  bool saved = false;
  QTimer::singleShot(300, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      saved = box->grab().save(file, "PNG");
      box->close();
    }
  });
  SendMessage(&application, WM_COMMAND, CM_ABOUT, 0);
  return saved ? 0 : 1;
}
