// The text-mode send conversion. First byte: the delay character (the settings allow 0 to
// 255); the rest: the send text, of any length.
#include "SendConversionCheck.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1)
    return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  TSendBuffers buffers;
  const int count = ConvertText(text, data[0], buffers.Bytes, buffers.Delays);
  const long delays = buffers.Check(count);
  // The delay character is a pause, never a byte, however it is written.
  FUZZ_CHECK(std::count(buffers.Bytes, buffers.Bytes + count, data[0]) == 0);
  // Without escapes every other character is sent as it is, and every delay character pauses.
  std::string expected = text;
  std::erase(expected, char(data[0]));
  if (text.find('/') == std::string::npos)
    FUZZ_CHECK(buffers.Sent(count) == expected.substr(0, SendMax) &&
               delays == std::min<long>(long(text.size() - expected.size()), SendMax));
  return 0;
}
