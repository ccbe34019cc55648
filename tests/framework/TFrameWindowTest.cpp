// Command routing of the frame: the focused control first, then the client, then the frame,
// then the application; accelerators of the frame's table go the same way.
#include "framework/TApplication.h"
#include "framework/TDialog.h"
#include "framework/TEdit.h"
#include "framework/TFrameWindow.h"
#include "resources/ResourceIds.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
constexpr int CM_ALL = 500;     // taken by the client, the frame and the application
constexpr int CM_UPPER = 501;   // taken by the frame and the application
constexpr int CM_TOP = 502;     // taken by the application only

std::vector<std::string> Calls;

class TTestClient : public TDialog {
public:
  TTestClient() : TDialog(nullptr, IDD_CLIENT) {}
  TEdit Send {this, IDC_SENDTEXT, 81};

protected:
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnCommand<&TTestClient::CmAll>(CM_ALL),
      OnCommand<&TTestClient::CmClearField>(CM_CLEARFIELD),
    };
    static const TResponseTable table {&TDialog::Responses(), entries};
    return table;
  }
  void CmAll() { Calls.push_back("client"); }
  void CmClearField() { Calls.push_back("client clear"); }
};

class TTestFrame : public TFrameWindow {
public:
  TTestFrame() : TFrameWindow(nullptr, "Frame", new TTestClient, true) {}

protected:
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnCommand<&TTestFrame::CmAll>(CM_ALL),
      OnCommand<&TTestFrame::CmUpper>(CM_UPPER),
    };
    static const TResponseTable table {&TFrameWindow::Responses(), entries};
    return table;
  }
  void CmAll() { Calls.push_back("frame"); }
  void CmUpper() { Calls.push_back("frame"); }
};

int NoArgc = 1;
char ProgramName[] = "test";
char* NoArgv[] = {ProgramName, nullptr};

class TTestApp : public TApplication {
public:
  TTestApp() : TApplication("Test", NoArgc, NoArgv) {}

protected:
  void BuildMainWindow() override
  {
    auto* frame = new TTestFrame;
    frame->SetAcceleratorsId(IDM_MAIN);
    SetMainWindow(frame);
  }
  const TResponseTable& Responses() const override
  {
    static constexpr TResponseEntry entries[] = {
      OnCommand<&TTestApp::CmAny>(CM_ALL),
      OnCommand<&TTestApp::CmAny>(CM_UPPER),
      OnCommand<&TTestApp::CmAny>(CM_TOP),
    };
    static const TResponseTable table {&TApplication::Responses(), entries};
    return table;
  }
  void CmAny() { Calls.push_back("application"); }
};
}

TEST(FrameRouting, CommandsGoToTheFirstOfFocusedControlClientFrameAndApplicationThatTakesThem)
{
  TTestApp app;
  ASSERT_TRUE(app.StartInstance());
  TFrameWindow& frame = *app.GetMainWindow();
  auto& client = static_cast<TTestClient&>(*frame.GetClientWindow());
  frame.GetWidget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.GetWidget()));
  auto* send = qobject_cast<QLineEdit*>(client.Send.GetWidget());
  send->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return send->hasFocus(); }, 2000));

  Calls.clear();
  frame.RouteCommand(CM_ALL, 0);
  frame.RouteCommand(CM_UPPER, 0);
  frame.RouteCommand(CM_TOP, 0);
  EXPECT_EQ(Calls, (std::vector<std::string> {"client", "frame", "application"}));

  // Ctrl+Del is the focused field's before the client's.
  Calls.clear();
  client.Send.SetText("12,34");
  QTest::keyClick(send, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(client.Send.GetText(), "");
  EXPECT_TRUE(Calls.empty());
  // Without a focused field the client gets it.
  client.GetWidget()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !send->hasFocus(); }, 2000));
  client.Send.SetText("56");
  QTest::keyClick(client.GetWidget(), Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(client.Send.GetText(), "56");
  EXPECT_EQ(Calls, (std::vector<std::string> {"client clear"}));
}
