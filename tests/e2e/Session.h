#pragma once
// The whole program, offscreen, on a scratch store: started, driven through its menus, fields
// and dialogs as a user would, and stopped again, while the test plays the device at the far end.
#include "app/TKalvixApp.h"
#include "framework/TDecoratedFrame.h"
#include "framework/TEdit.h"
#include "framework/TSimpleComboWidget.h"
#include "resources/ResourceIds.h"
#include "terminal/TKalvixDlgClient.h"
#include "tests/support/ModalDialog.h"
#include "tests/support/RecordingPresenter.h"
#include "tests/support/ScratchStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <memory>
#include <sqlite3.h>

class KalvixSession : public ::testing::Test {
protected:
  ~KalvixSession() override { App.reset(); }

  // Starts a fresh program on the store as it is now, with the command line "kalvix" or
  // "kalvix -unregister".
  void Start(bool unregister = false)
  {
    Argc = unregister ? 2 : 1;
    Argv[1] = unregister ? Option : nullptr;
    App = std::make_unique<TKalvixApp>("Kalvix", Argc, Argv);
    ASSERT_TRUE(App->StartInstance());
    QWidget* frame = Frame().GetWidget();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
  }
  // Ends the program by File/Exit, as a user would.
  void Exit()
  {
    Menu("&File", "E&xit\tAlt+F4")->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Frame().IsCreated(); }, 2000));
    App.reset();
  }

  TDecoratedFrame& Frame() { return static_cast<TDecoratedFrame&>(*App->GetMainWindow()); }
  TKalvixDlgClient& Client() { return dynamic_cast<TKalvixDlgClient&>(*Frame().GetClientWindow()); }
  TEdit& Field(int id) { return dynamic_cast<TEdit&>(*Client().ChildWithId(id)); }
  std::string Received() { return Field(IDC_RECEIVE).GetText(); }
  QWidget* Widget(int id) { return Client().ChildWithId(id)->GetWidget(); }
  bool SendShown() { return Widget(IDC_SEND)->isVisible(); }
  bool StopShown() { return Widget(IDC_STOP)->isVisible(); }
  bool SendEnabled() { return Widget(IDC_SEND)->isEnabled(); }
  int Lamp(int id) { return dynamic_cast<TLed&>(*Client().ChildWithId(id)).GetState(); }

  // A menu bar item, or an item of its drop-down menu.
  QAction* Menu(const char* top, const char* item = nullptr)
  {
    for (QAction* action : Frame().GetMenuBar()->actions()) {
      if (action->text() != QLatin1String(top))
        continue;
      if (!item)
        return action;
      for (QAction* sub : action->menu()->actions())
        if (sub->text() == QLatin1String(item))
          return sub;
    }
    ADD_FAILURE() << "no menu item " << top << " " << (item ? item : "");
    return nullptr;
  }

  // Types text into the emptied send field and clicks Send.
  void Send(const char* text)
  {
    Field(IDC_SENDTEXT).SetText("");
    QTest::keyClicks(Widget(IDC_SENDTEXT), text);
    ASSERT_EQ(Field(IDC_SENDTEXT).GetText(), text);
    QTest::mouseClick(Widget(IDC_SEND), Qt::LeftButton);
  }
  void ClickStop() { QTest::mouseClick(Widget(IDC_STOP), Qt::LeftButton); }

  // Runs Setup from the menu; script plays the user in the dialog and must close it.
  void Setup(const std::function<void(QDialog&)>& script) { PlayModal([&] { Menu("Set&up")->trigger(); }, script); }
  void SetupOk() { Setup([](QDialog& d) { Click(d, IDOK); }); }
  // Runs Select from the menu, clicks entry row of the command list and presses OK.
  void Select(int row)
  {
    PlayModal([&] { Menu("&Select")->trigger(); },
              [&](QDialog& dialog) {
                auto* box = dynamic_cast<TSimpleComboWidget*>(Item(dialog, IDC_COMMANDS));
                ASSERT_NE(box, nullptr);
                QListWidget* list = box->List();
                ASSERT_LT(row, list->count());
                list->scrollToItem(list->item(row));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
                EXPECT_EQ(list->currentRow(), row);
                for (QPushButton* button : dialog.findChildren<QPushButton*>())
                  if (button->text() == "OK")
                    QTest::mouseClick(button, Qt::LeftButton);
              });
  }

  static QWidget* Item(QDialog& dialog, int id) { return DialogItem(dialog, id); }
  static void Click(QDialog& dialog, int id) { QTest::mouseClick(Item(dialog, id), Qt::LeftButton); }
  static void Choose(QDialog& dialog, int id, const char* entry)
  {
    auto* list = qobject_cast<QComboBox*>(Item(dialog, id));
    const int index = list->findText(QLatin1String(entry));
    ASSERT_GE(index, 0) << entry;
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
      QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentText().toStdString(), entry);
  }
  static void Retype(QDialog& dialog, int id, const char* text)
  {
    auto* edit = qobject_cast<QLineEdit*>(Item(dialog, id));
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }
  static void Check(QDialog& dialog, int id, bool on)
  {
    auto* box = qobject_cast<QCheckBox*>(Item(dialog, id));
    if (box->isChecked() != on)
      QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_EQ(box->isChecked(), on);
  }

  // The stored port settings, straight from the database file: name → data bytes. Empty when
  // the file cannot be read or holds none.
  std::map<std::string, std::string> Stored()
  {
    std::map<std::string, std::string> values;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(Store.DatabasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* s = nullptr;
      sqlite3_prepare_v2(db, "SELECT name, data FROM registry_values WHERE path = 'HKEY_LOCAL_MACHINE\\Software\\Kalvix'", -1,
                         &s, nullptr);
      while (s && sqlite3_step(s) == SQLITE_ROW) {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(s, 1));
        values[reinterpret_cast<const char*>(sqlite3_column_text(s, 0))] =
            std::string(data ? data : "", std::size_t(sqlite3_column_bytes(s, 1)));
      }
      sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return values;
  }

  // What the far end of line reads while the program runs: until want bytes are there or
  // timeoutMs passed. (TPty::Receive alone would block the program's event loop.)
  static std::string Collect(const TPty& line, std::size_t want, int timeoutMs)
  {
    std::string got;
    (void)QTest::qWaitFor([&] {
      got += line.Receive(want - got.size(), 0);
      return got.size() >= want;
    }, timeoutMs);
    return got;
  }

  TScratchStore Store;
  TRecordingPresenter Presenter;
  std::unique_ptr<TKalvixApp> App;

private:
  int Argc = 1;
  char Name[7] = "kalvix";
  char Option[12] = "-unregister";
  char* Argv[3] = {Name, nullptr, nullptr};
};
