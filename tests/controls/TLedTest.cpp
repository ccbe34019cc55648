// The lamp control, pixel by pixel, on real widgets.
#include "controls/TLed.h"
#include "framework/TDialog.h"
#include "resources/ResourceIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPainter>
#include <QTest>
#include <array>
#include <gtest/gtest.h>
#include <string>

namespace {
// The lamp as its drawing gives it: '.' light grey, D dark grey, W white, a and b the body.
const std::array<std::string, 13> Rows = {
  "....DDDDD....", "..DDababaDD..", ".DbababababD.", ".DabWWWbabaD.", "DabWWWbababaD", "DbaWWbabababD", "DabWbabababaD",
  "DbabababababD", "DabababababaD", ".DababababaD.", ".DbababababD.", "..DDababaDD..", "....DDDDDD...",
};

QRgb Expected(int state, int x, int y)
{
  QRgb a = qRgb(128, 128, 128), b = qRgb(192, 192, 192);
  if (state == TLed::LedGreen) {
    a = qRgb(0, 128, 0);
    b = qRgb(0, 255, 0);
  } else if (state == TLed::LedRed) {
    a = qRgb(128, 0, 0);
    b = qRgb(255, 0, 0);
  }
  switch (Rows[std::size_t(y)][std::size_t(x)]) {
  case '.':
    return qRgb(192, 192, 192);
  case 'D':
    return qRgb(128, 128, 128);
  case 'W':
    return qRgb(255, 255, 255);
  case 'a':
    return a;
  default:
    return b;
  }
}

QImage Grab(const TWindow& window)
{
  return window.GetWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Every pixel of the lamp's picture: the bitmap with its top-left at (left, top), and the
// erased background elsewhere. Returns the number of wrong pixels, reporting the first few.
int WrongPixels(const QImage& image, int state, int left, int top, QRgb background)
{
  int wrong = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const int bx = x - left, by = y - top;
      const bool inside = bx >= 0 && bx < 13 && by >= 0 && by < 13;
      const QRgb want = inside ? Expected(state, bx, by) : background;
      if ((image.pixel(x, y) & 0xFFFFFF) != (want & 0xFFFFFF) && ++wrong <= 3)
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << image.pixel(x, y) << " not " << want;
    }
  return wrong;
}

// What the erase leaves around the bitmap.
QRgb Background(const TLed& led)
{
  return led.GetWidget()->palette().color(QPalette::Window).rgb();
}

class TPaintCounter : public QObject {
public:
  int Paints = 0;
  bool eventFilter(QObject*, QEvent* event) override
  {
    Paints += event->type() == QEvent::Paint;
    return false;
  }
};

struct LampFixture : ::testing::Test {
  LampFixture() { parent.Attr.W = parent.Attr.H = 60; }
  // Makes, shows and exposes the parent with its lamps.
  void Show()
  {
    ASSERT_TRUE(parent.Create());
    parent.Show(SW_SHOW);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(parent.GetWidget()));
  }
  TWindow parent {nullptr};
};
}

TEST_F(LampFixture, EachStateShowsExactlyItsBitmapAndANewLampIsGrey)
{
  TLed led(&parent, 1, "", 0, 0, 13, 13);
  Show();
  EXPECT_EQ(led.GetState(), TLed::LedOff);
  EXPECT_EQ(WrongPixels(Grab(led), TLed::LedOff, 0, 0, 0), 0);
  for (int state : {TLed::LedGreen, TLed::LedRed, TLed::LedOff}) {
    SCOPED_TRACE(state);
    led.SetState(state);
    EXPECT_EQ(led.GetState(), state);
    const QImage image = Grab(led);
    EXPECT_EQ(WrongPixels(image, state, 0, 0, 0), 0);
    // The bottom rim is six pixels wide where the top one is five.
    EXPECT_EQ(image.pixel(9, 12) & 0xFFFFFF, 0x808080u);
    EXPECT_EQ(image.pixel(8, 0) & 0xFFFFFF, 0x808080u);
    EXPECT_EQ(image.pixel(9, 0) & 0xFFFFFF, 0xC0C0C0u);
  }
}

TEST_F(LampFixture, AStateOutsideTheThreeShowsTheUnlitLamp)
{
  TLed led(&parent, 1, "", 0, 0, 13, 13);
  Show();
  for (int state : {3, -1, 1 << 30}) {
    led.SetState(state);
    EXPECT_EQ(WrongPixels(Grab(led), TLed::LedOff, 0, 0, 0), 0) << state;
  }
}

TEST_F(LampFixture, TheBitmapIsCentredInALargerButtonAndClippedInASmallerOne)
{
  TLed large(&parent, 1, "", 0, 0, 20, 18);
  TLed small(&parent, 2, "", 30, 0, 10, 8);   // offsets (-3/2, -5/2) round toward zero: -1, -2
  TLed odd(&parent, 3, "", 0, 30, 26, 23);    // the terminal window's lamp size: 6, 5
  Show();
  large.SetState(TLed::LedGreen);
  small.SetState(TLed::LedRed);
  odd.SetState(TLed::LedRed);
  EXPECT_EQ(WrongPixels(Grab(large), TLed::LedGreen, 3, 2, Background(large)), 0);
  EXPECT_EQ(WrongPixels(Grab(small), TLed::LedRed, -1, -2, Background(small)), 0);
  EXPECT_EQ(WrongPixels(Grab(odd), TLed::LedRed, 6, 5, Background(odd)), 0);
}

TEST_F(LampFixture, SettingAStateRepaintsEvenWhenItIsTheSameAndOnlyOnTheNextPaintCycle)
{
  TLed led(&parent, 1, "", 0, 0, 20, 20);
  Show();
  TPaintCounter counter;
  led.GetWidget()->installEventFilter(&counter);
  QApplication::processEvents();
  counter.Paints = 0;
  led.SetState(TLed::LedRed);
  led.SetState(TLed::LedGreen);
  EXPECT_EQ(counter.Paints, 0);   // not at once
  ASSERT_TRUE(QTest::qWaitFor([&] { return counter.Paints > 0; }, 2000));
  EXPECT_EQ(counter.Paints, 1);   // both sets drawn by one paint
  counter.Paints = 0;
  led.SetState(TLed::LedGreen);
  EXPECT_TRUE(QTest::qWaitFor([&] { return counter.Paints > 0; }, 2000));
  EXPECT_EQ(WrongPixels(Grab(led), TLed::LedGreen, 3, 3, Background(led)), 0);
}

TEST_F(LampFixture, PressingOrFocusingALampChangesNoPixel)
{
  TLed led(&parent, 1, "", 0, 0, 24, 22);
  TLed other(&parent, 2, "", 30, 0, 24, 22);
  Show();
  led.SetState(TLed::LedRed);
  const QImage before = Grab(led);
  QTest::mousePress(led.GetWidget(), Qt::LeftButton);
  EXPECT_TRUE(static_cast<QAbstractButton*>(led.GetWidget())->isDown());
  EXPECT_EQ(Grab(led), before);
  QTest::mouseRelease(led.GetWidget(), Qt::LeftButton);
  other.SetFocus();
  led.SetFocus();
  EXPECT_TRUE(led.GetWidget()->hasFocus());
  EXPECT_EQ(Grab(led), before);
  EXPECT_EQ(WrongPixels(before, TLed::LedRed, 5, 4, Background(led)), 0);
}

TEST(LampInDialog, TheSixLampsOfTheTerminalWindowShowTheirStatesCentred)
{
  TDialog dialog(nullptr, IDD_CLIENT);
  TLed cts(&dialog, IDC_LED_CTS), dcd(&dialog, IDC_LED_DCD), dsr(&dialog, IDC_LED_DSR);
  TLed dtr(&dialog, IDC_LED_DTR), ri(&dialog, IDC_LED_RI), rts(&dialog, IDC_LED_RTS);
  ASSERT_TRUE(dialog.Create());
  dialog.Show(SW_SHOW);
  dtr.SetState(TLed::LedRed);
  rts.SetState(TLed::LedRed);
  cts.SetState(TLed::LedGreen);
  dsr.SetState(TLed::LedGreen);
  const std::pair<TLed*, int> lamps[] = {{&dtr, TLed::LedRed},   {&rts, TLed::LedRed}, {&dsr, TLed::LedGreen},
                                         {&cts, TLed::LedGreen}, {&dcd, TLed::LedOff}, {&ri, TLed::LedOff}};
  for (const auto& [led, state] : lamps) {
    SCOPED_TRACE(led->GetId());
    const QSize size = led->GetWidget()->size();
    EXPECT_EQ(size, QSize(28, 23));   // 16 x 14 dialog units of the template's font
    EXPECT_EQ(WrongPixels(Grab(*led), state, (size.width() - 13) / 2, (size.height() - 13) / 2, Background(*led)), 0);
  }
  // A lamp on a button that is not owner-drawn could show no lamp: it is refused.
  TDialog other(nullptr, IDD_CLIENT);
  TLed onSend(&other, IDC_SEND);
  EXPECT_FALSE(other.Create());
  EXPECT_FALSE(onSend.IsCreated());
}
