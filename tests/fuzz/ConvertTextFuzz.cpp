// The text-mode send conversion. First byte: the delay character (the settings allow 0 to
// 255); the rest: the send text, of any length.
#include "SendConversionCheck.h"

#include <algorithm>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1)
    return 0;
  const std::int32_t delayChar = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  TSendBuffers buffers;
  const int count = ConvertText(text, delayChar, buffers.Bytes, buffers.Delays);
  const int delays = buffers.Check(count);
  FUZZ_CHECK(std::size_t(count) <= text.size());
  // The delay character is a pause, never a byte, however it is written.
  FUZZ_CHECK(std::count(buffers.Bytes, buffers.Bytes + count, std::uint8_t(delayChar)) == 0);
  if (text.find('/') == std::string::npos) {
    // Without escapes every other character is sent as it is, up to the limit.
    std::string expected;
    for (const char c : text)
      if (static_cast<unsigned char>(c) != delayChar && expected.size() < std::size_t(SendMax))
        expected.push_back(c);
    FUZZ_CHECK(std::string(reinterpret_cast<const char*>(buffers.Bytes), std::size_t(count)) == expected);
    const auto pauses = std::count(text.begin(), text.end(), char(delayChar));
    FUZZ_CHECK(delays == std::min<long>(pauses, SendMax));
  }
  return 0;
}
