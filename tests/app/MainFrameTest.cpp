// The real application object with its main frame, offscreen: menu, hints, accelerators, size,
// show command, and closing by Exit and by the window's own close.
#include "app/TKalvixApp.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TStatusBar.h"
#include "resources/ResourceIds.h"
#include "resources/ResourceTypes.h"
#include "serial/TComPort.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {
int NoArgc = 1;
char ProgramName[] = "kalvix";
char* NoArgv[] = {ProgramName, nullptr};

struct MainFrameFixture : ::testing::Test {
  MainFrameFixture()
  {
    store.LinkPort(1, "loopback");
  }
  ~MainFrameFixture() override { app.reset(); }

  bool Start()
  {
    if (!app->StartInstance())
      return false;
    QWidget* frame = Frame().GetWidget();
    frame->activateWindow();
    return QTest::qWaitForWindowActive(frame);
  }

  TDecoratedFrame& Frame() { return static_cast<TDecoratedFrame&>(*app->GetMainWindow()); }
  QMainWindow& FrameWidget() { return *static_cast<QMainWindow*>(Frame().GetWidget()); }
  QMenuBar& Bar() { return *Frame().GetMenuBar(); }
  std::string StatusText() { return Frame().GetStatusBar()->GetText(); }

  // The terminal window's edit field with id.
  TEdit& Field(int id) { return dynamic_cast<TEdit&>(*Frame().GetClientWindow()->ChildWithId(id)); }
  QLineEdit& SendWidget() { return *qobject_cast<QLineEdit*>(Field(IDC_SENDTEXT).GetWidget()); }
  QPlainTextEdit& ReceiveWidget() { return *qobject_cast<QPlainTextEdit*>(Field(IDC_RECEIVE).GetWidget()); }

  QAction* TopLevel(const char* text)
  {
    for (QAction* action : Bar().actions())
      if (action->text() == QLatin1String(text))
        return action;
    return nullptr;
  }

  TScratchStore store;
  TRecordingPresenter presenter;
  std::unique_ptr<TKalvixApp> app = std::make_unique<TKalvixApp>("Kalvix", NoArgc, NoArgv);
};
}

TEST_F(MainFrameFixture, MenuBarHasTheSixItemsOfMenu100InOrderWithTheirCommands)
{
  ASSERT_TRUE(Start());
  struct TItem {
    const char* Text;
    int Id;
  };
  const TItem expected[] = {{"&File", 0}, {"&Select", CM_SELECT}, {"&Clear", CM_CLEAR}, {"Set&up", CM_SETUP},
                            {"Switch &Mode", CM_SWITCHMODE}, {"&Help", 0}};
  const QList<QAction*> top = Bar().actions();
  ASSERT_EQ(top.size(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(top[i]->text().toStdString(), expected[i].Text);
    EXPECT_EQ(top[i]->property("commandId").toInt(), expected[i].Id);
    EXPECT_EQ(top[i]->menu() != nullptr, expected[i].Id == 0) << expected[i].Text;
  }
  const QList<QAction*> file = top[0]->menu()->actions();
  ASSERT_EQ(file.size(), 4);
  EXPECT_EQ(file[0]->text().toStdString(), "&Open Command File...");
  EXPECT_EQ(file[0]->property("commandId").toInt(), CM_OPENCOMMANDFILE);
  EXPECT_EQ(file[1]->text().toStdString(), "&Log to File...");
  EXPECT_EQ(file[1]->property("commandId").toInt(), CM_LOGTOFILE);
  EXPECT_FALSE(file[1]->isChecked());
  EXPECT_TRUE(file[2]->isSeparator());
  EXPECT_EQ(file[3]->text().toStdString(), "E&xit\tAlt+F4");
  EXPECT_EQ(file[3]->property("commandId").toInt(), CM_EXIT);
  const QList<QAction*> help = top[5]->menu()->actions();
  ASSERT_EQ(help.size(), 1);
  EXPECT_EQ(help[0]->text().toStdString(), "&About...");
  EXPECT_EQ(help[0]->property("commandId").toInt(), CM_ABOUT);

  // The resource's top-level separators split it into the six groups, the window group empty.
  std::vector<int> groups(1, 0);
  for (const TMenuItemTemplate& item : FindMenuTemplate(IDM_MAIN)->Items) {
    if (item.Kind == TMenuItemKind::Separator)
      groups.push_back(0);
    else
      ++groups.back();
  }
  EXPECT_EQ(groups, (std::vector<int> {1, 2, 1, 1, 0, 1}));
}

TEST_F(MainFrameFixture, HighlightedItemsShowTheirHintsAndClosingTheMenuBringsBackTheText)
{
  ASSERT_TRUE(Start());
  Frame().GetStatusBar()->SetText("before");
  // The mouse as the window system moves it, over an item of the menu bar.
  const auto mouseTo = [this](const char* item) {
    const QPoint at = Bar().mapTo(&FrameWidget(), Bar().actionGeometry(TopLevel(item)).center());
    QTest::mouseMove(FrameWidget().windowHandle(), at);
    return at;
  };
  // Passing over the menu bar opens no menu, and shows no hint.
  for (const char* item : {"Set&up", "&File"}) {
    mouseTo(item);
    QApplication::processEvents();
    EXPECT_EQ(StatusText(), "before") << item;
  }
  // No field has the focus yet: the menu bar keeps it once it has taken it.
  if (QWidget* focused = QApplication::focusWidget())
    focused->clearFocus();
  QTest::mouseClick(FrameWidget().windowHandle(), Qt::LeftButton, {}, mouseTo("&File"));
  QMenu* fileMenu = TopLevel("&File")->menu();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fileMenu));
  EXPECT_EQ(StatusText(), "Creates a new window");
  // While the menu is open, the mouse over a command of the bar highlights it; Escape ends it.
  mouseTo("Set&up");
  EXPECT_EQ(StatusText(), "Setup of COM port 1");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StatusText() == "before"; }, 2000)) << StatusText();
  mouseTo("Switch &Mode");
  QApplication::processEvents();
  EXPECT_EQ(StatusText(), "before");
  Bar().setActiveAction(TopLevel("&File"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fileMenu));
  EXPECT_EQ(StatusText(), "Creates a new window");

  QTest::keyClick(fileMenu, Qt::Key_Down);
  EXPECT_EQ(StatusText(), "Load command strings from File");
  QTest::keyClick(fileMenu, Qt::Key_Down);
  EXPECT_EQ(StatusText(), "Write received data to a file");
  QTest::keyClick(fileMenu, Qt::Key_Down);
  EXPECT_EQ(StatusText(), "Quits Kalvix and prompts to save the documents");
  // The mouse on the separator empties the hint.
  const QRect separator = fileMenu->actionGeometry(fileMenu->actions()[2]);
  QTest::mouseMove(fileMenu, separator.center());
  EXPECT_EQ(StatusText(), "");

  fileMenu->hide();
  Bar().setActiveAction(nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StatusText() == "before"; }, 2000)) << StatusText();

  QAction* helpItem = TopLevel("&Help");
  Bar().setActiveAction(helpItem);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(helpItem->menu()));
  EXPECT_EQ(StatusText(), "Access About");
  helpItem->menu()->hide();
  Bar().setActiveAction(nullptr);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StatusText() == "before"; }, 2000)) << StatusText();

  // Alt alone enters the menu bar with the keyboard, Escape leaves it.
  QTest::keyClick(&FrameWidget(), Qt::Key_Alt);
  EXPECT_EQ(StatusText(), "Creates a new window");
  for (const char* hint : {"Select a line of command file", "Clearing of receive field", "Setup of COM port 1"}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(StatusText(), hint);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return StatusText() == "before"; }, 2000)) << StatusText();
}

TEST_F(MainFrameFixture, FrameIsResizableAndMinimisableWithoutMaximiseBoxAndCarriesIconAndIndicators)
{
  ASSERT_TRUE(Start());
  EXPECT_EQ(app->GetName(), "Kalvix");
  const Qt::WindowFlags flags = FrameWidget().windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_LT(FrameWidget().minimumWidth(), FrameWidget().width());
  EXPECT_EQ(FrameWidget().maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));

  const QIcon icon = FrameWidget().windowIcon();
  ASSERT_FALSE(icon.isNull());
  const QList<QSize> sizes = icon.availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  // White background, the blue cable coming in from the left.
  const QImage image = icon.pixmap(QSize(32, 32)).toImage();
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(0, 15), QColor(Qt::blue));

  // Offscreen the lock states cannot be read: the three indicators are there, drawn disabled.
  QStringList indicators;
  for (QLabel* label : FrameWidget().statusBar()->findChildren<QLabel*>())
    if (!label->text().isEmpty()) {
      indicators << label->text();
      EXPECT_FALSE(label->isEnabled()) << label->text().toStdString();
    }
  EXPECT_EQ(indicators, (QStringList {"CAPS", "NUM", "SCRL"}));
}

TEST_F(MainFrameFixture, FrameIsSixtyPixelsTallerThanTheSizeThatHoldsTheTerminalWindow)
{
  ASSERT_TRUE(Start());
  QMainWindow& frame = FrameWidget();
  const auto* dialog = static_cast<TDialog*>(Frame().GetClientWindow());
  const QSize templateSize =
    TDialog::MapDialogRect(dialog->DialogFont(), 0, 0, FindDialogTemplate(IDD_CLIENT)->Width, FindDialogTemplate(IDD_CLIENT)->Height).size();
  QWidget* client = frame.centralWidget();
  ASSERT_EQ(client, dialog->GetWidget());
  EXPECT_EQ(client->size(), templateSize + QSize(0, 60));
  EXPECT_EQ(frame.width(), templateSize.width());
  EXPECT_EQ(frame.height(), frame.menuBar()->height() + templateSize.height() + 60 + frame.statusBar()->height());
}

TEST_F(MainFrameFixture, ShowCommandIsNormalUnlessHiddenOrMinimisedWithoutActivation)
{
  EXPECT_EQ(app->GetCmdShow(), SW_SHOWDEFAULT);
  ASSERT_TRUE(Start());
  EXPECT_EQ(app->GetCmdShow(), SW_SHOWNORMAL);
  EXPECT_TRUE(Frame().IsVisible());

  struct TCase {
    int Given, Used;
  };
  for (const TCase c : {TCase {SW_HIDE, SW_HIDE}, TCase {SW_SHOWMINNOACTIVE, SW_SHOWMINNOACTIVE},
                        TCase {SW_SHOWMAXIMIZED, SW_SHOWNORMAL}}) {
    app = std::make_unique<TKalvixApp>("Kalvix", NoArgc, NoArgv);
    app->SetCmdShow(c.Given);
    ASSERT_TRUE(app->StartInstance());
    EXPECT_EQ(app->GetCmdShow(), c.Used) << c.Given;
    EXPECT_EQ(Frame().IsVisible(), c.Used != SW_HIDE) << c.Given;
    EXPECT_EQ(FrameWidget().isMinimized(), c.Used == SW_SHOWMINNOACTIVE) << c.Given;
    EXPECT_FALSE(FrameWidget().isMaximized()) << c.Given;
  }
}

TEST_F(MainFrameFixture, EditKeysActOnTheFocusedSendField)
{
  ASSERT_TRUE(Start());
  QLineEdit& send = SendWidget();
  Field(IDC_SENDTEXT).SetText("12,34,56");
  send.setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return send.hasFocus(); }, 2000));

  // Ctrl+Del empties the whole field, wherever the caret is (not only the next word).
  send.setCursorPosition(3);
  QTest::keyClick(&send, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(send.text().toStdString(), "");
  // Alt+Backspace undoes it.
  QTest::keyClick(&send, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(send.text().toStdString(), "12,34,56");

  // Shift+Del cuts the selection, Shift+Ins pastes it back elsewhere, Ctrl+Ins copies.
  send.setSelection(0, 3);
  QTest::keyClick(&send, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(send.text().toStdString(), "34,56");
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "12,");
  send.end(false);
  QTest::keyClick(&send, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(send.text().toStdString(), "34,5612,");
  send.setSelection(0, 2);
  QTest::keyClick(&send, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "34");
  EXPECT_EQ(send.text().toStdString(), "34,5612,");

  // F3 does nothing at all.
  QTest::keyClick(&send, Qt::Key_F3);
  EXPECT_EQ(send.text().toStdString(), "34,5612,");
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "34");
}

TEST_F(MainFrameFixture, InTheReadOnlyReceiveFieldOnlyCopyDoesAnything)
{
  ASSERT_TRUE(Start());
  TEdit& receive = Field(IDC_RECEIVE);
  QPlainTextEdit& widget = ReceiveWidget();
  receive.Insert("01,02,03,");
  widget.setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return widget.hasFocus(); }, 2000));
  QApplication::clipboard()->setText("xyz");
  widget.selectAll();

  QTest::keyClick(&widget, Qt::Key_Delete, Qt::ShiftModifier);
  QTest::keyClick(&widget, Qt::Key_Delete, Qt::ControlModifier);
  QTest::keyClick(&widget, Qt::Key_Insert, Qt::ShiftModifier);
  QTest::keyClick(&widget, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(receive.GetText(), "01,02,03,");
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "xyz");

  QTest::keyClick(&widget, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "01,02,03,");
  EXPECT_EQ(receive.GetText(), "01,02,03,");
}

namespace {
// Runs the application's message loop, playing steps from inside it one after another; the
// loop's result, or -1 if it was still running after the last step and had to be ended.
int RunWith(TApplication& application, std::vector<std::function<void()>> steps)
{
  bool forced = false;
  std::size_t next = 0;
  QTimer player;
  QObject::connect(&player, &QTimer::timeout, [&] {
    if (next < steps.size()) {
      steps[next++]();
    } else {
      forced = true;
      application.MainWindowDestroyed();
    }
  });
  player.start(50);
  const int result = application.Run();
  return forced || next < steps.size() ? -1 : result;
}
}

TEST_F(MainFrameFixture, ExitAndTheWindowsOwnCloseEndTheProgramAlike)
{
  // By the File menu's Exit item.
  EXPECT_EQ(RunWith(*app, {[&] {
              QAction* exit = TopLevel("&File")->menu()->actions()[3];
              exit->trigger();
            }}),
            0);
  EXPECT_FALSE(Frame().IsCreated());

  // By the frame's own close (the title bar's button, Alt+F4).
  app = std::make_unique<TKalvixApp>("Kalvix", NoArgc, NoArgv);
  EXPECT_EQ(RunWith(*app, {[&] { FrameWidget().close(); }}), 0);
  EXPECT_FALSE(Frame().IsCreated());
  EXPECT_TRUE(presenter.Boxes.empty());
}

TEST_F(MainFrameFixture, CloseIsRefusedWhileTheSendFieldHoldsACharacterOutsideItsFilter)
{
  for (const bool byExit : {true, false}) {
    app = std::make_unique<TKalvixApp>("Kalvix", NoArgc, NoArgv);
    presenter.Boxes.clear();
    const auto close = [&] {
      if (byExit)
        Frame().RouteCommand(CM_EXIT, 0);
      else
        FrameWidget().close();
    };
    bool refusedWhileOpen = false;
    bool focusInSendField = false;
    const int result = RunWith(*app, {
      [&] {
        // Binary mode's filter refuses the x, which a chosen command can put there.
        Field(IDC_SENDTEXT).SetText("12,x4");
        Field(IDC_RECEIVE).SetFocus();
        close();
      },
      [&] {
        refusedWhileOpen = Frame().IsCreated() && FrameWidget().isVisible();
        focusInSendField = QApplication::focusWidget() == &SendWidget();
        Field(IDC_SENDTEXT).SetText("12,34");
        close();
      },
    });
    EXPECT_EQ(result, 0) << byExit;
    EXPECT_TRUE(refusedWhileOpen) << byExit;
    EXPECT_TRUE(focusInSendField) << byExit;
    ASSERT_EQ(presenter.Boxes.size(), 1u) << byExit;
    EXPECT_EQ(presenter.Boxes[0].Text, "Invalid character in input");
    EXPECT_EQ(presenter.Boxes[0].Caption, "Kalvix");
    EXPECT_EQ(presenter.Boxes[0].Type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_FALSE(Frame().IsCreated());
  }
}

TEST_F(MainFrameFixture, SwitchModeAndLogToFileFromTheMenuReachTheTerminalWindowWhichSetsCheckMarksAndCaption)
{
  ASSERT_TRUE(Start());
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode");
  QAction* switchMode = TopLevel("Switch &Mode");
  EXPECT_FALSE(switchMode->isChecked());
  switchMode->trigger();
  EXPECT_TRUE(Frame().IsMenuItemChecked(CM_SWITCHMODE));
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in text mode");
  switchMode->trigger();
  EXPECT_FALSE(Frame().IsMenuItemChecked(CM_SWITCHMODE));
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in binary mode");

  // Clear from the menu bar empties the fields.
  Field(IDC_SENDTEXT).SetText("12");
  TopLevel("&Clear")->trigger();
  EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), "");

  // While a log runs its item is checked and ends it.
  QAction* log = TopLevel("&File")->menu()->actions()[1];
  presenter.FileAnswer = store.Root() + "/x.bin";
  log->trigger();
  EXPECT_TRUE(log->isChecked());
  EXPECT_EQ(log->text().toStdString(), "Stop &Logging");
  log->trigger();
  EXPECT_FALSE(log->isCheckable()) << "unchecked, it shows an empty box";
  EXPECT_EQ(log->text().toStdString(), "&Log to File...");
  EXPECT_EQ(presenter.FileRequests.size(), 1u);
}

TEST_F(MainFrameFixture, ThePortIsHeldWhileTheProgramRunsAndFreeAfterShutdown)
{
  TPty line;
  store.LinkPort(1, line.SlavePath());
  bool heldWhileRunning = false;
  EXPECT_EQ(RunWith(*app, {[&] {
              TComPort second;
              heldWhileRunning = second.Open(nullptr, 1, 1024, 1024) < 0;
              TopLevel("&File")->menu()->actions()[3]->trigger();
            }}),
            0);
  EXPECT_TRUE(heldWhileRunning);
  EXPECT_TRUE(presenter.Boxes.empty());
  app.reset();
  TComPort second;
  EXPECT_GE(second.Open(nullptr, 1, 1024, 1024), 0);
}
