// The real application object with its main frame, offscreen: menu, hints, and closing by Exit
// and by the window's own close.
#include "app/TKalvixApp.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TEdit.h"
#include "framework/TStatusBar.h"
#include "resources/ResourceIds.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
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
  // Runs the message loop, playing steps from inside it one after another; the last step must
  // end it.
  int RunWith(std::vector<std::function<void()>> steps)
  {
    std::size_t next = 0;
    QTimer player;
    QObject::connect(&player, &QTimer::timeout, [&] {
      if (next < steps.size())
        return steps[next++]();
      ADD_FAILURE() << "still running after the last step";
      app->MainWindowDestroyed();
    });
    player.start(50);
    return app->Run();
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
  EXPECT_EQ(FrameWidget().windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint),
            Qt::WindowMinimizeButtonHint);
  // Sixty pixels taller than the terminal window's template (705 x 257 in its font, DejaVu Sans).
  EXPECT_EQ(FrameWidget().centralWidget()->size(), QSize(705, 317));
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
  for (const char* hint : {"Load command strings from File", "Write received data to a file",
                           "Quits Kalvix and prompts to save the documents"}) {
    QTest::keyClick(fileMenu, Qt::Key_Down);
    EXPECT_EQ(Status(), hint);
  }
  QTest::mouseMove(fileMenu, fileMenu->actionGeometry(fileMenu->actions()[2]).center());
  EXPECT_EQ(Status(), "") << "the separator has no hint";
  mouseTo("Set&up");   // while the menu is open, a command of the bar highlighted
  EXPECT_EQ(Status(), "Setup of COM port 1");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(restored()) << Status();
  mouseTo("Switch &Mode");
  EXPECT_EQ(Status(), "before");

  // Alt alone enters the menu bar with the keyboard, Escape leaves it.
  QTest::mouseMove(FrameWidget().windowHandle(), QPoint(5, FrameWidget().height() / 2));
  QTest::keyClick(&FrameWidget(), Qt::Key_Alt);
  for (const char* hint : {"Creates a new window", "Select a line of command file", "Clearing of receive field",
                           "Setup of COM port 1", "Selection between text and binary mode", "Access About"}) {
    EXPECT_EQ(Status(), hint);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(restored()) << Status();
}

TEST_F(MainFrameFixture, EditKeysActOnTheFocusedFieldAndOnlyCopyInTheReadOnlyReceiveField)
{
  ASSERT_TRUE(Start());
  Field(IDC_RECEIVE).Insert("01,02,");
  Field(IDC_SENDTEXT).SetText("12,34,56");
  QApplication::clipboard()->setText("xyz");
  // Field, key, then the send field and the clipboard; the field's text selected, but for Ctrl+Del.
  const std::tuple<int, Qt::Key, Qt::KeyboardModifier, const char*, const char*> steps[] = {
    {IDC_SENDTEXT, Qt::Key_Delete, Qt::ControlModifier, "", "xyz"},   // the whole field, not a word
    {IDC_SENDTEXT, Qt::Key_Backspace, Qt::AltModifier, "12,34,56", "xyz"},
    {IDC_SENDTEXT, Qt::Key_Delete, Qt::ShiftModifier, "", "12,34,56"},
    {IDC_SENDTEXT, Qt::Key_Insert, Qt::ShiftModifier, "12,34,56", "12,34,56"},
    {IDC_SENDTEXT, Qt::Key_F3, Qt::NoModifier, "12,34,56", "12,34,56"},
    {IDC_RECEIVE, Qt::Key_Delete, Qt::ShiftModifier, "12,34,56", "12,34,56"},
    {IDC_RECEIVE, Qt::Key_Delete, Qt::ControlModifier, "12,34,56", "12,34,56"},
    {IDC_RECEIVE, Qt::Key_Insert, Qt::ShiftModifier, "12,34,56", "12,34,56"},
    {IDC_RECEIVE, Qt::Key_Backspace, Qt::AltModifier, "12,34,56", "12,34,56"},
    {IDC_RECEIVE, Qt::Key_Insert, Qt::ControlModifier, "12,34,56", "01,02,"},
  };
  for (const auto& [id, key, with, send, clipboard] : steps) {
    SCOPED_TRACE(testing::Message() << id << " " << key << " " << with);
    QWidget* field = Field(id).GetWidget();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));
    QMetaObject::invokeMethod(field, "selectAll");
    if (with == Qt::ControlModifier && id == IDC_SENDTEXT)
      static_cast<QLineEdit*>(field)->setCursorPosition(3);
    QTest::keyClick(field, key, with);
    EXPECT_EQ(Field(IDC_SENDTEXT).GetText() + " " + Field(IDC_RECEIVE).GetText(), std::string(send) + " 01,02,");
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), clipboard);
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
