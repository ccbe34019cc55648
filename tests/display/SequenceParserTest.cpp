// The colour-sequence parser on its own: what a device sends against the text shown, its styles
// and the sequences taken, whole and split at every byte (an open sequence waits for the next
// read; one left open when colours go off: ReceiveColours).
#include "display/TSequenceParser.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

// The shown text, a styled run as "[style:text]": b d i u r for bold, dim, italic, underline,
// inverse, fN / gN an indexed fore / back colour, F# / G# one of its own; then "|" and the
// number of sequences taken.
std::string Shown(const std::vector<std::string>& reads)
{
  TSequenceParser parser;
  std::string text, out;
  std::vector<TSequenceParser::TRun> runs;
  std::vector<std::string> swallowed;
  for (const std::string& read : reads)
    parser.Feed(reinterpret_cast<const std::uint8_t*>(read.data()), read.size(), text, runs, &swallowed);
  for (const TSequenceParser::TRun& run : runs) {
    char style[40] = {};
    int n = 0;
    for (int bit = 0; bit < 5; ++bit)
      n += run.Style.Flags & (1 << bit) ? std::snprintf(style + n, 2, "%c", "bdiur"[bit]) : 0;
    for (const auto& [kind, c] : {std::pair {'f', run.Style.Fore}, {'g', run.Style.Back}})
      n += c == DefaultColour ? 0
           : c & 0x2000000u   ? std::snprintf(style + n, 10, "%c#%06x", kind - 32, c & 0xFFFFFF)
                              : std::snprintf(style + n, 10, "%c%u", kind, c & 0xFF);
    const std::string piece = text.substr(run.Begin, run.Length);
    out += n ? "[" + std::string(style) + ":" + piece + "]" : piece;
  }
  return out + "|" + std::to_string(swallowed.size());
}

TEST(SequenceParser, DeviceOutputShowsAsTextInItsStylesWholeOrSplitAtAnyByte)
{
  const std::pair<std::string, std::string> rows[] = {
    {"\x1b[0;32mI (312) boot: ok\x1b[0m\r\n", "[f2:I (312) boot: ok]\r\n|2"},   // ESP-IDF
    {"\x1b[1;31m<err> os: fault\x1b[0m", "[bf1:<err> os: fault]|2"},            // Zephyr
    {"\x1b[33mW one\r\nW two\x1b[m.", "[f3:W one\r\nW two].|2"},                // across a line break
    {"\x1b[92mA\x1b[39mB\x1b[44;97mX\x1b[49mY\x1b[0mZ", "[f10:A]B[f15g4:X][f15:Y]Z|5"},
    {"\x1b[100;37m1\x1b[38;5;208m2\x1b[48;2;1;2;3m3\x1b[38;2;255;136;0m4",
     "[f7g8:1][f208g8:2][f208G#010203:3][F#ff8800G#010203:4]|4"},
    {"\x1b[1;2;3;4;7ma\x1b[22mb\x1b[23;24mc\x1b[27md\x1b[5;8;9me", "[bdiur:a][iur:b][r:c]de|5"},
    {"\x1b[38;5;300;1mx\x1b[38;2;1;2my\x1b[>4;2mz", "xyz|3"},           // out of range, cut short, private
    {"\x1b[2J\x1b[K\x1b[?25l\x1b[10;20Hok\x1b[1$m", "ok|5"},            // CSI of any other kind
    {"\x1b]0;title\aa\x1b]8;;http://x\x1b\\b\x1bP1$r\x1b\\", "ab|3"},   // OSC and DCS, both ends
    {"\0337\x1b(B\0338z", "z|3"},                                       // two-byte escapes
    {"\x1b\r\x1b\x1b[1mx", "\x1b\r\x1b[b:x]|1"},                        // an ESC that starts nothing
    {"\x1b[31\x01m\x1b]t\x1b[4mu", "\x1b[31\x01m\x1b]t[u:u]|1"},        // broken: shown, read afresh
    {"\x1b[" + std::string(60, ';') + "1mx", "[b:x]|1"},                // 64 bytes: a sequence
    {"\x1b[" + std::string(61, ';') + "1mx", "\x1b[" + std::string(61, ';') + "1mx|0"},   // 65 bytes: text
  };
  for (const auto& [bytes, shown] : rows) {
    EXPECT_EQ(Shown({bytes}), shown);
    for (std::size_t at = 1; at < bytes.size(); ++at)
      ASSERT_EQ(Shown({bytes.substr(0, at), bytes.substr(at)}), shown) << "split at " << at;
  }
}

// Each of the 16 colours, and light ones of a device's own, has at least 3:1 contrast on the
// white field: the WCAG 2 luminance (plus 0.05) worked out here.
TEST(TextStyle, EveryColourADeviceAsksForIsDrawnReadableOnTheWhiteField)
{
  const auto luminance = [](std::uint32_t rgb) {
    double sum = 0.05;
    for (const auto& [shift, weight] : {std::pair {16, 0.2126}, {8, 0.7152}, {0, 0.0722}}) {
      const double c = ((rgb >> shift) & 0xFF) / 255.0;
      sum += weight * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
  };
  std::vector<TColour> colours {RgbColour(0xFFFF00), RgbColour(0xFFFFFF), IndexedColour(231), IndexedColour(255)};
  for (unsigned c = 0; c < 16; ++c)   // 30-37, 90-97: white and bright white among them
    colours.push_back(IndexedColour(c));
  for (const TColour colour : colours)
    EXPECT_GE(1.05 / luminance(ShownColours(TTextStyle {.Fore = colour}, 0, 0xFFFFFF).Fore), 2.99) << colour;
}

}   // namespace
