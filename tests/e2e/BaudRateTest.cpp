// Setup's baud rates through the dialog to the line and the store, and back after a restart:
// the listed rates, typed ones and texts refused; stores of older builds; an adapter that cannot
// make a rate; a remote port.
#include "framework/TRegKey.h"
#include "framework/TStatusBar.h"
#include "settings/PortSettings.h"
#include "tests/support/KalvixSession.h"
#include "tests/support/Ser2net.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

using namespace std::string_literals;
using KalvixBaudRates = KalvixSession;

// The rate the line runs at, as its termios2 says; set sets it first (by another program).
std::uint32_t Speed(const TPty& line, std::uint32_t set = 0)
{
  termios2 t {};
  ioctl(line.Slave(), TCGETS2, &t);
  if (set && (t.c_cflag = (t.c_cflag & ~CBAUD) | BOTHER, t.c_ospeed = set, ioctl(line.Slave(), TCSETS2, &t) != 0))
    return 0;
  return t.c_ospeed;
}

QComboBox* RateBox(QDialog& d)
{
  return qobject_cast<QComboBox*>(DialogItem(d, IDC_BAUDRATE));
}

// Types text over the baud rate, as the user does after selecting what is there.
void TypeRate(QDialog& d, const std::string& text)
{
  QLineEdit* edit = RateBox(d)->lineEdit();
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, QString::fromStdString(text));
}

// The stored "Baudrate" value and the number beside it (none: not stored).
std::string StoredRate()
{
  const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
  char text[8] = {};
  std::uint32_t size = sizeof text, number = 0, numberSize = 4;
  key.QueryValue("Baudrate", nullptr, reinterpret_cast<std::uint8_t*>(text), &size);
  if (key.QueryValue("BaudrateBps", nullptr, reinterpret_cast<std::uint8_t*>(&number), &numberSize) != ERROR_SUCCESS)
    return std::string(text, size) + "|none";
  return std::string(text, size) + "|" + std::to_string(number);
}

TEST_F(KalvixBaudRates, EveryListedOrTypedRateRunsTheLineAndIsThereAfterARestartAndOtherTextsAreRefused)
{
  const std::vector<std::string> listed = {"110",     "300",     "600",     "1200",   "2400",   "4800",   "9600",
                                           "14400",   "19200",   "38400",   "56000",  "57600",  "115200", "128000",
                                           "256000",  "230400",  "460800",  "500000", "576000", "921600", "1000000",
                                           "1500000", "2000000", "3000000", "4000000"};
  // Typed, the rate the line then runs at (0: refused, and nothing changes) and the text Setup
  // shows after a restart. A rate is stored as a number beside "Baudrate", and in it as well when
  // its text fits there with its end; a longer one leaves it empty.
  const std::tuple<std::string, std::uint32_t, std::string> typed[] = {
    {"74880", 74880, "74880"},
    {"31250", 31250, "31250"},
    {"12000000", 12000000, "12000000"},
    {"0", 0, ""},
    {"49", 0, ""},
    {"12000001", 0, ""},
    {"fast", 0, ""},
    {"1e6", 0, ""},
    {"050", 50, "50"},
  };
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  Start();
  std::vector<std::tuple<std::string, std::uint32_t, std::string>> rows;
  for (const std::string& rate : listed)
    rows.emplace_back("", std::stoul(rate), rate);
  rows.insert(rows.end(), std::begin(typed), std::end(typed));
  std::string before = "9600\0\0\0|none"s;
  std::uint32_t running = 9600;
  for (const auto& [text, rate, shown] : rows) {
    SCOPED_TRACE(text + shown);
    Presenter.Boxes.clear();
    Setup([&](QDialog& d) {
      QApplication::setActiveWindow(&d);   // focus exists only in the active window
      std::vector<std::string> entries;
      for (int i = 0; i < RateBox(d)->count(); ++i)
        entries.push_back(RateBox(d)->itemText(i).toStdString());
      EXPECT_EQ(entries, listed);
      if (text.empty())   // chosen, and OK clicked; typed, and Enter pressed
        Choose(d, IDC_BAUDRATE, QString::fromStdString(shown)), Click(d, IDOK);
      else
        TypeRate(d, text), QTest::keyClick(RateBox(d)->lineEdit(), Qt::Key_Return);
      if (rate == 0) {
        ASSERT_EQ(Presenter.Boxes.size(), 1u);
        EXPECT_EQ(Presenter.Boxes[0].Caption + "|" + Presenter.Boxes[0].Text,
                  "Kalvix|Baudrate: Value is not a whole number in the range 50 to 12000000.");
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(QApplication::focusWidget(), RateBox(d));
        Click(d, IDCANCEL);
      }
    });
    running = rate ? rate : running;
    EXPECT_EQ(Speed(line), running);
    const std::string number = rate ? std::to_string(rate) : "";
    const std::string now = rate == 0           ? before
                            : number.size() < 7 ? number + std::string(7 - number.size(), '\0') + "|" + number
                                                : std::string(7, '\0') + "|" + number;
    EXPECT_EQ(StoredRate(), now);
    before = now;
    // Another program leaves the line at 300 baud; the next start sets it again.
    Speed(line, 300);
    Start();
    EXPECT_EQ(Speed(line), running);
    Setup([&](QDialog& d) {
      EXPECT_EQ(RateBox(d)->currentText().toStdString(), rate ? shown : std::to_string(running));
      Click(d, IDCANCEL);
    });
  }
}

// A store of an older build is read as it was; one where an older build stored a rate over ours
// keeps that rate; in ours an empty "Baudrate" stands for the rate beside it.
TEST_F(KalvixBaudRates, StoresOfOlderBuildsAreReadAsTheyWereAndAnEmptyBaudrateTakesTheRateBeside)
{
  // Stored "Baudrate" and number beside (0: none); the rate the line runs at and Setup's text.
  const std::tuple<std::string, std::uint32_t, std::uint32_t, std::string> stores[] = {
    {"115200\0"s, 0, 115200, "115200"},
    {"115200\0"s, 1500000, 115200, "115200"},
    {std::string(7, '\0'), 1500000, 1500000, "1500000"},
    {std::string(7, '\0'), 0, 9600, ""},
    {std::string(7, '\0'), 49, 9600, ""},
    {"1152000"s, 0, 1152000, "1152000"},   // no end, a rate
  };
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  for (const auto& [text, number, rate, shown] : stores) {
    SCOPED_TRACE(text + "|" + std::to_string(number));
    {
      const TRegKey key(HKEY_LOCAL_MACHINE, SettingsKeyName);
      key.SetValue("Baudrate", REG_SZ, reinterpret_cast<const std::uint8_t*>(text.data()), 7);
      const std::uint32_t bytes = number;   // little-endian, as the machine
      if (number)
        key.SetValue("BaudrateBps", REG_DWORD, reinterpret_cast<const std::uint8_t*>(&bytes), 4);
    }
    Speed(line, 300);
    Start();
    EXPECT_EQ(Speed(line), rate);
    Setup([&](QDialog& d) {
      EXPECT_EQ(RateBox(d)->currentText().toStdString(), shown);
      Click(d, IDCANCEL);
    });
    App.reset();
    TRegKey(HKEY_LOCAL_MACHINE, "Software").DeleteKey("Kalvix");
  }
}

// An adapter whose clock divides to 1 000 000 or 1 500 000 but not to 921 600 runs the nearest
// rate and the status bar says so; one it cannot make at all it refuses, as a port unavailable.
TEST_F(KalvixBaudRates, ARateTheAdapterMakesOnlyFarOffIsToldAndOneItRefusesLeavesTheLineAsItWas)
{
  TPty line;
  TNullModem cable(line);
  cable.SetClock(3000000);
  Store.LinkPort(1, line.SlavePath());
  Start();
  const std::string off = "COM1: the device runs the line at 1000000 baud, not 921600";
  // Typed, then the line's rate, the status bar and the message box (none: "").
  const std::tuple<const char*, std::uint32_t, std::string, std::string> rows[] = {
    {"921600", 1000000, off, ""},
    {"4000000", 1000000, off,
     "Configured COM Port is already uses by an other appication\nor is not available!\n"
     "Use setup to select an other one!"},
    {"74880", 75000, "", ""},   // 0.2 % off: nothing to tell
  };
  for (const auto& [typed, rate, status, box] : rows) {
    SCOPED_TRACE(typed);
    Presenter.Boxes.clear();
    Setup([&](QDialog& d) { TypeRate(d, typed), Click(d, IDOK); });
    EXPECT_EQ(Speed(line), rate);
    EXPECT_EQ(Frame().GetStatusBar()->GetText(), status);
    EXPECT_EQ(Presenter.Boxes.empty() ? "" : Presenter.Boxes[0].Text, box);
    EXPECT_TRUE(Widget(IDC_SEND)->isEnabled());
  }
}

// Through a real ser2net, the rate typed reaches the server's line whole (RFC 2217 carries 32 bits).
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
