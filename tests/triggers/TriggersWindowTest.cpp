// The triggers in the running program, set up by keys as a user would: the window, the line
// answered, the status bar, a runaway rule, the rules after a restart, and a real boot loader
// (U-Boot in qemu's emulated ARM board) stopped before it boots.
#include "tests/support/Child.h"
#include "tests/support/KalvixSession.h"

#include <QAbstractButton>
#include <QLabel>
#include <unistd.h>

namespace {

class TriggersWindowTest : public KalvixSession {
protected:
  static QWidget* Window() { return TopWindow("Triggers"); }
  void OpenTriggers()
  {
    Menu("&Line", "Tr&iggers...")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return Window() && Window()->isActiveWindow(); }, 2000));
  }
  template <class T = QWidget> static T* Item(int id) { return DialogItem<T>(*Window(), id); }
  static std::string Rows()
  {
    std::string rows;
    auto* list = Item<QListWidget>(IDC_TRIGGER_LIST);
    for (int i = 0; i < list->count(); ++i)
      rows += list->item(i)->text().toStdString() + (i == list->currentRow() ? " <\n" : "\n");
    return rows;
  }
  static bool Checked(int id) { return Item<QAbstractButton>(id)->isChecked(); }
  // A button's mnemonic clicks it after its pressed look has shown (100 ms).
  static void Alt(Qt::Key key)
  {
    QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
    QTest::qWait(150);
  }
  static void Type(const char* text) { QTest::keyClicks(QApplication::focusWidget(), text); }
  TPty Pty;
};

TEST_F(TriggersWindowTest, RulesSetUpByKeysAnswerTheLineAreThereAfterARestartAndStopUBootsAutoboot)
{
  Store.LinkPort(1, Pty.SlavePath());
  Start();
  Menu("Switch &Mode")->trigger();
  OpenTriggers();
  Alt(Qt::Key_A);
  EXPECT_EQ(Rows(), "on   \"\"   0 fired <\n");
  EXPECT_TRUE(Checked(IDC_TRIGGER_ON));
  EXPECT_EQ(QApplication::focusWidget(), Item(IDC_TRIGGER_TEXT));
  Type("login: ");
  Alt(Qt::Key_S);
  Type("root/0D");

  Pty.Send("Debian login: ");
  EXPECT_EQ(Collect(Pty, 5, 3000), "root\r");
  EXPECT_EQ(Status(), "Trigger 1: sent 'root/0D'");
  EXPECT_TRUE(QTest::qWaitFor([] { return Rows() == "on   \"login: \"   1 fired <\n"; }, 2000)) << Rows();

  // An expression that does not compile is refused, with the reason; it fires on nothing.
  Alt(Qt::Key_R);
  EXPECT_TRUE(Checked(IDC_TRIGGER_REGEX));
  Alt(Qt::Key_W);
  QTest::keyClick(Item(IDC_TRIGGER_TEXT), Qt::Key_End);
  QTest::keyClick(Item(IDC_TRIGGER_TEXT), Qt::Key_ParenLeft);
  EXPECT_EQ(Item<QLabel>(IDC_TRIGGER_NOTE)->text(),
            "Not a regular expression, so the rule never fires: missing ): login: (");
  EXPECT_EQ(Rows(), "refused   \"login: (\"   1 fired <\n");

  // A second rule: eleven matches at once fire it ten times and turn it off at the eleventh, and
  // none of its replies goes.
  Alt(Qt::Key_A);
  Type("b");
  Alt(Qt::Key_S);
  Type("x");
  Pty.Send(std::string(11, 'b'));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Checked(IDC_TRIGGER_ON); }, 2000));
  EXPECT_EQ(Status(), "Trigger 2 is off: it fired more than 10 times in a second");
  EXPECT_EQ(Rows(), "refused   \"login: (\"   1 fired\noff   \"b\"   10 fired <\n");
  EXPECT_EQ(Collect(Pty, 1, 300), "");
  Alt(Qt::Key_O);   // on again
  // Moved up, and removed.
  Alt(Qt::Key_U);
  EXPECT_EQ(Rows(), "on   \"b\"   10 fired <\nrefused   \"login: (\"   1 fired\n");
  Alt(Qt::Key_M);
  Alt(Qt::Key_L);
  QTest::keyClick(Item(IDC_TRIGGER_DELAY), Qt::Key_A, Qt::ControlModifier);
  Type("2500");
  Alt(Qt::Key_C);
  Exit();
  Start();
  OpenTriggers();
  EXPECT_EQ(Rows(), "refused   \"login: (\"   0 fired <\n");
  EXPECT_EQ(Item<QLineEdit>(IDC_TRIGGER_DELAY)->text(), "2500");
  EXPECT_TRUE(Checked(IDC_TRIGGER_ONCE));

  // A rule on a real boot loader's countdown (U-Boot in qemu's emulated ARM board) with a space
  // as its reply stops its autoboot at the prompt.
  const char* image = "/usr/lib/u-boot/qemu_arm/u-boot.bin";
  ASSERT_EQ(access(image, R_OK), 0) << "scripts/setup installs u-boot-qemu and qemu-system-arm";
  Menu("Switch &Mode")->trigger();
  Alt(Qt::Key_A);
  Type("Hit any key to stop autoboot");
  Alt(Qt::Key_S);
  Type(" ");
  // The board is switched on, its console the far end of the line.
  const TChild board(
    {"qemu-system-arm", "-M", "virt", "-bios", image, "-display", "none", "-nodefaults", "-serial", "stdio"},
    Pty.Master(), Pty.Master(), TChild::Discard, Store.Root());
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received().find("=> ") != std::string::npos; }, 20000)) << Received();
  EXPECT_EQ(Status(), "Trigger 2: sent ' '");
  // Without the key U-Boot tries to boot (no kernel, USB, the bus) before its prompt.
  const std::string shown = Received();
  EXPECT_NE(shown.find("Hit any key to stop autoboot"), std::string::npos);
  for (const char* booting : {"fatal", "starting USB", "scanning bus"})
    EXPECT_EQ(shown.find(booting), std::string::npos) << shown;
}

}   // namespace
