// The real application object offscreen: the main frame's menu, icon, lamps, hints, edit keys
// and close; the about box on the version block of the running file.
#include "tests/support/KalvixSession.h"

#include <QLabel>
#include <QClipboard>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>

namespace {
struct MainFrameFixture : KalvixSession {
  void SetUp() override
  {
    Store.LinkPort(1, "loopback");
    Start();
  }
  QMainWindow& FrameWidget() { return *static_cast<QMainWindow*>(Frame().GetWidget()); }
  QMenuBar& Bar() { return *Frame().GetMenuBar(); }
};
using AboutBox = MainFrameFixture;
}

TEST_F(MainFrameFixture, AnUncheckedItemShowsNoBoxOnlyDtrAndRtsStartCheckedAndTheIconComesInEverySize)
{
  std::string checked;
  std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
    for (QAction* a : actions) {
      checked += a->isChecked() ? a->text().toStdString() + " " : "";
      EXPECT_EQ(a->isCheckable(), a->isChecked()) << a->text().toStdString();
      if (a->menu())
        walk(a->menu()->actions());
    }
  };
  walk(Bar().actions());
  EXPECT_EQ(checked, "&DTR &RTS ");
  EXPECT_EQ(FrameWidget().windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint),
            Qt::WindowMinimizeButtonHint);
  // An icon of its own for each size title bars, task switchers and docks ask for.
  for (int n : {16, 32, 48, 64, 128, 256})
    EXPECT_TRUE(FrameWidget().windowIcon().availableSizes().contains(QSize(n, n))) << n;
  Menu("Switch &Mode")->trigger();
  EXPECT_TRUE(Frame().IsMenuItemChecked(CM_SWITCHMODE));
  Menu("Switch &Mode")->trigger();
  EXPECT_FALSE(Menu("Switch &Mode")->isCheckable());
}

// Each lamp shows its state's bitmap centred in its button: '.' light grey, D dark grey, W white,
// a and b the body's two colours. The hardware handshake raises DTR, and the loopback plug wires
// it to DSR; nothing rings.
TEST_F(MainFrameFixture, EachLampShowsItsStatesBitmapCentred)
{
  const char* const art[] = {"....DDDDD....", "..DDababaDD..", ".DbababababD.", ".DabWWWbabaD.", "DabWWWbababaD",
                             "DbaWWbabababD", "DabWbabababaD", "DbabababababD", "DabababababaD", ".DababababaD.",
                             ".DbababababD.", "..DDababaDD..", "....DDDDDD..."};
  const std::tuple<int, int, QRgb, QRgb> lamps[] = {{IDC_LED_DTR, TLed::LedRed, 0x800000, 0xFF0000},
                                                    {IDC_LED_DSR, TLed::LedGreen, 0x008000, 0x00FF00},
                                                    {IDC_LED_RI, TLed::LedOff, 0x808080, 0xC0C0C0},
                                                    {900, 3, 0x808080, 0xC0C0C0}};   // a state outside the three
  TLed own(&Client(), 900, "", 0, 0, 20, 18);   // a lamp of its own, not from the template
  ASSERT_TRUE(own.Create());
  own.SetState(3);
  for (const auto& [id, state, a, b] : lamps) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return Lamp(id) == state; }, 2000)) << id;
    const QImage image = Widget(id)->grab().toImage();
    const int left = (image.width() - 13) / 2, top = (image.height() - 13) / 2;
    const QRgb colours[] = {0xC0C0C0, 0x808080, 0xFFFFFF, a, b};   // . D W a b
    int wrong = 0;
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 13; ++x)
        wrong += (image.pixel(left + x, top + y) & 0xFFFFFF) != colours[std::string_view(".DWab").find(art[y][x])];
    EXPECT_EQ(wrong, 0) << id;
  }
}

TEST_F(MainFrameFixture, HintsShowOnlyWhileTheMenuIsEnteredAndLeavingItBringsBackTheText)
{
  Frame().GetStatusBar()->SetText("before");
  // The mouse passing over the menu bar, as the window system moves it, opens no menu and shows
  // no hint.
  QTest::mouseMove(FrameWidget().windowHandle(),
                   Bar().mapTo(&FrameWidget(), Bar().actionGeometry(Menu("Set&up")).center()));
  EXPECT_EQ(Status(), "before");
  // Alt alone enters the menu bar with the keyboard, Escape leaves it.
  QTest::mouseMove(FrameWidget().windowHandle(), QPoint(5, FrameWidget().height() / 2));
  QTest::keyClick(&FrameWidget(), Qt::Key_Alt);
  for (const char* hint :
       {"Creates a new window", "Select a line of command file", "Clearing of receive field", "Setup of COM port 1",
        "Selection between text and binary mode",
        "Break, DTR and RTS on the line; time stamps, colours, echo and search in the receive field; triggers and plot",
        "Access About"}) {
    EXPECT_EQ(Status(), hint);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status() == "before"; }, 2000)) << Status();
}

TEST_F(MainFrameFixture, EditKeysActOnTheFocusedFieldAndOnlyCopyInTheReadOnlyReceiveField)
{
  Field(IDC_RECEIVE).Insert("01,02,");
  Field(IDC_SENDTEXT).SetText("12,34,56");
  QApplication::clipboard()->setText("xyz");
  // Field, key, then the send field and the clipboard; the field's text selected, but for Ctrl+Del.
  const std::tuple<int, Qt::Key, Qt::KeyboardModifier, const char*, const char*> steps[] = {
    {IDC_SENDTEXT, Qt::Key_Delete, Qt::ControlModifier, "", "xyz"},   // the whole field, not a word
    {IDC_SENDTEXT, Qt::Key_Backspace, Qt::AltModifier, "12,34,56", "xyz"},
    {IDC_SENDTEXT, Qt::Key_Delete, Qt::ShiftModifier, "", "12,34,56"},
    {IDC_SENDTEXT, Qt::Key_Insert, Qt::ShiftModifier, "12,34,56", "12,34,56"},
    {IDC_RECEIVE, Qt::Key_Delete, Qt::ShiftModifier, "12,34,56", "12,34,56"},
    {IDC_RECEIVE, Qt::Key_Delete, Qt::ControlModifier, "12,34,56", "12,34,56"},
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

TEST_F(MainFrameFixture, TheWindowsOwnCloseIsRefusedWhileTheSendFieldHoldsABadCharacterAndThenEndsTheProgram)
{
  Make();                                   // a fresh program, run below
  QTimer::singleShot(0, [&] {               // inside the program's message loop
    Field(IDC_SENDTEXT).SetText("12,x4");   // binary mode's filter refuses the x
    Field(IDC_RECEIVE).SetFocus();
    EXPECT_FALSE(FrameWidget().close());   // the title bar's button, Alt+F4
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == Field(IDC_SENDTEXT).GetWidget(); }, 2000));
    Field(IDC_SENDTEXT).SetText("12,34");
    FrameWidget().close();
  });
  QTimer guard;   // a program that does not end fails instead of hanging
  QObject::connect(&guard, &QTimer::timeout, [&] {
    ADD_FAILURE() << "still running";
    App->MainWindowDestroyed();
  });
  guard.start(5000);
  EXPECT_EQ(App->Run(), 0);
  EXPECT_FALSE(Frame().IsCreated());
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Caption + "|" + Presenter.Boxes[0].Text, "Kalvix|Invalid character in input");
}

TEST_F(AboutBox, TheAboutCommandShowsVersionAndNoticeFromTheVersionBlockEachTimeItOpens)
{
  // The Help menu's item goes through the frame to the application.
  for (int opening = 0; opening < 2; ++opening)
    PlayModal([&] { Menu("&Help", "&About...")->trigger(); },
              [](QDialog& about) {
                EXPECT_EQ(about.windowTitle(), "About Kalvix");
                EXPECT_EQ(static_cast<QLabel*>(DialogItem(about, IDC_ABOUT_VERSION))->text(), "Version 1.5");
                const QString notice = static_cast<QLabel*>(DialogItem(about, IDC_ABOUT_NOTICE))->text();
                EXPECT_TRUE(notice.contains("Kalvix") && notice.contains('\n')) << "the notice has lines of its own";
                about.accept();
              });
}
