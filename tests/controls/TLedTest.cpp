// The lamp control, pixel by pixel, on real widgets.
#include "controls/TLed.h"
#include "framework/TDialog.h"
#include "resources/ResourceIds.h"

#include <QTest>
#include <array>
#include <gtest/gtest.h>
#include <string>

namespace {
// The lamp as its bitmap has it: '.' light grey, D dark grey, W white, a and b the body.
const std::array<std::string, 13> Rows = {
  "....DDDDD....", "..DDababaDD..", ".DbababababD.", ".DabWWWbabaD.", "DabWWWbababaD", "DbaWWbabababD", "DabWbabababaD",
  "DbabababababD", "DabababababaD", ".DababababaD.", ".DbababababD.", "..DDababaDD..", "....DDDDDD...",
};
// Every pixel of the lamp's picture: the bitmap with its top-left at (left, top) in colours a
// and b, the erased background elsewhere. The number of wrong pixels.
int WrongPixels(const TLed& led, QRgb a, QRgb b, int left, int top)
{
  const QImage image = led.GetWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb background = led.GetWidget()->palette().color(QPalette::Window).rgb();
  const QRgb colours[] = {0xC0C0C0, 0x808080, 0xFFFFFF, a, b};   // . D W a b
  int wrong = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const int bx = x - left, by = y - top;
      const char c = bx >= 0 && bx < 13 && by >= 0 && by < 13 ? Rows[std::size_t(by)][std::size_t(bx)] : ' ';
      const std::size_t k = std::string_view(".DWab").find(c);
      wrong += (image.pixel(x, y) & 0xFFFFFF) != ((k == std::string_view::npos ? background : colours[k]) & 0xFFFFFF);
    }
  return wrong;
}
}

TEST(Lamp, EachStateShowsItsColoursCentredInItsButton)
{
  TWindow parent(nullptr);
  parent.Attr.W = parent.Attr.H = 60;
  TLed large(&parent, 1, "", 0, 0, 20, 18), small(&parent, 2, "", 30, 0, 10, 8);
  ASSERT_TRUE(parent.Create());
  parent.Show(SW_SHOW);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(parent.GetWidget()));
  // State, dark and light body colour; a state outside the three shows the unlit lamp.
  const std::tuple<int, QRgb, QRgb> states[] = {{TLed::LedGreen, 0x008000, 0x00FF00},
                                                {TLed::LedRed, 0x800000, 0xFF0000},
                                                {TLed::LedOff, 0x808080, 0xC0C0C0},
                                                {3, 0x808080, 0xC0C0C0},
                                                {-1, 0x808080, 0xC0C0C0}};
  for (const auto& [state, a, b] : states) {
    SCOPED_TRACE(state);
    large.SetState(state);
    small.SetState(state);
    EXPECT_EQ(WrongPixels(large, a, b, 3, 2), 0);
    EXPECT_EQ(WrongPixels(small, a, b, -1, -2), 0);   // (-3/2, -5/2) rounded toward zero
  }
}
