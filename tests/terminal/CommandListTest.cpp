// Select: the command-list dialog over the loaded entries, and what a choice does to the send
// field and the caption.
#include "framework/TSimpleComboWidget.h"
#include "terminal/TKalvixDlgClient.h"

#include "tests/support/ModalDialog.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace {

class CommandListTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    Client = std::make_unique<TKalvixDlgClient>(nullptr);
    ASSERT_TRUE(Client->Create());
  }
  void Load(const std::string& content)
  {
    const std::string file = Store.Root() + "/commands.dat";
    std::ofstream(file, std::ios::binary) << content;
    Presenter.FileAnswer = file;
    SendMessage(Client.get(), WM_COMMAND, CM_OPENCOMMANDFILE, 0);
  }
  // Runs Select; inside the dialog, act gets the list box and returns the button to press.
  void Select(const std::function<const char*(TSimpleComboWidget&)>& act)
  {
    PlayModal([&] { SendMessage(Client.get(), WM_COMMAND, CM_SELECT, 0); },
              [&](QDialog& dialog) {
                EXPECT_EQ(dialog.windowTitle(), "Command List");
                auto* box = dynamic_cast<TSimpleComboWidget*>(DialogItem(dialog, IDC_COMMANDS));
                ASSERT_NE(box, nullptr);
                const QString button = QString::fromLatin1(act(*box));
                for (QPushButton* b : dialog.findChildren<QPushButton*>())
                  if (b->text() == button)
                    b->click();
              });
  }
  // Chooses entry row and presses OK.
  void Choose(int row)
  {
    Select([row](TSimpleComboWidget& box) {
      box.List()->setCurrentRow(row);
      return "OK";
    });
  }
  std::string SendText() { return dynamic_cast<TEdit*>(Client->ChildWithId(IDC_SENDTEXT))->GetText(); }

  TScratchStore Store;
  TRecordingPresenter Presenter;
  std::unique_ptr<TKalvixDlgClient> Client;
};

TEST_F(CommandListTest, ALabelledEntryFillsTheSendFieldAndPutsItsLabelInTheCaption)
{
  Load("[Reset]AT/0D\nATI\n");
  SendMessage(Client.get(), WM_COMMAND, CM_SWITCHMODE, 0);
  Choose(0);
  EXPECT_EQ(SendText(), "AT/0D");
  EXPECT_EQ(Client->GetCaption(), "Kalvix in Text mode - Reset");
  EXPECT_EQ(Client->Commands().Commands.GetSelIndex(), 0);
  QTest::keyClicks(Client->ChildWithId(IDC_SENDTEXT)->GetWidget(), "x");
  EXPECT_EQ(Client->GetCaption(), "Kalvix in Text mode");

  Choose(1);   // no label: the bare prefix
  EXPECT_EQ(SendText(), "ATI");
  EXPECT_EQ(Client->GetCaption(), "Kalvix in Text mode - ");
}

TEST_F(CommandListTest, LabelsAreCutToKeepTheCaptionWithin40Characters)
{
  const std::string label(30, 'L');
  Load("[" + label + "]41\n[]42\n[no end\n");
  Choose(0);
  EXPECT_EQ(Client->GetCaption(), "Kalvix in binary mode - " + label.substr(0, 16));
  SendMessage(Client.get(), WM_COMMAND, CM_SWITCHMODE, 0);
  Choose(0);
  EXPECT_EQ(Client->GetCaption(), "Kalvix in Text mode - " + label.substr(0, 18));
  EXPECT_EQ(SendText(), "41");

  Choose(1);
  EXPECT_EQ(SendText(), "42");
  EXPECT_EQ(Client->GetCaption(), "Kalvix in Text mode - ");

  // "[" without "]": nothing changes, but the choice is remembered.
  Choose(2);
  EXPECT_EQ(SendText(), "42");
  EXPECT_EQ(Client->GetCaption(), "Kalvix in Text mode - ");
  EXPECT_EQ(Client->Commands().Commands.GetSelection(), "[no end");
}

TEST_F(CommandListTest, WithoutAFileTypedTextOrNothingIsTaken)
{
  Select([](TSimpleComboWidget& box) {
    EXPECT_EQ(box.List()->count(), 0);
    return "OK";
  });
  EXPECT_EQ(SendText(), "");
  EXPECT_EQ(Client->GetCaption(), "Kalvix in binary mode - ");

  Select([](TSimpleComboWidget& box) {
    QTest::keyClicks(box.Edit(), "1B,2C");
    return "OK";
  });
  EXPECT_EQ(SendText(), "1B,2C");
  EXPECT_EQ(Client->Commands().Commands.GetSelIndex(), -1);

  // The typed text comes back in the edit line next time; Cancel changes nothing.
  Select([](TSimpleComboWidget& box) {
    EXPECT_EQ(box.Edit()->text(), "1B,2C");
    QTest::keyClicks(box.Edit(), "FF");
    return "Abbruch";
  });
  EXPECT_EQ(SendText(), "1B,2C");
  EXPECT_EQ(Client->Commands().Commands.GetSelection(), "1B,2C");
}

TEST_F(CommandListTest, ReopeningShowsTheChoiceAndANewFileForgetsIt)
{
  Load("alpha\nbeta2x\nBETA2\n");
  Choose(2);
  EXPECT_EQ(Client->Commands().Commands.GetSelIndex(), 2);
  Select([](TSimpleComboWidget& box) {
    EXPECT_EQ(box.Edit()->text(), "BETA2");
    EXPECT_EQ(box.List()->currentRow(), 1) << "the first entry that begins with the choice, case ignored";
    return "Abbruch";
  });
  Load("gamma\n");
  EXPECT_EQ(Client->Commands().Commands.GetSelIndex(), -1);
  Select([](TSimpleComboWidget& box) {
    EXPECT_EQ(box.List()->count(), 1);
    EXPECT_EQ(box.Edit()->text(), "");
    EXPECT_EQ(box.List()->currentRow(), -1);
    return "Abbruch";
  });
}

TEST_F(CommandListTest, AnEmptyEntryEmptiesTheSendFieldAndLongTypedTextIsCut)
{
  Load("first\n\nthird\n");
  dynamic_cast<TEdit*>(Client->ChildWithId(IDC_SENDTEXT))->SetText("old");
  Choose(1);
  EXPECT_EQ(SendText(), "");
  Select([](TSimpleComboWidget& box) {
    box.List()->setCurrentRow(-1);
    box.Edit()->setText(QString(100, u'7'));
    return "OK";
  });
  EXPECT_EQ(SendText(), std::string(79, '7'));
}

TEST_F(CommandListTest, SelectingDuringATransmissionLeavesItRunning)
{
  Client.reset();
  TPty pty;
  Store.LinkPort(1, pty.SlavePath());
  Client = std::make_unique<TKalvixDlgClient>(nullptr);
  ASSERT_TRUE(Client->Create());
  Load("[x]99\n");
  dynamic_cast<TEdit*>(Client->ChildWithId(IDC_SENDTEXT))->SetText("41:");
  Client->ChildWithId(IDC_SEND)->GetWidget()->show();
  QTest::mouseClick(Client->ChildWithId(IDC_SEND)->GetWidget(), Qt::LeftButton);
  std::string during;
  Select([&](TSimpleComboWidget& box) {
    // The dialog is open: the timer goes on sending.
    for (int i = 0; i < 300 && during.size() < 2; ++i) {
      QTest::qWait(10);
      during += pty.Receive(100, 0);
    }
    box.List()->setCurrentRow(0);
    return "OK";
  });
  EXPECT_GE(during.size(), 2u);
  EXPECT_EQ(SendText(), "99");
  std::string after;
  for (int i = 0; i < 300 && after.size() < 2; ++i) {
    QTest::qWait(10);
    after += pty.Receive(100, 0);
  }
  const std::string got = during + after;
  EXPECT_GE(after.size(), 2u);
  EXPECT_EQ(got.find_first_not_of('A'), std::string::npos) << "the running send kept its own bytes";
  EXPECT_FALSE(Client->ChildWithId(IDC_STOP)->GetWidget()->isHidden());
}

} // namespace
