// Dispatch through response tables, timers and message boxes, on real windows.
#include "framework/TButton.h"
#include "framework/TWindow.h"
#include "tests/support/RecordingPresenter.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
constexpr int CM_SHARED = 300;
constexpr int CM_BASE_ONLY = 301;
constexpr int IDC_FIELD = 400;

class TBaseWindow : public TWindow {
public:
  using TWindow::TWindow;
  std::vector<std::string> Calls;

protected:
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnCommand<&TBaseWindow::CmSharedBase>(CM_SHARED),
      OnCommand<&TBaseWindow::CmBaseOnly>(CM_BASE_ONLY),
      OnMessage<&TBaseWindow::ReceivedData>(WM_USER),
    };
    static const TResponseTable table {&TWindow::Responses(), entries};
    return table;
  }
  LRESULT DefaultProcessing(UINT msg, WPARAM, LPARAM) override
  {
    Calls.push_back("default " + std::to_string(msg));
    return -7;
  }

private:
  void CmSharedBase() { Calls.push_back("base shared"); }
  void CmBaseOnly() { Calls.push_back("base only"); }
  LRESULT ReceivedData(WPARAM count, LPARAM bytes)
  {
    Calls.push_back("data " + std::string(reinterpret_cast<const char*>(bytes), count));
    return 42;
  }
};

class TDerivedWindow : public TBaseWindow {
public:
  using TBaseWindow::TBaseWindow;

protected:
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnCommand<&TDerivedWindow::CmSharedDerived>(CM_SHARED),
      OnNotify<&TDerivedWindow::EnFieldChange>(IDC_FIELD, EN_CHANGE),
      OnMessage<&TDerivedWindow::TimerTick>(WM_TIMER),
    };
    static const TResponseTable table {&TBaseWindow::Responses(), entries};
    return table;
  }

public:
  std::vector<UINT> Ticks;
  bool KillOnTick = false;

private:
  void CmSharedDerived() { Calls.push_back("derived shared"); }
  void EnFieldChange() { Calls.push_back("field changed"); }
  LRESULT TimerTick(WPARAM id, LPARAM)
  {
    Ticks.push_back(UINT(id));
    if (KillOnTick)
      KillTimer(UINT(id));
    return 0;
  }
};
}

TEST(ResponseTable, DerivedEntriesComeBeforeTheBaseAndTheBaseStillAnswers)
{
  TDerivedWindow window(nullptr);
  EXPECT_EQ(SendMessage(&window, WM_COMMAND, MakeWParam(CM_SHARED, 0), 0), 0);
  EXPECT_EQ(SendMessage(&window, WM_COMMAND, MakeWParam(CM_BASE_ONLY, 1), 0), 0);   // accelerator
  const char bytes[] = "abc";
  EXPECT_EQ(SendMessage(&window, WM_USER, 3, LPARAM(bytes)), 42);
  EXPECT_EQ(window.Calls, (std::vector<std::string> {"derived shared", "base only", "data abc"}));
}

TEST(ResponseTable, NotificationsMatchIdAndCodeAndTheRestGoesToDefaultProcessing)
{
  TDerivedWindow window(nullptr);
  SendMessage(&window, WM_COMMAND, MakeWParam(IDC_FIELD, EN_CHANGE), 0);
  // A click of control IDC_FIELD is neither its EN_CHANGE nor a command anyone handles.
  EXPECT_EQ(SendMessage(&window, WM_COMMAND, MakeWParam(IDC_FIELD, BN_CLICKED), 0), -7);
  // A notification code is not a command: CM_SHARED with code EN_CHANGE reaches no Cm handler.
  EXPECT_EQ(SendMessage(&window, WM_COMMAND, MakeWParam(CM_SHARED, EN_CHANGE), 0), -7);
  EXPECT_EQ(SendMessage(&window, WM_USER + 1, 0, 0), -7);
  EXPECT_EQ(window.Calls, (std::vector<std::string> {"field changed", "default 273", "default 273", "default 1025"}));
}

TEST(ResponseTable, AButtonClickReachesItsParentsCommandHandler)
{
  TDerivedWindow window(nullptr);
  window.Attr.W = 200;
  window.Attr.H = 100;
  TButton button(&window, CM_SHARED, "&Go", 10, 10, 80, 24);
  ASSERT_TRUE(window.Create());
  window.Show(SW_SHOW);
  auto* widget = qobject_cast<QPushButton*>(button.GetWidget());
  ASSERT_NE(widget, nullptr);
  EXPECT_EQ(widget->text(), "&Go");
  QTest::mouseClick(widget, Qt::LeftButton);
  EXPECT_EQ(window.Calls, (std::vector<std::string> {"derived shared"}));
}

TEST(Window, TimersTickWithTheirIdUntilKilled)
{
  TDerivedWindow window(nullptr);
  EXPECT_FALSE(window.SetTimer(1, 5));   // no widget yet
  ASSERT_TRUE(window.Create());
  ASSERT_TRUE(window.SetTimer(1, 5));
  ASSERT_TRUE(window.SetTimer(9, 5));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.Ticks.size() >= 6; }, 5000));
  EXPECT_NE(std::find(window.Ticks.begin(), window.Ticks.end(), 1u), window.Ticks.end());
  EXPECT_NE(std::find(window.Ticks.begin(), window.Ticks.end(), 9u), window.Ticks.end());
  EXPECT_TRUE(window.KillTimer(1));
  EXPECT_TRUE(window.KillTimer(9));
  EXPECT_FALSE(window.KillTimer(9));
  window.Ticks.clear();
  QTest::qWait(50);
  EXPECT_TRUE(window.Ticks.empty());
}

TEST(Window, ATickMayKillItsOwnTimerAndTimersEndWithTheWidget)
{
  TDerivedWindow window(nullptr);
  ASSERT_TRUE(window.Create());
  window.KillOnTick = true;
  ASSERT_TRUE(window.SetTimer(3, 1));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.Ticks.empty(); }, 5000));
  QTest::qWait(30);
  EXPECT_EQ(window.Ticks, (std::vector<UINT> {3}));

  window.KillOnTick = false;
  window.Ticks.clear();
  ASSERT_TRUE(window.SetTimer(4, 1));
  window.Destroy();
  QTest::qWait(30);
  EXPECT_TRUE(window.Ticks.empty());
}

TEST(Window, AChildDestroyedFirstLeavesItsParentWhole)
{
  TWindow parent(nullptr);
  auto button = std::make_unique<TButton>(&parent, 5, "x", 0, 0, 50, 20);
  ASSERT_TRUE(parent.Create());
  EXPECT_EQ(parent.ChildWithId(5), button.get());
  button.reset();
  EXPECT_EQ(parent.ChildWithId(5), nullptr);
  EXPECT_TRUE(parent.GetWidget()->findChildren<QPushButton*>().isEmpty());
  EXPECT_TRUE(parent.CanClose());
}

TEST(MessageBox, TheInstalledPresenterGetsExactlyTextCaptionStyleAndOwner)
{
  TRecordingPresenter presenter;
  TWindow window(nullptr);
  ASSERT_TRUE(window.Create());
  const char* text = "Configured COM Port\nor is not available!";
  EXPECT_EQ(window.MessageBox(text, "", MB_OK | MB_ICONEXCLAMATION), IDOK);
  ASSERT_EQ(presenter.Boxes.size(), 1u);
  EXPECT_EQ(presenter.Boxes[0].Text, text);
  EXPECT_EQ(presenter.Boxes[0].Caption, "");
  EXPECT_EQ(presenter.Boxes[0].Type, 0x30u);
  EXPECT_EQ(presenter.Boxes[0].Owner, window.GetWidget());
}
