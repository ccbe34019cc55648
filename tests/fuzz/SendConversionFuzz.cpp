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
  const char delay = TextMode ? char(data[0]) : ';';
  const std::string text(reinterpret_cast<const char*>(data) + TextMode, size - TextMode);
  std::uint8_t bytes[SendMax + 1];
  std::int32_t delays[SendMax];
  std::fill_n(bytes, SendMax + 1, 0xA5);
  std::fill_n(delays, SendMax, -1);
  bool repeat = false;
  const int count = TextMode ? ConvertText(text, std::uint8_t(delay), bytes, delays) : ConvertBinary(text, bytes, delays, repeat);
  // At most SendMax bytes, the byte past them untouched; delay points in order, none past the bytes.
  FUZZ_CHECK(count >= 0 && count <= SendMax && bytes[SendMax] == 0xA5);
  const long recorded = std::find(delays, delays + SendMax, -1) - delays;
  FUZZ_CHECK(std::count(delays + recorded, delays + SendMax, -1) == SendMax - recorded);
  FUZZ_CHECK(std::is_sorted(delays, delays + recorded) && (!recorded || (delays[0] >= 0 && delays[recorded - 1] <= count)));
  // The delay character is a pause, never a byte; a ";" always pauses; a text ending in ":" repeats.
  FUZZ_CHECK(TextMode ? std::count(bytes, bytes + count, std::uint8_t(delay)) == 0 : repeat == text.ends_with(':'));
  FUZZ_CHECK(TextMode || recorded == std::min<long>(std::count(text.begin(), text.end(), ';'), SendMax));
  // Without escapes every other character is sent as it is, and each delay character pauses;
  // plain hex values of one or two digits are sent as they are written.
  std::string expected;
  if (TextMode) {
    if (text.find('/') != std::string::npos)
      return 0;
    std::erase(expected = text, delay);
    FUZZ_CHECK(recorded == std::min<long>(long(text.size() - expected.size()), SendMax));
  }
  for (std::size_t start = 0, end = 0; !TextMode && start <= text.size(); start = end + 1) {
    end = std::min(text.find_first_of(",;:", start), text.size());
    const std::string token = text.substr(start, end - start);
    if (token.size() > 2 || token.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return 0;
    if (!token.empty())
      expected.push_back(char(std::stoi(token, nullptr, 16)));
  }
  FUZZ_CHECK(std::string(reinterpret_cast<const char*>(bytes), std::size_t(count)) == expected.substr(0, SendMax));
  return 0;
}
