#include "display/TTextStyle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

const std::uint32_t StandardPalette[16] = {
  0x000000, 0xC01C28, 0x1A7F37, 0x8A6A00, 0x1F4FB4, 0xA03CA8, 0x0F7A87, 0x5E5E5E,   // 30-37
  0x8A8A8A, 0xE01B24, 0x2A9D2A, 0xA67C00, 0x3A6FE0, 0xC044C8, 0x12899A, 0x303030,   // 90-97
};

namespace {

double Luminance(std::uint32_t rgb)
{
  // Each run's colours are worked out as it arrives: the sRGB curve is looked up, not computed.
  static const auto linear = [] {
    std::array<double, 256> table {};
    for (std::size_t i = 0; i < table.size(); ++i) {
      const double c = double(i) / 255.0;
      table[i] = c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return table;
  }();
  return 0.2126 * linear[(rgb >> 16) & 0xFF] + 0.7152 * linear[(rgb >> 8) & 0xFF] + 0.0722 * linear[rgb & 0xFF];
}

// from and to mixed: part 0 is from, 1 is to.
std::uint32_t Mix(std::uint32_t from, std::uint32_t to, double part)
{
  std::uint32_t rgb = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double a = double((from >> shift) & 0xFF), b = double((to >> shift) & 0xFF);
    rgb |= std::uint32_t(std::lround(a + (b - a) * part)) << shift;
  }
  return rgb;
}

}   // namespace

std::uint32_t ColourRgb(TColour colour)
{
  if (colour & 0x2000000u)
    return colour & 0xFFFFFFu;
  const unsigned index = colour & 0xFFu;
  if (index < 16)
    return StandardPalette[index];
  if (index >= 232) {
    const std::uint32_t grey = 8 + 10 * (index - 232);
    return grey << 16 | grey << 8 | grey;
  }
  static constexpr std::uint32_t Levels[] = {0, 95, 135, 175, 215, 255};
  const unsigned cube = index - 16;
  return Levels[cube / 36] << 16 | Levels[cube / 6 % 6] << 8 | Levels[cube % 6];
}

double Contrast(std::uint32_t a, std::uint32_t b)
{
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TShownColours ShownColours(const TTextStyle& style, std::uint32_t fieldFore, std::uint32_t fieldBack)
{
  std::uint32_t fore = style.Fore == DefaultColour ? fieldFore : ColourRgb(style.Fore);
  std::uint32_t back = style.Back == DefaultColour ? fieldBack : ColourRgb(style.Back);
  if (style.Flags & TTextStyle::Inverse)
    std::swap(fore, back);
  if (style.Flags & TTextStyle::Dim)
    fore = Mix(fore, back, 1.0 / 3);
  // Towards black or white, whichever stands out more from the background: one of them always
  // has more than 4.5:1.
  const std::uint32_t away = Contrast(0x000000, back) >= Contrast(0xFFFFFF, back) ? 0x000000 : 0xFFFFFF;
  const std::uint32_t start = fore;
  for (int step = 1; step <= 16 && Contrast(fore, back) < MinContrast; ++step)
    fore = Mix(start, away, step / 16.0);
  return {fore, back};
}
