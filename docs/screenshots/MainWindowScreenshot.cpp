// Renders the main window of the real program, as it stands after start-up with the loopback
// plug as COM1 and a few bytes sent, to a PNG file; or the about box opened from it; or the
// triggers window with the README's examples; or, at 1000 x 560 pixels in text mode with Colours
// on, the window after a board's ESP-IDF-like boot log has arrived.
// Usage: kalvix-screenshot FILE.png [about|triggers|colours]
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

namespace {
// A board's boot as ESP-IDF logs it: a colour at each line's start, a reset at its end.
const char* const BootLog[] = {
  "ESP-ROM:esp32c3-api1-20210207\r\n",
  "\x1b[0;32mI (29) boot: ESP-IDF v5.1.2 2nd stage bootloader\x1b[0m\r\n",
  "\x1b[0;32mI (29) boot: compile time Jan 12 2026 10:11:12\x1b[0m\r\n",
  "\x1b[0;32mI (312) cpu_start: Starting scheduler.\x1b[0m\r\n",
  "\x1b[0;32mI (318) heap_init: At 3FC95F30 len 00046C20 (282 KiB): DRAM\x1b[0m\r\n",
  "\x1b[0;33mW (402) spi_flash: Detected size(4096k) larger than the size in the binary image header(2048k)\x1b[0m\r\n",
  "\x1b[0;32mI (455) wifi:mode : sta (84:f7:03:2a:10:5c)\x1b[0m\r\n",
  "\x1b[0;32mI (1207) wifi:connected with lab-ap, aid = 3, channel 6, BW20\x1b[0m\r\n",
  "\x1b[0;32mI (2211) esp_netif_handlers: sta ip: 192.168.4.23, mask: 255.255.255.0\x1b[0m\r\n",
  "\x1b[0;31mE (5230) sensor: i2c read failed: ESP_ERR_TIMEOUT\x1b[0m\r\n",
  "\x1b[0;33mW (5231) sensor: retrying in 5 s\x1b[0m\r\n",
  "\x1b[1;31m<err> os: ***** MPU FAULT *****\x1b[0m\r\n",
  "\x1b[1;32muart:~$ \x1b[m",
};
}   // namespace

int main(int argc, char** argv)
{
  const bool about = argc == 3 && std::string(argv[2]) == "about";
  const bool triggers = argc == 3 && std::string(argv[2]) == "triggers";
  const bool colours = argc == 3 && std::string(argv[2]) == "colours";
  if (argc != 2 && !about && !triggers && !colours) {
    std::fprintf(stderr, "usage: %s FILE.png [about|triggers|colours]\n", argv[0]);
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
  if (colours) {
    TWindow* client = application.GetMainWindow()->GetClientWindow();
    SendMessage(client, WM_COMMAND, CM_SWITCHMODE, 0);
    SendMessage(client, WM_COMMAND, CM_COLOURS, 0);
    frame->resize(1000, 560);
    // As the port hands over what a board prints: chunks of at most 80 bytes.
    std::string log;
    for (const char* line : BootLog)
      log += line;
    for (std::size_t at = 0; at < log.size(); at += 80) {
      const std::string chunk = log.substr(at, 80);
      SendMessage(client, WM_USER, chunk.size(), LPARAM(chunk.data()));
    }
    QTest::qWait(500);
    return frame->grab().save(file, "PNG") ? 0 : 1;
  }
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
