// Renders docs/plot.png: the real program with COM1 linked to a pseudo-terminal that prints
// "temp:<t>,hum:<h>" ten times a second, its plot window opened from the Line menu, grabbed after
// SECONDS (default 12). Usage, on a display: kalvix-plot-screenshot FILE.png [SECONDS]
// It makes its own scratch store; no real port is touched.
#include "app/TKalvixApp.h"
#include "framework/TFrameWindow.h"
#include "resources/ResourceIds.h"

#include <QApplication>
#include <QTest>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv)
{
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE.png [SECONDS]\n", argv[0]);
    return 2;
  }
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 12;
  char root[] = "/tmp/kalvix-plot-shot-XXXXXX";
  int master = -1, slave = -1;
  if (!mkdtemp(root) || openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
    return 1;
  termios raw {};
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  setenv("XDG_CONFIG_HOME", root, 1);
  std::filesystem::create_directories(std::string(root) + "/kalvix/ports");
  std::filesystem::create_symlink(ttyname(slave), std::string(root) + "/kalvix/ports/COM1");

  int appArgc = 1;
  int status = 1;
  {
    TKalvixApp application("Kalvix", appArgc, argv);
    if (!application.StartInstance())
      return 1;
    application.GetMainWindow()->GetWidget()->move(0, 0);
    SendMessage(application.GetMainWindow()->GetClientWindow(), WM_COMMAND, CM_PLOT, 0);
    std::atomic<bool> running {true};
    std::thread device([&] {
      for (int i = 0; running; ++i) {
        const double t = 22.5 + 1.5 * std::sin(i / 15.0) + 0.2 * std::sin(i * 1.7);
        const double h = 45 + 6 * std::cos(i / 23.0);
        const std::string line = "temp:" + std::to_string(t).substr(0, 5) + ",hum:" + std::to_string(h).substr(0, 4) + "\r\n";
        if (write(master, line.data(), line.size()) < 0)
          break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
    QTest::qWait(seconds * 1000);
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->isVisible() && window->windowTitle() == QStringLiteral("Plot"))
        status = window->grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
    running = false;
    device.join();
  }
  close(master);
  close(slave);
  std::filesystem::remove_all(root);
  return status;
}
