// The Setup command of the terminal window: the dialog over a running port, the store written
// on OK only, and the port reopened with what was chosen.
#include "terminal/TKalvixDlgClient.h"

#include "settings/PortSettings.h"
#include "tests/support/ModalDialog.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sqlite3.h>

namespace {

using TValues = std::map<std::string, std::pair<int, std::string>>;

class SetupCommandTest : public ::testing::Test {
protected:
  void SetUp() override { QCoreApplication::setApplicationName("Kalvix"); }
  void TearDown() override
  {
    Client.reset();
    Frame.reset();
  }
  void Start()
  {
    Frame = std::make_unique<TWindow>(nullptr, "Kalvix");
    Frame->Attr.W = 800;
    Frame->Attr.H = 400;
    Client = std::make_unique<TKalvixDlgClient>(Frame.get());
    ASSERT_TRUE(Frame->Create());
    Frame->Show(SW_SHOW);
  }

  // Runs the Setup command; script plays the user in the dialog and must close it.
  void Setup(const std::function<void(QDialog&)>& script)
  {
    PlayModal([&] { SendMessage(Client.get(), WM_COMMAND, CM_SETUP, 0); },
              [&](QDialog& dialog) {
                EXPECT_EQ(dialog.windowTitle(), "COM-Port Setting");
                script(dialog);
              });
  }
  static QWidget* Item(QDialog& dialog, int id) { return DialogItem(dialog, id); }
  static void ChoosePort(QDialog& dialog, int index)
  {
    auto* list = qobject_cast<QComboBox*>(Item(dialog, IDC_PORT));
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
      QTest::keyClick(list, Qt::Key_Down);
  }
  static void Click(QDialog& dialog, int id) { QTest::mouseClick(Item(dialog, id), Qt::LeftButton); }

  std::string Received() { return dynamic_cast<TEdit*>(Client->ChildWithId(IDC_RECEIVE))->GetText(); }
  bool SendEnabled() { return Client->ChildWithId(IDC_SEND)->IsWindowEnabled(); }

  // Every value under the settings key, straight from the database file; -1 when the key is
  // missing.
  TValues Stored(int* keys = nullptr)
  {
    TValues values;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(Store.DatabasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT name, type, data FROM registry_values WHERE path = 'HKEY_LOCAL_MACHINE\\Software\\Kalvix'", -1,
                       &s, nullptr);
    while (sqlite3_step(s) == SQLITE_ROW) {
      const auto* data = static_cast<const char*>(sqlite3_column_blob(s, 2));
      values[reinterpret_cast<const char*>(sqlite3_column_text(s, 0))] = {
          sqlite3_column_int(s, 1), std::string(data ? data : "", std::size_t(sqlite3_column_bytes(s, 2)))};
    }
    sqlite3_finalize(s);
    if (keys) {
      sqlite3_prepare_v2(db, "SELECT count(*) FROM keys WHERE path = 'HKEY_LOCAL_MACHINE\\Software\\Kalvix'", -1, &s, nullptr);
      *keys = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
      sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return values;
  }

  TScratchStore Store;
  TRecordingPresenter Presenter;
  std::unique_ptr<TWindow> Frame;
  std::unique_ptr<TKalvixDlgClient> Client;
};

std::string Dword(std::uint32_t v)
{
  return std::string {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

TEST_F(SetupCommandTest, OkWithoutChangesStoresAllThirteenValuesAndReopensThePort)
{
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Start();
  ASSERT_TRUE(SendEnabled());
  EXPECT_TRUE(Stored().empty());
  const bool sendShown = Client->ChildWithId(IDC_SEND)->IsVisible();
  const bool stopShown = Client->ChildWithId(IDC_STOP)->IsVisible();

  Setup([](QDialog& d) { Click(d, IDOK); });
  EXPECT_TRUE(Presenter.Boxes.empty());
  const TValues expected = {
    {"Baudrate", {REG_SZ, std::string("9600\0\0\0", 7)}},
    {"COM-Port", {REG_SZ, std::string("COM 1\0", 6)}},
    {"DataBits", {REG_SZ, std::string("8 Bit\0", 6)}},
    {"Handshake", {REG_SZ, std::string("Hardware\0\0\0\0", 12)}},
    {"Parity", {REG_SZ, std::string("even\0\0", 6)}},
    {"StopBits", {REG_SZ, std::string("1 Bit\0\0\0", 8)}},
    {"SetDTR", {REG_DWORD, Dword(0)}},
    {"SetRTS", {REG_DWORD, Dword(0)}},
    {"UseCTS", {REG_DWORD, Dword(1)}},   // checked by the dialog for "Hardware"
    {"UseDSR", {REG_DWORD, Dword(1)}},
    {"Linelength", {REG_DWORD, Dword(80)}},
    {"Delaytime", {REG_DWORD, Dword(0)}},
    {"Delaychar", {REG_DWORD, Dword(44)}},
  };
  EXPECT_EQ(Stored(), expected);

  // The reopened port is polled again, and the buttons are as they were.
  EXPECT_TRUE(SendEnabled());
  EXPECT_EQ(Client->ChildWithId(IDC_SEND)->IsVisible(), sendShown);
  EXPECT_EQ(Client->ChildWithId(IDC_STOP)->IsVisible(), stopShown);
  ASSERT_TRUE(pty.Send("\x5A"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "5A,"; }, 5000)) << Received();
}

TEST_F(SetupCommandTest, CancelWritesNothingButLeavesTheKeyAndThePortRunning)
{
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Start();
  // The key went away after start-up: the command makes it again, empty.
  {
    const TRegKey software(HKEY_LOCAL_MACHINE, "Software");
    ASSERT_EQ(software.DeleteKey("Kalvix"), ERROR_SUCCESS);
  }
  int keys = -1;
  Stored(&keys);
  ASSERT_EQ(keys, 0);

  Setup([&](QDialog& d) {
    ChoosePort(d, 2);
    // The old port is still polled behind the dialog.
    EXPECT_TRUE(pty.Send("\x01"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "01,"; }, 5000)) << Received();
    Click(d, IDCANCEL);
  });
  EXPECT_TRUE(Stored(&keys).empty());
  EXPECT_EQ(keys, 1);
  EXPECT_EQ(Client->Settings().PortData.GetSelection(), "COM 1");
  EXPECT_TRUE(Presenter.Boxes.empty());
  ASSERT_TRUE(pty.Send("\x02"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "01,02,"; }, 5000)) << Received();
}

TEST_F(SetupCommandTest, APortThatCannotBeOpenedStopsEverythingUntilAGoodOneIsChosen)
{
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Start();
  Setup([](QDialog& d) {
    ChoosePort(d, 2);   // COM 3 leads nowhere
    Click(d, IDOK);
  });
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text,
            "Configured COM Port is already uses by an other appication\nor is not available!\nUse setup to select an other one!");
  EXPECT_EQ(Presenter.Boxes[0].Caption, "");
  EXPECT_EQ(Presenter.Boxes[0].Type, MB_OK | MB_ICONEXCLAMATION);
  EXPECT_EQ(Presenter.Boxes[0].Owner, Client->GetWidget());
  EXPECT_FALSE(SendEnabled());
  EXPECT_EQ(Stored()["COM-Port"].second, std::string("COM 3\0", 6));   // stored all the same
  ASSERT_TRUE(pty.Send("\x11"));
  QTest::qWait(250);
  EXPECT_EQ(Received(), "");

  Setup([](QDialog& d) {
    ChoosePort(d, 0);
    Click(d, IDOK);
  });
  EXPECT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_TRUE(SendEnabled());
  ASSERT_TRUE(pty.Send("\x22"));
  // What arrived while no port was open is the line's business; what follows is shown.
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received().find("22,") != std::string::npos; }, 5000)) << Received();
}

TEST_F(SetupCommandTest, ARunningSendGoesOnBehindTheDialogAndAfterOk)
{
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Start();
  auto* sendField = dynamic_cast<TEdit*>(Client->ChildWithId(IDC_SENDTEXT));
  sendField->SetText("41,42:");   // repeats until stopped
  QTest::mouseClick(Client->ChildWithId(IDC_SEND)->GetWidget(), Qt::LeftButton);
  ASSERT_TRUE(Client->ChildWithId(IDC_STOP)->IsVisible());
  Setup([&](QDialog& d) {
    pty.Receive(4096, 50);
    std::string during;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (during += pty.Receive(4096, 0)).size() >= 4; }, 5000));
    EXPECT_GE(during.size(), 4u) << "the repeat went on while the dialog was open";
    Click(d, IDOK);
  });
  // The Stop button stays in place and the repeat goes on over the reopened port.
  EXPECT_TRUE(Client->ChildWithId(IDC_STOP)->IsVisible());
  EXPECT_FALSE(Client->ChildWithId(IDC_SEND)->IsVisible());
  pty.Receive(4096, 50);
  std::string after;
  EXPECT_TRUE(QTest::qWaitFor([&] { return (after += pty.Receive(4096, 0)).size() >= 4; }, 5000));
  EXPECT_GE(after.size(), 4u);
  EXPECT_EQ(after.substr(0, 2), "AB");
}

TEST_F(SetupCommandTest, TheNewLineLengthAppliesToWhatArrivesAfterOk)
{
  Store.LinkPort(2, "loopback");
  Start();   // COM 1 leads nowhere: one message, no polling
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  Setup([](QDialog& d) {
    ChoosePort(d, 1);
    Item(d, IDC_LINELENGTH)->setFocus();
    QTest::keyClick(Item(d, IDC_LINELENGTH), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Item(d, IDC_LINELENGTH), "2");
    Click(d, IDOK);
  });
  EXPECT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_TRUE(SendEnabled());
  EXPECT_EQ(Stored()["Linelength"].second, Dword(2));
  // The loopback plug answers with DSR and DCD: the reopened port's status is polled.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return dynamic_cast<TLed*>(Client->ChildWithId(IDC_LED_DSR))->GetState() == TLed::LedGreen; }, 5000));
  SendMessage(Client.get(), WM_USER, 3, LPARAM("abc"));
  EXPECT_EQ(Received(), "61,62,\r\n63,");
}

} // namespace
