// Renders the main window of the real program, as it stands after start-up with the loopback
// plug as COM1 and a few bytes sent, to a PNG file; or the about box opened from it; or the
// triggers window with the README's examples.
// Usage: kalvix-screenshot FILE.png [about|triggers]
// Run it with XDG_CONFIG_HOME pointing at a scratch store whose ports are the loopback plug.
#include "app/TKalvixApp.h"
#include "framework/TFrameWindow.h"
#include "resources/ResourceIds.h"
#include "triggers/TriggerStore.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <string>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
  const bool about = argc == 3 && std::string(argv[2]) == "about";
  const bool triggers = argc == 3 && std::string(argv[2]) == "triggers";
  if (argc != 2 && !about && !triggers) {
    std::fprintf(stderr, "usage: %s FILE.png [about|triggers]\n", argv[0]);
    return 2;
  }
  // The README's examples: a boot loader stopped, a login, and the login by an expression.
  const std::vector<TTriggerRule> examples = {{true, "Hit any key to stop autoboot", false, " ", 0, false},
                                              {true, "login: ", false, "root/0D", 0, false},
                                              {true, "Password: ", false, "secret/0D", 300, false},
                                              {false, "^[a-z0-9-]+ login: $", true, "root/0D", 0, false}};
  if (triggers && !SaveTriggers(examples).empty())
    return 1;
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
  if (triggers) {
    application.GetMainWindow()->RouteCommand(CM_TRIGGERS, 0);
    QTest::qWait(500);
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->isVisible() && window->windowTitle() == QStringLiteral("Triggers")) {
        window->findChild<QListWidget*>()->setCurrentRow(1);   // the login, as the user clicks it
        return window->grab().save(file, "PNG") ? 0 : 1;
      }
    return 1;
  }
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
