// The binary-mode send conversion, on send texts of any length and content.
#include "SendConversionCheck.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  TSendBuffers buffers;
  bool repeat = false;
  const int count = ConvertBinary(text, buffers.Bytes, buffers.Delays, repeat);
  // Each ";" is one pause, up to the limit; the text repeats exactly when it ends in ":".
  FUZZ_CHECK(buffers.Check(count) == std::min<long>(std::count(text.begin(), text.end(), ';'), SendMax));
  FUZZ_CHECK(repeat == text.ends_with(':'));
  // Plain hex values of one or two digits are sent as they are written.
  std::string expected;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find_first_of(",;:", start), text.size());
    const std::string token = text.substr(start, end - start);
    if (token.size() > 2 || token.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return 0;
    if (!token.empty())
      expected.push_back(char(std::stoi(token, nullptr, 16)));
    start = end + 1;
  }
  FUZZ_CHECK(buffers.Sent(count) == expected.substr(0, SendMax));
  return 0;
}
