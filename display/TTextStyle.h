#pragma once
// How received text is to look as a device's colour sequences ask, and the colours it is drawn
// in on a field of given colours. Colours on screen are 0xRRGGBB.
#include <cstdint>

// A colour as a device names it: the field's own, one of the 256 indexed colours, or red, green
// and blue of its own.
using TColour = std::uint32_t;
constexpr TColour DefaultColour = 0;
constexpr TColour IndexedColour(unsigned index)
{
  return 0x1000000u | (index & 0xFFu);
}
constexpr TColour RgbColour(unsigned rgb)
{
  return 0x2000000u | (rgb & 0xFFFFFFu);
}

struct TTextStyle {
  enum : std::uint8_t { Bold = 1, Dim = 2, Italic = 4, Underline = 8, Inverse = 16 };
  std::uint8_t Flags = 0;
  TColour Fore = DefaultColour;
  TColour Back = DefaultColour;

  bool operator==(const TTextStyle&) const = default;
  bool IsPlain() const { return *this == TTextStyle {}; }
};

// The 16 standard colours (30-37 and 90-97) drawn for a light field: each has at least
// MinContrast on white. White and bright white are greys, so that they stay readable.
extern const std::uint32_t StandardPalette[16];
// Foreground on its background: what readable means here (WCAG's ratio for large text and
// graphics).
constexpr double MinContrast = 3.0;

// 0xRRGGBB of a colour other than DefaultColour: the standard palette, the 6 x 6 x 6 cube, the
// grey ramp, or its own.
std::uint32_t ColourRgb(TColour colour);
// The contrast ratio of two colours (WCAG 2), from 1 to 21.
double Contrast(std::uint32_t a, std::uint32_t b);

struct TShownColours {
  std::uint32_t Fore;
  std::uint32_t Back;
};
// What style shows on a field drawn fieldFore on fieldBack: inverse swaps the two colours, dim
// takes the foreground a third of the way to the background, and a foreground with less than
// MinContrast on its background is darkened or lightened until it has it.
TShownColours ShownColours(const TTextStyle& style, std::uint32_t fieldFore, std::uint32_t fieldBack);
