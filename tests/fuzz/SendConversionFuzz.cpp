// The send conversions, on texts of any length and content: text mode when KALVIX_TEXT_MODE is
// 1 (the first byte the delay character: the settings allow 0 to 255), else binary mode.
#include "FuzzCheck.h"
#include "terminal/SendNotation.h"

#include <algorithm>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  constexpr std::size_t TextMode = KALVIX_TEXT_MODE;
  if (size < TextMode)
    return 0;
  const std::string text(reinterpret_cast<const char*>(data) + TextMode, size - TextMode);
  std::uint8_t bytes[SendMax + 1];
  std::int32_t delays[SendMax];
  std::fill_n(bytes, SendMax + 1, 0xA5);
  std::fill_n(delays, SendMax, -1);
  bool repeat = false;
  const int count = TextMode ? ConvertText(text, data[0], bytes, delays) : ConvertBinary(text, bytes, delays, repeat);
  // At most SendMax bytes, the byte past them untouched; delay points in order, none past the
  // bytes, the slots after them untouched.
  FUZZ_CHECK(count >= 0 && count <= SendMax && bytes[SendMax] == 0xA5);
  const long recorded = std::find(delays, delays + SendMax, -1) - delays;
  FUZZ_CHECK(std::count(delays + recorded, delays + SendMax, -1) == SendMax - recorded);
  FUZZ_CHECK(std::is_sorted(delays, delays + recorded) &&
             (!recorded || (delays[0] >= 0 && delays[recorded - 1] <= count)));
  // The delay character is a pause, never a byte. Each ";" is a pause, up to the limit, and a
  // text ending in ":" repeats.
  const long pauses = std::min<long>(std::count(text.begin(), text.end(), ';'), SendMax);
  FUZZ_CHECK(TextMode ? std::count(bytes, bytes + count, data[0]) == 0
                      : recorded == pauses && repeat == text.ends_with(':'));
  return 0;
}
