// The string table and the LED bitmap files as compiled into the program.
#include "framework/ResourceLoader.h"
#include "resources/ResourceIds.h"

#include <QFile>
#include <array>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

TEST(StringTable, LoadStringCopiesIntoABufferOfGivenSize)
{
  const char* expected = "Configured COM Port is already uses by an other appication\nor is not available!\n"
                         "Use setup to select an other one!";
  char buffer[160];
  EXPECT_EQ(LoadString(IDS_PORT_UNAVAILABLE, buffer, sizeof buffer), int(std::strlen(expected)));
  EXPECT_STREQ(buffer, expected);

  char small[11];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(LoadString(IDS_PORT_UNAVAILABLE, small, sizeof small), 10);
  EXPECT_STREQ(small, "Configured");

  char unknown[4] = "abc";
  EXPECT_EQ(LoadString(9999, unknown, sizeof unknown), 0);
  EXPECT_STREQ(unknown, "");
  char untouched[2] = "z";
  EXPECT_EQ(LoadString(IDS_PORT_UNAVAILABLE, untouched, 0), 0);
  EXPECT_EQ(LoadString(IDS_PORT_UNAVAILABLE, untouched, -5), 0);
  EXPECT_STREQ(untouched, "z");
}

namespace {
std::uint32_t U32(const QByteArray& b, int at)
{
  return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8 | std::uint8_t(b[at + 2]) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}
}

TEST(Bitmaps, EachLedBitmapIsAnUncompressed4BitDibWithTheStandardPalette)
{
  // Red, green, blue of the 16 standard colours in their usual order.
  const std::array<std::array<int, 3>, 16> palette {{{0, 0, 0},       {128, 0, 0},     {0, 128, 0},   {128, 128, 0},
                                                     {0, 0, 128},     {128, 0, 128},   {0, 128, 128}, {192, 192, 192},
                                                     {128, 128, 128}, {255, 0, 0},     {0, 255, 0},   {255, 255, 0},
                                                     {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}}};
  for (int id : {IDB_LED_OFF, IDB_LED_GREEN, IDB_LED_RED}) {
    SCOPED_TRACE(id);
    QFile file(QString(":/bitmap/%1").arg(id));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray b = file.readAll();
    ASSERT_GE(b.size(), 14 + 40 + 64 + 13 * 8);
    EXPECT_EQ(b.left(2), "BM");
    EXPECT_EQ(U32(b, 2), std::uint32_t(b.size()));
    EXPECT_EQ(U32(b, 14), 40u);                    // header size
    EXPECT_EQ(U32(b, 18), 13u);                    // width
    EXPECT_EQ(U32(b, 22), 13u);                    // height, bottom-up
    EXPECT_EQ(U32(b, 26), 1u | (4u << 16));        // one plane, 4 bits per pixel
    EXPECT_EQ(U32(b, 30), 0u);                     // uncompressed
    for (int i = 0; i < 16; ++i) {
      const int at = 54 + 4 * i;
      EXPECT_EQ(std::uint8_t(b[at + 2]), palette[i][0]) << i;
      EXPECT_EQ(std::uint8_t(b[at + 1]), palette[i][1]) << i;
      EXPECT_EQ(std::uint8_t(b[at]), palette[i][2]) << i;
    }
    const QImage image = LoadBitmap(id);
    EXPECT_EQ(image.size(), QSize(13, 13));
  }
  EXPECT_TRUE(LoadBitmap(4).isNull());
}
