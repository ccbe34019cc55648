// Setup's baud rates through the dialog to the line and the store, and back after a restart; an
// adapter that cannot make a rate; a remote port.
#include "framework/TRegKey.h"
#include "framework/TStatusBar.h"
#include "settings/PortSettings.h"
#include "tests/support/KalvixSession.h"
#include "tests/support/Ser2net.h"

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

QComboBox* RateBox(QDialog& d)
{
  return qobject_cast<QComboBox*>(DialogItem(d, IDC_BAUDRATE));
}

// Types text over the baud rate, as the user does after selecting what is there.
void TypeRate(QDialog& d, const std::string& text)
{
  RateBox(d)->lineEdit()->setFocus();
  RateBox(d)->lineEdit()->selectAll();
  QTest::keyClick(RateBox(d)->lineEdit(), Qt::Key_Delete);
  QTest::keyClicks(RateBox(d)->lineEdit(), QString::fromStdString(text));
}

// Every listed rate chosen, then rates typed ("-": refused), each through Setup to the line and
// the store, and after a restart back in Setup and on the line.
TEST_F(KalvixBaudRates, ListedAndTypedRatesRunTheLineAndComeBackAfterARestartOthersAreRefused)
{
  const std::vector<std::string> listed = {"110",     "300",     "600",     "1200",   "2400",   "4800",   "9600",
                                           "14400",   "19200",   "38400",   "56000",  "57600",  "115200", "128000",
                                           "256000",  "230400",  "460800",  "500000", "576000", "921600", "1000000",
                                           "1500000", "2000000", "3000000", "4000000"};
  std::vector<std::string> rows = listed;
  rows.insert(rows.end(), {"74880", "31250", "12000000", "50", "-0", "-49", "-12000001", "-fast", "-1e6"});
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  std::string rate = "9600";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(rows[i]);
    Speed(line, 300);
    Start();
    EXPECT_EQ(Speed(line), std::stoul(rate));
    const bool refused = rows[i][0] == '-';
    Presenter.Boxes.clear();
    Setup([&](QDialog& d) {
      QApplication::setActiveWindow(&d);   // focus exists only in the active window
      for (int n = 0; n < std::max(RateBox(d)->count(), int(listed.size())); ++n)
        EXPECT_EQ(RateBox(d)->itemText(n).toStdString(), n < int(listed.size()) ? listed[std::size_t(n)] : "");
      EXPECT_EQ(RateBox(d)->currentText().toStdString(), rate);
      if (i < listed.size())   // chosen, and OK clicked; typed, and Enter pressed
        Choose(d, IDC_BAUDRATE, QString::fromStdString(rows[i])), Click(d, IDOK);
      else
        TypeRate(d, rows[i].substr(refused)), QTest::keyClick(RateBox(d)->lineEdit(), Qt::Key_Return);
      if (refused && d.isVisible() && QApplication::focusWidget() == RateBox(d))
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(Presenter.Boxes.size() == 1 ? Presenter.Boxes[0].Caption + "|" + Presenter.Boxes[0].Text : "",
              refused ? "Kalvix|Baudrate: Value is not a whole number in the range 50 to 12000000." : "");
    rate = refused ? rate : rows[i];
    EXPECT_EQ(Speed(line), std::stoul(rate));
    EXPECT_EQ(Frame().GetStatusBar()->GetText(), "");
    // A rate that fits "Baudrate" with its end is there as ever; a longer one only beside it.
    char text[8] = {};
    std::uint32_t size = sizeof text, number = 0, four = 4;
    const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
    key.QueryValue("Baudrate", nullptr, reinterpret_cast<std::uint8_t*>(text), &size);
    key.QueryValue("BaudrateBps", nullptr, reinterpret_cast<std::uint8_t*>(&number), &four);
    const std::string fits = rate.size() < 7 ? rate : "";
    EXPECT_EQ(std::string(text, size) + "|" + std::to_string(number),
              fits + std::string(7 - fits.size(), '\0') + "|" + rate);
  }
}

// An adapter with a 3 MHz clock makes 1 000 000 for 921 600, which the status bar tells; it
// refuses 4 000 000 outright: the port's message, and the line stays as it was.
TEST_F(KalvixBaudRates, ARateTheAdapterMakesOnlyFarOffIsToldAndOneItRefusesLeavesTheLineAsItWas)
{
  TPty line;
  TNullModem cable(line);
  cable.SetClock(3000000);
  Store.LinkPort(1, line.SlavePath());
  Start();
  for (const char* typed : {"921600", "4000000"})
    Setup([&](QDialog& d) { TypeRate(d, typed), Click(d, IDOK); });
  EXPECT_EQ(Speed(line), 1000000u);
  EXPECT_EQ(Frame().GetStatusBar()->GetText(), "COM1: the device runs the line at 1000000 baud, not 921600");
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text.substr(0, 30), "Configured COM Port is already");
  EXPECT_TRUE(Widget(IDC_SEND)->isEnabled());
}

// Through a real ser2net the rate typed reaches the server's line whole: RFC 2217 carries 32 bits.
TEST_F(KalvixBaudRates, ARemotePortRunsItsServersLineAtTheRateTyped)
{
  TPty line;
  TSer2net server(line.SlavePath());
  ASSERT_NE(server.Url(), "") << "ser2net did not start";
  Store.LinkPort(1, server.Url());
  Start();
  Setup([&](QDialog& d) { TypeRate(d, "1500000"), Click(d, IDOK); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return Speed(line) == 1500000; }, 3000)) << Speed(line);
}

}   // namespace
