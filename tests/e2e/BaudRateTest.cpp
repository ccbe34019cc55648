// Setup's baud rates through the dialog to the line and the store, and back after a restart.
// (A remote port's rate: RemotePortTest.)
#include "tests/support/KalvixSession.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

using KalvixBaudRates = KalvixSession;

// The rate the line runs at, as its termios2 says; set sets it first (as another program would).
std::uint32_t Speed(const TPty& line, std::uint32_t set = 0)
{
  termios2 t {};
  ioctl(line.Slave(), TCGETS2, &t);
  t.c_cflag = (t.c_cflag & ~CBAUD) | BOTHER;
  t.c_ospeed = set ? set : t.c_ospeed;
  return set && ioctl(line.Slave(), TCSETS2, &t) != 0 ? 0 : t.c_ospeed;
}

// Every listed rate chosen, then rates typed ("-": refused), each through Setup to the line and
// the store, and after a restart back in Setup and on the line. Last ("~"), an adapter with a
// 3 MHz clock: it makes 1 000 000 for 921 600, which the status bar tells, and refuses
// 4 000 000 outright: the port's message, and the line stays as it was.
TEST_F(KalvixBaudRates, ListedAndTypedRatesRunTheLineAndComeBackAfterARestartOthersAreRefused)
{
  const std::vector<std::string> listed = {"110",     "300",     "600",     "1200",   "2400",   "4800",   "9600",
                                           "14400",   "19200",   "38400",   "56000",  "57600",  "115200", "128000",
                                           "256000",  "230400",  "460800",  "500000", "576000", "921600", "1000000",
                                           "1500000", "2000000", "3000000", "4000000"};
  std::vector<std::string> rows = listed;
  rows.insert(rows.end(),
              {"74880", "31250", "12000000", "50", "-0", "-49", "-12000001", "-fast", "-1e6", "~921600", "~4000000"});
  TPty line;
  TNullModem cable(line);
  Store.LinkPort(1, line.SlavePath());
  std::string rate = "9600";
  std::uint32_t runs = 9600;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i]);
    const bool refused = rows[i][0] == '-', slow = rows[i][0] == '~', cannot = rows[i] == "~4000000";
    cable.SetClock(slow ? 3000000 : 0);
    Speed(line, 300);
    Start();
    EXPECT_EQ(Speed(line), runs);
    Presenter.Boxes.clear();
    Setup([&](QDialog& d) {
      QApplication::setActiveWindow(&d);   // focus exists only in the active window
      auto* list = DialogItem<QComboBox>(d, IDC_BAUDRATE);
      for (int n = 0; n < std::max(list->count(), int(listed.size())); ++n)
        EXPECT_EQ(list->itemText(n).toStdString(), n < int(listed.size()) ? listed[std::size_t(n)] : "");
      EXPECT_EQ(list->currentText().toStdString(), rate);
      if (i < listed.size())   // chosen, and OK clicked; typed, and Enter pressed
        Choose(d, IDC_BAUDRATE, QString::fromStdString(rows[i])), Click(d, IDOK);
      else
        Type(d, IDC_BAUDRATE, rows[i].c_str() + (refused || slow)), QTest::keyClick(list->lineEdit(), Qt::Key_Return);
      if (refused && d.isVisible() && QApplication::focusWidget() == list)
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(Presenter.Boxes.size() == 1 ? Presenter.Boxes[0].Caption + "|" + Presenter.Boxes[0].Text : "",
              refused  ? "Kalvix|Baudrate: Value is not a whole number in the range 50 to 12000000."
              : cannot ? "|Configured COM Port is already uses by an other appication\nor is not available!\n"
                         "Use setup to select an other one!"
                       : "");
    rate = refused ? rate : rows[i].substr(slow);
    runs = refused || cannot ? runs : slow ? 1000000 : std::stoul(rate);
    EXPECT_EQ(Speed(line), runs);
    EXPECT_TRUE(Widget(IDC_SEND)->isEnabled());
    EXPECT_EQ(Status(), slow ? "COM1: the device runs the line at 1000000 baud, not 921600" : "");
    // A rate that fits "Baudrate" with its end is there as ever; a longer one only beside it
    // (it came back after the restart).
    const std::string fits = rate.size() < 7 ? rate : "";
    EXPECT_EQ(Store.Stored().at("Baudrate"), "S" + fits + std::string(7 - fits.size(), '\0'));
  }
}

}   // namespace
