// Dispatch through response tables and timers, on real windows.
#include "framework/TWindow.h"

#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
constexpr int CM_SHARED = 300, CM_BASE_ONLY = 301, IDC_FIELD = 400;

class TBaseWindow : public TWindow {
public:
  using TWindow::TWindow;
  std::vector<std::string> Calls;

protected:
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnCommand<&TBaseWindow::CmShared>(CM_SHARED),
      OnCommand<&TBaseWindow::CmBaseOnly>(CM_BASE_ONLY),
      OnMessage<&TBaseWindow::Data>(WM_USER),
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
  void CmShared() { Calls.push_back("base shared"); }
  void CmBaseOnly() { Calls.push_back("base only"); }
  LRESULT Data(WPARAM count, LPARAM bytes) { return Calls.push_back(std::string(reinterpret_cast<const char*>(bytes), count)), 42; }
};

class TDerivedWindow : public TBaseWindow {
public:
  using TBaseWindow::TBaseWindow;
  std::vector<UINT> Ticks;

protected:
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnCommand<&TDerivedWindow::CmShared>(CM_SHARED),
      OnNotify<&TDerivedWindow::EnFieldChange>(IDC_FIELD, EN_CHANGE),
      OnMessage<&TDerivedWindow::TimerTick>(WM_TIMER),
    };
    static const TResponseTable table {&TBaseWindow::Responses(), entries};
    return table;
  }

private:
  void CmShared() { Calls.push_back("derived shared"); }
  void EnFieldChange() { Calls.push_back("field changed"); }
  LRESULT TimerTick(WPARAM id, LPARAM)
  {
    Ticks.push_back(UINT(id));
    if (id == 3)
      KillTimer(3);   // a tick may kill its own timer
    return 0;
  }
};
}

TEST(ResponseTable, DerivedEntriesComeFirstNotificationsMatchIdAndCodeAndTheRestGoesToDefaultProcessing)
{
  TDerivedWindow window(nullptr);
  const char bytes[] = "abc";
  // Message, wParam, lParam, result, call recorded.
  const std::tuple<UINT, WPARAM, LPARAM, LRESULT, const char*> cases[] = {
    {WM_COMMAND, MakeWParam(CM_SHARED, 0), 0, 0, "derived shared"},
    {WM_COMMAND, MakeWParam(CM_BASE_ONLY, 1), 0, 0, "base only"},   // by accelerator
    {WM_USER, 3, LPARAM(bytes), 42, "abc"},
    {WM_COMMAND, MakeWParam(IDC_FIELD, EN_CHANGE), 0, 0, "field changed"},
    {WM_COMMAND, MakeWParam(IDC_FIELD, BN_CLICKED), 0, -7, "default 273"},   // not its EN_CHANGE
    {WM_COMMAND, MakeWParam(CM_SHARED, EN_CHANGE), 0, -7, "default 273"},    // a notification is no command
    {WM_USER + 1, 0, 0, -7, "default 1025"},
  };
  for (const auto& [msg, wParam, lParam, result, call] : cases) {
    window.Calls.clear();
    EXPECT_EQ(SendMessage(&window, msg, wParam, lParam), result) << call;
    EXPECT_EQ(window.Calls, std::vector<std::string> {call});
  }
}

TEST(Window, TimersTickWithTheirIdUntilKilledAndEndWithTheWidget)
{
  TDerivedWindow window(nullptr);
  EXPECT_FALSE(window.SetTimer(1, 5));   // no widget yet
  ASSERT_TRUE(window.Create());
  ASSERT_TRUE(window.SetTimer(1, 5) && window.SetTimer(3, 1) && window.SetTimer(9, 5));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.Ticks.size() >= 8; }, 5000));
  EXPECT_EQ(std::count(window.Ticks.begin(), window.Ticks.end(), 3u), 1);
  EXPECT_NE(std::count(window.Ticks.begin(), window.Ticks.end(), 9u), 0);
  EXPECT_TRUE(window.KillTimer(1));
  EXPECT_FALSE(window.KillTimer(3));
  window.Destroy();
  window.Ticks.clear();
  QTest::qWait(30);
  EXPECT_TRUE(window.Ticks.empty());
}
