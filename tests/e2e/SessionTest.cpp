// A working session with the whole program over a pseudo-terminal: receiving and sending in both
// modes, a command file, the setup dialog down to the store and back after a restart.
#include "tests/support/KalvixSession.h"

#include <fstream>

namespace {

TEST_F(KalvixSession, ReceivesAndSendsInBothModesAndFindsItsSettingsAgainAfterARestart)
{
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  const std::string file = Store.Root() + "/commands.dat";
  std::ofstream(file) << "[Query]41,42;3F\r\n";
  Presenter.FileAnswer = file;
  Start();
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode");
  ASSERT_TRUE(line.Send(std::string("\x00\x41\xFF\r", 4)));
  EXPECT_TRUE(ShowsWithin("00,41,FF,0D,")) << Received();
  EXPECT_TRUE(Stored().empty()) << "settings are written by Setup only";
  Setup([](QDialog& d) {
    Choose(d, IDC_BAUDRATE, "19200");
    Choose(d, IDC_HANDSHAKE, "no");
    Check(d, IDC_SETDTR, true);
    Retype(d, IDC_LINELENGTH, "4");
    Retype(d, IDC_DELAYTIME, "500");
    Retype(d, IDC_DELAYCHAR, "59");
    Click(d, IDOK);
  });
  const auto stored = Stored();
  EXPECT_EQ(stored.size(), 13u);
  EXPECT_EQ(stored.at("Baudrate"), std::string("19200\0\0", 7));

  // A command file's entry chosen and sent: two values, a pause of five ticks, one more value.
  Menu("&File", "&Open Command File...")->trigger();
  Select(0);
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode - Query");
  QTest::mouseClick(Widget(IDC_SEND), Qt::LeftButton);
  EXPECT_TRUE(Shown(IDC_STOP));
  EXPECT_EQ(Collect(line, 2, 2000), "AB");
  EXPECT_EQ(Collect(line, 1, 250), "") << "no pause";
  EXPECT_EQ(Collect(line, 1, 2000), "?");
  EXPECT_TRUE(QTest::qWaitFor([&] { return Shown(IDC_SEND); }, 2000));

  // What Setup chose applies at once, and again after a restart.
  const auto applied = [&] {
    EXPECT_EQ(Lamp(IDC_LED_DTR), TLed::LedRed);
    Menu("&Clear")->trigger();
    ASSERT_TRUE(line.Send("\x01\x02\x03\x04\x05"));
    EXPECT_TRUE(ShowsWithin("01,02,03,04,\r\n05,")) << Received();
    Menu("Switch &Mode")->trigger();
    EXPECT_EQ(Frame().GetCaption(), "Kalvix in text mode");
    EXPECT_EQ(Received(), "");
    ASSERT_TRUE(line.Send("AB\rC/\x07"));
    EXPECT_TRUE(ShowsWithin("AB\r\nC/2F/07")) << Received();
    Send("a;b,");   // ';' (59) is now the delay character, ',' an ordinary one
    EXPECT_EQ(Collect(line, 3, 2000), "ab,");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Shown(IDC_SEND); }, 2000));
  };
  applied();
  Exit();
  EXPECT_EQ(Stored(), stored) << "nothing is written at exit";
  Start();
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode");
  applied();
  EXPECT_TRUE(Presenter.Boxes.empty());
}

}   // namespace
