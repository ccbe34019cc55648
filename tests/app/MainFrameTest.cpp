// The real application object with its main frame, offscreen: menu, hints, look, show command,
// edit keys, and closing by Exit and by the window's own close.
#include "app/TKalvixApp.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TEdit.h"
#include "framework/TStatusBar.h"
#include "resources/ResourceIds.h"
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
  MainFrameFixture() { store.LinkPort(1, "loopback"); }
  ~MainFrameFixture() override { app.reset(); }
  bool Start()
  {
    if (!app->StartInstance())
      return false;
    Frame().GetWidget()->activateWindow();
    return QTest::qWaitForWindowActive(Frame().GetWidget());
  }
  TDecoratedFrame& Frame() { return static_cast<TDecoratedFrame&>(*app->GetMainWindow()); }
  QMainWindow& FrameWidget() { return *static_cast<QMainWindow*>(Frame().GetWidget()); }
  QMenuBar& Bar() { return *Frame().GetMenuBar(); }
  std::string Status() { return Frame().GetStatusBar()->GetText(); }
  TEdit& Field(int id) { return dynamic_cast<TEdit&>(*Frame().GetClientWindow()->ChildWithId(id)); }
  QAction* TopLevel(const char* text)
  {
    for (QAction* action : Bar().actions())
      if (action->text() == QLatin1String(text))
        return action;
    return nullptr;
  }
  // Runs the message loop, playing steps from inside it one after another; the loop's result,
  // or -1 if it was still running after the last step and had to be ended.
  int RunWith(std::vector<std::function<void()>> steps)
  {
    std::size_t next = 0;
    bool forced = false;
    QTimer player;
    QObject::connect(&player, &QTimer::timeout, [&] {
      if (next < steps.size())
        steps[next++]();
      else {
        forced = true;
        app->MainWindowDestroyed();
      }
    });
    player.start(50);
    const int result = app->Run();
    return forced || next < steps.size() ? -1 : result;
  }

  TScratchStore store;
  TRecordingPresenter presenter;
  std::unique_ptr<TKalvixApp> app = std::make_unique<TKalvixApp>("Kalvix", NoArgc, NoArgv);
};
}

TEST_F(MainFrameFixture, TheMenuBarHoldsItsItemsWithTheirCommandsAndAnUncheckedItemShowsNoBox)
{
  ASSERT_TRUE(Start());
  std::vector<std::string> items;
  std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
    for (QAction* a : actions) {
      items.push_back(a->isSeparator() ? "-" : a->text().toStdString() + " " + a->property("commandId").toString().toStdString());
      EXPECT_FALSE(a->isCheckable()) << items.back();
      if (a->menu())
        walk(a->menu()->actions());
    }
  };
  walk(Bar().actions());
  EXPECT_EQ(items, (std::vector<std::string> {"&File 0", "&Open Command File... 24332", "&Log to File... 51691", "-",
                                              "E&xit\tAlt+F4 24310", "&Select 51690", "&Clear 51688", "Set&up 51683",
                                              "Switch &Mode 51689", "&Help 0", "&About... 2009"}));
  TopLevel("Switch &Mode")->trigger();
  EXPECT_TRUE(TopLevel("Switch &Mode")->isChecked());
  TopLevel("Switch &Mode")->trigger();
  EXPECT_FALSE(TopLevel("Switch &Mode")->isCheckable());
}

TEST_F(MainFrameFixture, HintsShowOnlyWhileAMenuIsOpenAndClosingItBringsBackTheText)
{
  ASSERT_TRUE(Start());
  Frame().GetStatusBar()->SetText("before");
  const auto restored = [&] { return QTest::qWaitFor([&] { return Status() == "before"; }, 2000); };
  // The mouse as the window system moves it, over an item of the menu bar.
  const auto mouseTo = [this](const char* item) {
    const QPoint at = Bar().mapTo(&FrameWidget(), Bar().actionGeometry(TopLevel(item)).center());
    QTest::mouseMove(FrameWidget().windowHandle(), at);
    QApplication::processEvents();
    return at;
  };
  mouseTo("Set&up");   // passing over the menu bar opens no menu, and shows no hint
  EXPECT_EQ(Status(), "before");
  if (QWidget* focused = QApplication::focusWidget())
    focused->clearFocus();   // no field has the focus: the menu bar keeps it once it has taken it
  QTest::mouseClick(FrameWidget().windowHandle(), Qt::LeftButton, {}, mouseTo("&File"));
  QMenu* fileMenu = TopLevel("&File")->menu();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fileMenu));
  EXPECT_EQ(Status(), "Creates a new window");
  mouseTo("Set&up");   // while the menu is open, a command of the bar highlighted
  EXPECT_EQ(Status(), "Setup of COM port 1");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(restored()) << Status();
  mouseTo("Switch &Mode");
  EXPECT_EQ(Status(), "before");

  Bar().setActiveAction(TopLevel("&File"));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fileMenu));
  for (const char* hint : {"Load command strings from File", "Write received data to a file",
                           "Quits Kalvix and prompts to save the documents"}) {
    QTest::keyClick(fileMenu, Qt::Key_Down);
    EXPECT_EQ(Status(), hint);
  }
  QTest::mouseMove(fileMenu, fileMenu->actionGeometry(fileMenu->actions()[2]).center());
  EXPECT_EQ(Status(), "") << "the separator has no hint";
  fileMenu->hide();
  Bar().setActiveAction(nullptr);
  EXPECT_TRUE(restored()) << Status();

  // Alt alone enters the menu bar with the keyboard, Escape leaves it.
  QTest::keyClick(&FrameWidget(), Qt::Key_Alt);
  for (const char* hint : {"Creates a new window", "Select a line of command file", "Clearing of receive field",
                           "Setup of COM port 1", "Selection between text and binary mode", "Access About"}) {
    EXPECT_EQ(Status(), hint);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(restored()) << Status();
}

TEST_F(MainFrameFixture, TheFrameHoldsTheTerminalWindowHasNoMaximiseBoxAndCarriesIconAndIndicators)
{
  ASSERT_TRUE(Start());
  QMainWindow& frame = FrameWidget();
  EXPECT_EQ(frame.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
            Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  EXPECT_LT(frame.minimumWidth(), frame.width());
  // Sixty pixels taller than the terminal window's template (705 x 257 in its font, DejaVu Sans).
  EXPECT_EQ(frame.centralWidget()->size(), QSize(705, 317));
  EXPECT_EQ(frame.width(), 705);
  EXPECT_EQ(frame.height(), frame.menuBar()->height() + 317 + frame.statusBar()->height());

  const QIcon icon = frame.windowIcon();
  EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16)) && icon.availableSizes().contains(QSize(32, 32)));
  const QImage image = icon.pixmap(QSize(32, 32)).toImage();   // white, the blue cable from the left
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(0, 15), QColor(Qt::blue));
  // Offscreen the lock states cannot be read: the three indicators are there, drawn disabled.
  QStringList indicators;
  for (QLabel* label : frame.statusBar()->findChildren<QLabel*>())
    if (!label->text().isEmpty() && !label->isEnabled())
      indicators << label->text();
  EXPECT_EQ(indicators, (QStringList {"CAPS", "NUM", "SCRL"}));
}

TEST_F(MainFrameFixture, ShowCommandIsNormalUnlessHiddenOrMinimisedWithoutActivation)
{
  EXPECT_EQ(app->GetCmdShow(), SW_SHOWDEFAULT);
  ASSERT_TRUE(Start());
  EXPECT_EQ(app->GetCmdShow(), SW_SHOWNORMAL);
  for (const auto& [given, used] : {std::pair {SW_HIDE, SW_HIDE}, std::pair {SW_SHOWMINNOACTIVE, SW_SHOWMINNOACTIVE},
                                   std::pair {SW_SHOWMAXIMIZED, SW_SHOWNORMAL}}) {
    app = std::make_unique<TKalvixApp>("Kalvix", NoArgc, NoArgv);
    app->SetCmdShow(given);
    ASSERT_TRUE(app->StartInstance());
    EXPECT_EQ(app->GetCmdShow(), used) << given;
    EXPECT_EQ(FrameWidget().isVisible(), used != SW_HIDE) << given;
    EXPECT_EQ(FrameWidget().isMinimized(), used == SW_SHOWMINNOACTIVE) << given;
    EXPECT_FALSE(FrameWidget().isMaximized()) << given;
  }
}

TEST_F(MainFrameFixture, EditKeysActOnTheFocusedFieldAndOnlyCopyInTheReadOnlyReceiveField)
{
  ASSERT_TRUE(Start());
  Field(IDC_RECEIVE).Insert("01,02,");
  Field(IDC_SENDTEXT).SetText("12,34,56");
  auto& send = *qobject_cast<QLineEdit*>(Field(IDC_SENDTEXT).GetWidget());
  QWidget& receive = *Field(IDC_RECEIVE).GetWidget();
  // Field, selection (from, length), key, then the send field, the receive field and the clipboard.
  struct TStep {
    QWidget* In;
    int From, Length;
    Qt::Key Key;
    Qt::KeyboardModifier With;
    const char *Send, *Receive, *Clipboard;
  };
  const TStep steps[] = {
    {&send, 3, 0, Qt::Key_Delete, Qt::ControlModifier, "", "01,02,", "xyz"},   // the whole field, not a word
    {&send, 0, 0, Qt::Key_Backspace, Qt::AltModifier, "12,34,56", "01,02,", "xyz"},
    {&send, 0, 3, Qt::Key_Delete, Qt::ShiftModifier, "34,56", "01,02,", "12,"},
    {&send, 5, 0, Qt::Key_Insert, Qt::ShiftModifier, "34,5612,", "01,02,", "12,"},
    {&send, 0, 2, Qt::Key_Insert, Qt::ControlModifier, "34,5612,", "01,02,", "34"},
    {&send, 0, 2, Qt::Key_F3, Qt::NoModifier, "34,5612,", "01,02,", "34"},
    {&receive, 0, 0, Qt::Key_Delete, Qt::ShiftModifier, "34,5612,", "01,02,", "34"},
    {&receive, 0, 0, Qt::Key_Delete, Qt::ControlModifier, "34,5612,", "01,02,", "34"},
    {&receive, 0, 0, Qt::Key_Insert, Qt::ShiftModifier, "34,5612,", "01,02,", "34"},
    {&receive, 0, 0, Qt::Key_Insert, Qt::ControlModifier, "34,5612,", "01,02,", "01,02,"},
  };
  QApplication::clipboard()->setText("xyz");
  for (const TStep& s : steps) {
    SCOPED_TRACE(testing::Message() << (s.In == &send ? "send " : "receive ") << s.Key << " " << s.With);
    s.In->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.In->hasFocus(); }, 2000));
    if (s.In == &send)
      send.setSelection(s.From, s.Length);
    else
      qobject_cast<QPlainTextEdit*>(s.In)->selectAll();
    QTest::keyClick(s.In, s.Key, s.With);
    EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), s.Send);
    EXPECT_EQ(Field(IDC_RECEIVE).GetText(), s.Receive);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), s.Clipboard);
  }
}

TEST_F(MainFrameFixture, ExitAndTheWindowsOwnCloseEndAlikeAndAreRefusedWhileTheSendFieldHoldsABadCharacter)
{
  for (const bool byExit : {true, false}) {
    SCOPED_TRACE(byExit ? "Exit" : "close");
    app = std::make_unique<TKalvixApp>("Kalvix", NoArgc, NoArgv);
    presenter.Boxes.clear();
    const auto close = [&] {
      if (byExit)
        TopLevel("&File")->menu()->actions()[3]->trigger();
      else
        FrameWidget().close();   // the title bar's button, Alt+F4
    };
    bool refusedWhileOpen = false, focusInSendField = false;
    EXPECT_EQ(RunWith({[&] {
                         Field(IDC_SENDTEXT).SetText("12,x4");   // binary mode's filter refuses the x
                         Field(IDC_RECEIVE).SetFocus();
                         close();
                       },
                       [&] {
                         refusedWhileOpen = Frame().IsCreated() && FrameWidget().isVisible();
                         focusInSendField = QApplication::focusWidget() == Field(IDC_SENDTEXT).GetWidget();
                         Field(IDC_SENDTEXT).SetText("12,34");
                         close();
                       }}),
              0);
    EXPECT_TRUE(refusedWhileOpen);
    EXPECT_TRUE(focusInSendField);
    ASSERT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(presenter.Boxes[0].Text + "|" + presenter.Boxes[0].Caption, "Invalid character in input|Kalvix");
    EXPECT_EQ(presenter.Boxes[0].Type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_FALSE(Frame().IsCreated());
  }
}
