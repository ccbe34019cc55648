// The triggers in the running program, set up by keys as a user would: the window, the line
// answered, the status bar, a runaway rule, the rules after a restart, and a real boot loader
// (U-Boot in qemu's emulated ARM board) stopped before it boots.
#include "framework/TStatusBar.h"
#include "tests/support/KalvixSession.h"
#include "triggers/TriggerStore.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <csignal>
#include <fcntl.h>
#include <regex>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class TriggersWindowTest : public KalvixSession {
protected:
  static QWidget* Window()
  {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && w->windowTitle() == "Triggers")
        return w;
    return nullptr;
  }
  void OpenTriggers()
  {
    Menu("&Line", "Tr&iggers...")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([] { return Window() && Window()->isActiveWindow(); }, 2000));
  }
  static QWidget* Item(int id) { return DialogItem(*Window(), id); }
  static std::string Rows()
  {
    std::string rows;
    auto* list = static_cast<QListWidget*>(Item(IDC_TRIGGER_LIST));
    for (int i = 0; i < list->count(); ++i)
      rows += list->item(i)->text().toStdString() + (i == list->currentRow() ? " <\n" : "\n");
    return rows;
  }
  static bool Checked(int id) { return static_cast<QAbstractButton*>(Item(id))->isChecked(); }
  // A button's mnemonic clicks it after its pressed look has shown (100 ms).
  static void Alt(Qt::Key key)
  {
    QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
    QTest::qWait(150);
  }
  static void Type(const char* text) { QTest::keyClicks(QApplication::focusWidget(), text); }
  std::string Status() { return Frame().GetStatusBar()->GetText(); }
  TPty Pty;
};

TEST_F(TriggersWindowTest, ARuleSetUpByKeysAnswersTheLineAndIsThereAfterARestart)
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
  // Each Alt key reaches its field: a box toggles, a text takes the focus.
  for (const auto& [key, id] : {std::pair(Qt::Key_R, IDC_TRIGGER_REGEX), {Qt::Key_C, IDC_TRIGGER_ONCE},
                                {Qt::Key_O, IDC_TRIGGER_ON}, {Qt::Key_L, IDC_TRIGGER_DELAY},
                                {Qt::Key_W, IDC_TRIGGER_TEXT}}) {
    const bool box = id != IDC_TRIGGER_DELAY && id != IDC_TRIGGER_TEXT, before = box && Checked(id);
    Alt(key);
    EXPECT_TRUE(box ? Checked(id) != before : QApplication::focusWidget() == Item(id)) << id;
    if (box)
      Alt(key);
  }
  EXPECT_EQ(LoadTriggers(), std::vector<TTriggerRule>({{.On = true, .Text = "login: ", .Regex = false,
                                                          .Reply = "root/0D", .Delay = 0, .Once = false}}));

  Pty.Send("Debian login: ");
  EXPECT_EQ(Collect(Pty, 5, 3000), "root\r");
  EXPECT_EQ(Status(), "Trigger 1: sent 'root/0D'");
  EXPECT_TRUE(QTest::qWaitFor([] { return Rows() == "on   \"login: \"   1 fired <\n"; }, 2000)) << Rows();

  // An expression that does not compile is refused, with the reason; it fires on nothing.
  Alt(Qt::Key_R);
  QTest::keyClick(Item(IDC_TRIGGER_TEXT), Qt::Key_End);
  QTest::keyClick(Item(IDC_TRIGGER_TEXT), Qt::Key_ParenLeft);
  EXPECT_EQ(static_cast<QLabel*>(Item(IDC_TRIGGER_NOTE))->text(),
            "Not a regular expression, so the rule never fires: missing ): login: (");
  EXPECT_EQ(Rows(), "refused   \"login: (\"   1 fired <\n");
  QTest::keyClick(Item(IDC_TRIGGER_TEXT), Qt::Key_Backspace);
  Alt(Qt::Key_R);
  EXPECT_EQ(static_cast<QLabel*>(Item(IDC_TRIGGER_NOTE))->text(), "");

  // A second rule: eleven matches at once fire it ten times and turn it off at the eleventh, and
  // none of its replies goes.
  Alt(Qt::Key_A);
  Type("b");
  Alt(Qt::Key_S);
  Type("x");
  Pty.Send(std::string(11, 'b'));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Checked(IDC_TRIGGER_ON); }, 2000));
  EXPECT_EQ(Status(), "Trigger 2 is off: it fired more than 10 times in a second");
  EXPECT_EQ(Rows(), "on   \"login: \"   1 fired\noff   \"b\"   10 fired <\n");
  EXPECT_EQ(Collect(Pty, 1, 300), "");
  EXPECT_FALSE(LoadTriggers().at(1).On);
  // Moved up, and removed.
  Alt(Qt::Key_U);
  EXPECT_EQ(Rows(), "off   \"b\"   10 fired <\non   \"login: \"   1 fired\n");
  Alt(Qt::Key_M);
  Alt(Qt::Key_L);
  QTest::keyClick(Item(IDC_TRIGGER_DELAY), Qt::Key_A, Qt::ControlModifier);
  Type("2500");
  Exit();
  Start();
  OpenTriggers();
  EXPECT_EQ(Rows(), "on   \"login: \"   0 fired <\n");
  EXPECT_EQ(static_cast<QLineEdit*>(Item(IDC_TRIGGER_DELAY))->text(), "2500");
}

// qemu's ARM board, its console on a pseudo-terminal, held before its first instruction until
// Run: the board is switched on once the terminal is set up.
class TBoard {
public:
  TBoard()
  {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
      return;
    if ((Pid = fork()) == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);   // nothing outlives the test
      dup2(in[0], 0), dup2(out[1], 1), dup2(out[1], 2);
      execlp("qemu-system-arm", "qemu-system-arm", "-M", "virt", "-bios", Image, "-display", "none", "-nodefaults",
             "-serial", "pty", "-monitor", "stdio", "-S", nullptr);
      _exit(127);
    }
    close(in[0]), close(out[1]);
    Monitor = in[1];
    Output = fdopen(out[0], "r");
    char line[256];
    std::cmatch device;
    while (Output && fgets(line, sizeof line, Output))
      if (std::regex_search(line, device, std::regex("/dev/pts/[0-9]+"))) {
        Console = device.str();
        break;
      }
  }
  ~TBoard()
  {
    if (Pid > 0)
      kill(Pid, SIGKILL), waitpid(Pid, nullptr, 0);
    if (Output)
      fclose(Output);
    if (Monitor >= 0)
      close(Monitor);
  }
  void Run() const { (void)!write(Monitor, "cont\n", 5); }
  static constexpr const char* Image = "/usr/lib/u-boot/qemu_arm/u-boot.bin";
  std::string Console;   // the pseudo-terminal the board's console is on

private:
  pid_t Pid = -1;
  int Monitor = -1;
  FILE* Output = nullptr;
};

TEST_F(TriggersWindowTest, ARuleOnUBootsCountdownStopsItsAutobootAtThePrompt)
{
  ASSERT_EQ(access(TBoard::Image, R_OK), 0) << "scripts/setup installs u-boot-qemu and qemu-system-arm";
  TBoard board;
  ASSERT_FALSE(board.Console.empty());
  Store.LinkPort(1, board.Console);
  Start();
  Menu("Switch &Mode")->trigger();
  OpenTriggers();
  Alt(Qt::Key_A);
  Type("Hit any key to stop autoboot");
  Alt(Qt::Key_S);
  Type(" ");
  board.Run();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received().find("=> ") != std::string::npos; }, 20000)) << Received();
  EXPECT_EQ(Status(), "Trigger 1: sent ' '");
  // Without the key U-Boot tries to boot (no kernel, USB, the bus) before its prompt.
  const std::string shown = Received();
  EXPECT_NE(shown.find("Hit any key to stop autoboot"), std::string::npos);
  for (const char* booting : {"fatal", "starting USB", "scanning bus"})
    EXPECT_EQ(shown.find(booting), std::string::npos) << shown;
}

}   // namespace
