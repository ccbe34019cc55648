// Find over a full receive field: how long the find window takes over each keystroke, from the
// key press until the field is repainted with its highlights. The field holds 65 534 characters
// of ESP-IDF-like coloured lines (text mode) or of their values (binary mode) and is shown at
// 1100 x 632 pixels; each search is typed key by key, then taken back with Backspace.
//
//   find_load [ROUNDS]
#include "display/TFindDlg.h"
#include "framework/ResourceLoader.h"
#include "resources/KalvixResources.h"
#include "resources/ResourceIds.h"
#include "terminal/TReceiveView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// An ESP-IDF-like log line: a colour at the start, a reset at the end, CR LF.
std::string IdfLine(unsigned n)
{
  static const char* const Texts[] = {"wifi: state: auth -> assoc (0)", "wifi: connected with lab-ap, channel 6",
                                      "esp_netif_handlers: sta ip: 192.168.4.23, mask: 255.255.255.0",
                                      "heap_init: free heap 187312 bytes", "main_task: retrying in 5 s"};
  const char level = "IIIIWE"[n % 6];
  char line[160];
  std::snprintf(line, sizeof line, "\x1b[0;%sm%c (%u) %s\x1b[0m\r\n", level == 'I' ? "32" : level == 'W' ? "33" : "31",
                level, n, Texts[n % 5]);
  return line;
}

}   // namespace

int main(int argc, char** argv)
{
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  UseResources(KalvixResources());
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  for (const bool textMode : {true, false}) {
    TDialog client(nullptr, IDD_CLIENT);
    TReceiveView view(&client);
    if (!client.Create())
      return 1;
    client.GetWidget()->resize(1100, 632);
    client.GetWidget()->show();
    view.Colours = true;
    // Fills the field: one poll of more than a field-full.
    view.BeginPoll();
    for (unsigned n = 0; n < 2000; ++n) {
      const std::string line = IdfLine(n);
      view.Receive(reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), textMode, {});
    }
    view.EndPoll();
    bool mode = textMode;
    TFindDlg find(&client, view.ReceiveField, mode);
    find.Open();
    auto* text = find.GetWidget()->findChild<QLineEdit*>();
    auto* count = qobject_cast<QLabel*>(find.GetWidget()->findChildren<QLabel*>().back());
    QApplication::processEvents();
    const std::vector<std::string> searches =
      textMode ? std::vector<std::string> {"e", "wifi: connected", "192.168.4.23", "no such text"}
               : std::vector<std::string> {"0", "2C", "0D,0A", "1B,5B,30,3B,33,31,6D"};
    for (const std::string& search : searches) {
      std::vector<double> ms;
      std::string counted;
      for (int round = 0; round < rounds; ++round) {
        // Typed key by key, then taken back.
        for (std::size_t i = 0; i < 2 * search.size(); ++i) {
          const auto start = Clock::now();
          if (i < search.size())
            QTest::keyClick(text, search[i]);
          else
            QTest::keyClick(text, Qt::Key_Backspace);
          QApplication::processEvents();
          ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
          if (i + 1 == search.size())
            counted = count->text().toStdString();
        }
      }
      std::sort(ms.begin(), ms.end());
      double sum = 0;
      for (const double m : ms)
        sum += m;
      std::printf("mode=%s field_chars=%d search=\"%s\" found=\"%s\" keystrokes=%zu mean_ms=%.1f median_ms=%.1f "
                  "max_ms=%.1f\n",
                  textMode ? "text" : "binary", view.ReceiveField.GetTextLen(), search.c_str(), counted.c_str(),
                  ms.size(), sum / double(ms.size()), ms[ms.size() / 2], ms.back());
    }
  }
  return 0;
}
