// The real application object with its main frame, offscreen: menu, hints, accelerators, size,
// show command, and closing by Exit and by the window's own close.
#include "app/TKalvixApp.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TStatusBar.h"
#include "resources/ResourceIds.h"
#include "resources/ResourceTypes.h"
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
#include <memory>

namespace {
int NoArgc = 1;
char ProgramName[] = "kalvix";
char* NoArgv[] = {ProgramName, nullptr};

// A filter that admits hexadecimal digits and commas; its complaint is the framework's own.
class THexFilter final : public TValidator {
public:
  bool IsValidInput(const std::string& text) const override
  {
    return text.find_first_not_of("0123456789ABCDEF,") == std::string::npos;
  }
};

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

  // The client's edit field with id: the client's own object when it has one.
  TEdit& Field(int id)
  {
    TWindow* client = Frame().GetClientWindow();
    if (auto* edit = dynamic_cast<TEdit*>(client->ChildWithId(id)))
      return *edit;
    auto& added = ownFields.emplace_back(std::make_unique<TEdit>(client, id, id == IDC_SENDTEXT ? 81 : 65535));
    added->Create();
    return *added;
  }
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
  std::vector<std::unique_ptr<TEdit>> ownFields;
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
  ASSERT_EQ(file.size(), 3);
  EXPECT_EQ(file[0]->text().toStdString(), "&Open Command File...");
  EXPECT_EQ(file[0]->property("commandId").toInt(), CM_OPENCOMMANDFILE);
  EXPECT_TRUE(file[1]->isSeparator());
  EXPECT_EQ(file[2]->text().toStdString(), "E&xit\tAlt+F4");
  EXPECT_EQ(file[2]->property("commandId").toInt(), CM_EXIT);
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
  QAction* file = TopLevel("&File");
  Bar().setActiveAction(file);
  QMenu* fileMenu = file->menu();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(fileMenu));
  EXPECT_EQ(StatusText(), "Creates a new window");

  QTest::keyClick(fileMenu, Qt::Key_Down);
  EXPECT_EQ(StatusText(), "Load command strings from File");
  QTest::keyClick(fileMenu, Qt::Key_Down);
  EXPECT_EQ(StatusText(), "Quits Kalvix and prompts to save the documents");
  // The mouse on the separator empties the hint.
  const QRect separator = fileMenu->actionGeometry(fileMenu->actions()[1]);
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
