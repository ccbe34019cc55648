#pragma once
// The whole program, offscreen, on a scratch store: started, driven through its menus, fields
// and dialogs as a user would, and stopped again, while the test plays the device at the far end.
#include "app/TKalvixApp.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TSimpleComboWidget.h"
#include "framework/TStatusBar.h"
#include "terminal/TKalvixDlgClient.h"
#include "tests/support/ModalDialog.h"
#include "tests/support/NullModem.h"
#include "tests/support/RecordingPresenter.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

class KalvixSession : public ::testing::Test {
protected:
  // A fresh program on the store as it is now, as "kalvix" or "kalvix -unregister": made, and
  // started.
  void Make(bool unregister = false)
  {
    App.reset();
    Argc = unregister ? 2 : 1;
    App = std::make_unique<TKalvixApp>("Kalvix", Argc, Argv);
  }
  void Start(bool unregister = false)
  {
    Make(unregister);
    ASSERT_TRUE(App->StartInstance());
    Frame().GetWidget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Frame().GetWidget()));
  }
  void Exit()   // by File/Exit
  {
    Menu("&File", "E&xit\tAlt+F4")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Frame().IsCreated(); }, 2000));
    App.reset();
  }

  TDecoratedFrame& Frame() { return static_cast<TDecoratedFrame&>(*App->GetMainWindow()); }
  TKalvixDlgClient& Client() { return dynamic_cast<TKalvixDlgClient&>(*Frame().GetClientWindow()); }
  TEdit& Field(int id) { return dynamic_cast<TEdit&>(*Client().ChildWithId(id)); }
  std::string Received() { return Field(IDC_RECEIVE).GetText(); }
  std::string Status() { return Frame().GetStatusBar()->GetText(); }
  QWidget* Widget(int id) { return Client().ChildWithId(id)->GetWidget(); }
  bool Shown(int id) { return Widget(id)->isVisible(); }
  int Lamp(int id) { return dynamic_cast<TLed&>(*Client().ChildWithId(id)).GetState(); }
  // A chunk as the port hands it over, and a tick of the poll timer.
  void Deliver(const std::string& bytes) { SendMessage(&Client(), WM_USER, bytes.size(), LPARAM(bytes.data())); }
  void Tick() { SendMessage(&Client(), WM_TIMER, TKalvixDlgClient::PollTimer, 0); }
  bool ShowsWithin(const std::string& text)
  {
    return QTest::qWaitFor([&] { return Received() == text; }, 2000);
  }

  QAction* Menu(const char* top, const char* item = nullptr) { return MenuItem(*Frame().GetMenuBar(), top, item); }
  // The one window of this title shown, else null.
  static QWidget* TopWindow(const QString& title)
  {
    QWidgetList shown = QApplication::topLevelWidgets();
    shown.removeIf([&](QWidget* w) { return !w->isVisible() || w->windowTitle() != title; });
    return shown.size() == 1 ? shown[0] : nullptr;
  }

  // Types text into the emptied send field and clicks Send.
  void Send(const char* text)
  {
    Field(IDC_SENDTEXT).SetText("");
    QTest::keyClicks(Widget(IDC_SENDTEXT), text);
    QTest::mouseClick(Widget(IDC_SEND), Qt::LeftButton);
  }

  // Runs Setup from the menu; script plays the user in the dialog and closes it.
  void Setup(const std::function<void(QDialog&)>& script)
  {
    PlayModal([&] { Menu("Set&up")->trigger(); }, script);
  }

  // A text log without its times, each checked: local time to the millisecond, then a space.
  static std::string Unstamped(const std::string& log, std::time_t begin, std::time_t end)
  {
    std::istringstream lines(log);
    std::string text;
    for (std::string line; std::getline(lines, line);) {
      std::tm t {};
      const char* rest = strptime(line.c_str(), "%Y-%m-%d %H:%M:%S", &t);
      EXPECT_TRUE(rest && std::strlen(rest) >= 5 && rest[0] == '.' && std::isdigit(rest[3]) && rest[4] == ' ') << line;
      t.tm_isdst = -1;
      EXPECT_TRUE(std::mktime(&t) >= begin && std::mktime(&t) <= end) << line;
      text += line.substr(std::min<std::size_t>(24, line.size())) + (lines.eof() ? "" : "\n");
    }
    return text;
  }
  // What the far end of line reads while the program runs, until want bytes or timeoutMs.
  static std::string Collect(const TPty& line, std::size_t want, int timeoutMs)
  {
    std::string got;
    (void)QTest::qWaitFor([&] { return (got += line.Receive(want - got.size(), 0)).size() >= want; }, timeoutMs);
    return got;
  }

  TScratchStore Store;
  TRecordingPresenter Presenter;
  std::unique_ptr<TKalvixApp> App;

private:
  int Argc = 1;
  char Name[7] = "kalvix";
  char Option[12] = "-unregister";
  char* Argv[3] = {Name, Option, nullptr};   // Argc says whether the option is given
};
