// A working day with the whole program: receiving and sending in both modes over a
// pseudo-terminal, command files, the setup dialog down to the store and back after a restart,
// handshake over a null-modem cable, and the modem-line lamps over the loopback plug.
#include "tests/e2e/Session.h"
#include "tests/support/NullModem.h"

#include <cstdio>
#include <fstream>
#include <sys/ioctl.h>

namespace {

std::string Dword(std::uint32_t v) { return std::string {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }

TEST_F(KalvixSession, ReceivesInBothModesWithLineBreaksAndSwitchingModeClearsTheField)
{
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  Start();
  EXPECT_TRUE(Presenter.Boxes.empty());
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode");

  ASSERT_TRUE(line.Send(std::string("\x00\x41\xFF\r", 4)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "00,41,FF,0D,"; }, 2000)) << Received();

  Menu("Switch &Mode")->trigger();
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in text mode");
  EXPECT_EQ(Received(), "");
  ASSERT_TRUE(line.Send("AB\rC/\x07"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "AB\r\nC/2F/07"; }, 2000)) << Received();

  // More than the default 80 characters in one line break after the 80th.
  Menu("&Clear")->trigger();
  ASSERT_TRUE(line.Send(std::string(85, 'x')));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == std::string(80, 'x') + "\r\n" + std::string(5, 'x'); }, 2000))
      << Received();

  Menu("Switch &Mode")->trigger();
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode");
  EXPECT_EQ(Received(), "");
  ASSERT_TRUE(line.Send("\x01"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "01,"; }, 2000)) << Received();
}

TEST_F(KalvixSession, TypedTextGoesOutInBothModesWithPausesAndARepeatEndsAtStop)
{
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  Start();
  Setup([](QDialog& d) {
    Retype(d, IDC_DELAYTIME, "500");
    Click(d, IDOK);
  });
  ASSERT_TRUE(Presenter.Boxes.empty());

  // Binary mode: values, a pause at ';', and '#' for an 11-bit number as two bytes.
  Send("41,42;#0100");
  EXPECT_TRUE(StopShown());
  EXPECT_EQ(Collect(line, 2, 2000), "AB");
  // The pause is five ticks at least: nothing comes for a while.
  EXPECT_EQ(Collect(line, 1, 250), "");
  EXPECT_EQ(Collect(line, 2, 2000), std::string("\x0C\x04", 2));   // 100 = 12 << 3 | 4
  EXPECT_TRUE(QTest::qWaitFor([&] { return SendShown(); }, 2000));
  EXPECT_FALSE(StopShown());

  // A trailing ':' repeats until Stop.
  Send("55,AA:");
  const std::string repeated = Collect(line, 8, 3000);
  EXPECT_EQ(repeated, "\x55\xAA\x55\xAA\x55\xAA\x55\xAA");
  ClickStop();
  EXPECT_TRUE(SendShown());
  QTest::qWait(300);   // what was in flight when Stop came
  Collect(line, 4096, 100);
  QTest::qWait(300);
  EXPECT_EQ(Collect(line, 1, 200), "") << "still sending after Stop";

  // Text mode: characters as typed, "/XX" escapes, and the delay character ',' as a pause.
  Menu("Switch &Mode")->trigger();
  Send("ab/0D,cd");
  EXPECT_EQ(Collect(line, 3, 2000), "ab\r");
  EXPECT_EQ(Collect(line, 1, 250), "");
  EXPECT_EQ(Collect(line, 2, 2000), "cd");
  EXPECT_TRUE(QTest::qWaitFor([&] { return SendShown(); }, 2000));
  EXPECT_TRUE(Presenter.Boxes.empty());
}

TEST_F(KalvixSession, ACommandFileIsLoadedAnEntrySelectedAndSent)
{
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  const std::string file = Store.Root() + "/commands.dat";
  std::ofstream(file, std::ios::binary) << "[Reset]41,42\r\n[Query];3F\r\n\r\nplain\x1A" "after the end\n";
  Presenter.FileAnswer = file;
  Start();
  Menu("&File", "&Open Command File...")->trigger();
  ASSERT_EQ(Presenter.FileRequests.size(), 1u);
  EXPECT_EQ(Presenter.FileRequests[0].Title, "Read Command File");
  EXPECT_EQ(Client().Commands().Commands.GetStrings(),
            (std::vector<std::string> {"[Reset]41,42", "[Query];3F", "", "plain"}));

  // A cancelled dialog keeps the list.
  Presenter.FileAnswer.clear();
  Menu("&File", "&Open Command File...")->trigger();
  EXPECT_EQ(Client().Commands().Commands.GetStrings().size(), 4u);

  // The chosen entry fills the send field, its label goes into the caption, Send sends it.
  Select(0);
  EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), "41,42");
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode - Reset");
  QTest::mouseClick(Widget(IDC_SEND), Qt::LeftButton);
  EXPECT_EQ(Collect(line, 2, 2000), "AB");
  Select(1);
  EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), ";3F");
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode - Query");
  QTest::mouseClick(Widget(IDC_SEND), Qt::LeftButton);
  EXPECT_EQ(Collect(line, 1, 2000), "?");
  EXPECT_TRUE(Presenter.Boxes.empty());
}

TEST_F(KalvixSession, SetupIsStoredAppliedAndFoundAgainAfterARestart)
{
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  Start();
  EXPECT_TRUE(Stored().empty());   // settings are written by Setup only
  Setup([](QDialog& d) {
    Choose(d, IDC_BAUDRATE, "19200");
    Choose(d, IDC_HANDSHAKE, "no");
    Check(d, IDC_SETDTR, true);
    Retype(d, IDC_LINELENGTH, "4");
    Retype(d, IDC_DELAYCHAR, "59");
    Click(d, IDOK);
  });
  ASSERT_TRUE(Presenter.Boxes.empty());
  auto stored = Stored();
  EXPECT_EQ(stored.size(), 13u);
  EXPECT_EQ(stored["Baudrate"], std::string("19200\0\0", 7));
  EXPECT_EQ(stored["Handshake"], std::string("no\0\0\0\0\0\0\0\0\0\0", 12));
  EXPECT_EQ(stored["SetDTR"], Dword(1));
  EXPECT_EQ(stored["Linelength"], Dword(4));
  EXPECT_EQ(stored["Delaychar"], Dword(59));

  // Applied at once: lines of four values, and the DTR lamp lit.
  const auto applied = [&] {
    EXPECT_EQ(Lamp(IDC_LED_DTR), TLed::LedRed);
    Menu("&Clear")->trigger();
    ASSERT_TRUE(line.Send("\x01\x02\x03\x04\x05"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "01,02,03,04,\r\n05,"; }, 2000)) << Received();
    // ';' (59) is now the delay character of text mode, ',' an ordinary one.
    Menu("Switch &Mode")->trigger();
    Send("a;b,");
    EXPECT_EQ(Collect(line, 3, 2000), "ab,");
    EXPECT_TRUE(QTest::qWaitFor([&] { return SendShown(); }, 2000));
  };
  applied();

  Exit();
  EXPECT_EQ(Stored(), stored);   // nothing is written at exit
  Start();
  EXPECT_TRUE(Presenter.Boxes.empty());
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode");
  EXPECT_EQ(Client().Settings().BaudRateData.GetSelection(), "19200");
  EXPECT_EQ(Client().Settings().HandshakeData.GetSelection(), "no");
  applied();
}

TEST_F(KalvixSession, HandshakeSettingsDriveTheLinesAndHoldOutputUntilTheDeviceIsReady)
{
  TPty line;
  TNullModem cable(line);
  Store.LinkPort(1, line.SlavePath());
  Start();
  // Hardware, the default: DTR and RTS up, and output waits for DSR as well as for CTS.
  EXPECT_EQ(cable.Sees(), TIOCM_DSR | TIOCM_CAR | TIOCM_CTS);
  cable.SetDtr(false);
  Send("41,42,43");
  QTest::qWait(300);
  EXPECT_TRUE(StopShown());
  EXPECT_EQ(line.Receive(1, 0), "");
  cable.SetDtr(true);
  EXPECT_EQ(Collect(line, 3, 2000), "ABC");
  EXPECT_TRUE(QTest::qWaitFor([&] { return SendShown(); }, 2000));

  // XOn / XOff with RTS off and CTS in use: RTS stays down, and output waits for CTS.
  Setup([](QDialog& d) {
    Choose(d, IDC_HANDSHAKE, "XOn / XOff");
    Check(d, IDC_SETDTR, true);
    Check(d, IDC_SETRTS, false);
    Check(d, IDC_USECTS, true);
    Check(d, IDC_USEDSR, false);
    Click(d, IDOK);
  });
  EXPECT_EQ(cable.Sees(), TIOCM_DSR | TIOCM_CAR);
  EXPECT_EQ(Lamp(IDC_LED_RTS), TLed::LedOff);
  cable.SetRts(false);
  Send("44;45");
  QTest::qWait(300);
  // Stopped while held: the write handed over goes out once CTS rises, and nothing after it.
  ClickStop();
  EXPECT_TRUE(SendShown());
  cable.SetRts(true);
  EXPECT_EQ(Collect(line, 2, 1000), "D");
  EXPECT_TRUE(Presenter.Boxes.empty());
}

TEST_F(KalvixSession, TheLoopbackPlugWiresDtrToDsrAndDcdAndRtsToCtsAndEchoesWhatIsSent)
{
  Store.LinkPort(1, "loopback");
  Start();
  const auto lamps = [&] {
    return std::vector<int> {Lamp(IDC_LED_DTR), Lamp(IDC_LED_DSR), Lamp(IDC_LED_DCD),
                             Lamp(IDC_LED_RTS), Lamp(IDC_LED_CTS), Lamp(IDC_LED_RI)};
  };
  using L = TLed;
  Setup([](QDialog& d) {
    Choose(d, IDC_HANDSHAKE, "no");
    Check(d, IDC_SETDTR, true);
    Check(d, IDC_SETRTS, false);
    Click(d, IDOK);
  });
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return lamps() == std::vector<int> {L::LedRed, L::LedGreen, L::LedGreen, L::LedOff, L::LedOff, L::LedOff};
  }, 2000));
  Setup([](QDialog& d) {
    Check(d, IDC_SETDTR, false);
    Check(d, IDC_SETRTS, true);
    Click(d, IDOK);
  });
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return lamps() == std::vector<int> {L::LedOff, L::LedOff, L::LedOff, L::LedRed, L::LedGreen, L::LedOff};
  }, 2000));

  Send("12,34");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "12,34,"; }, 2000)) << Received();
  EXPECT_TRUE(QTest::qWaitFor([&] { return SendShown(); }, 2000));
  EXPECT_TRUE(Presenter.Boxes.empty());
}

} // namespace
