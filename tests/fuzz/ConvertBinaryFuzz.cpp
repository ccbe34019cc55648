// The binary-mode send conversion, on send texts of any length and content.
#include "SendConversionCheck.h"

#include <algorithm>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  TSendBuffers buffers;
  bool repeat = false;
  const int count = ConvertBinary(text, buffers.Bytes, buffers.Delays, repeat);
  const int delays = buffers.Check(count);
  // Every byte takes at least one character of text ("#" values two bytes for two or more).
  FUZZ_CHECK(std::size_t(count) <= text.size());
  // Each ";" is one pause, up to the limit.
  FUZZ_CHECK(delays == std::min<long>(std::count(text.begin(), text.end(), ';'), SendMax));
  FUZZ_CHECK(repeat == (!text.empty() && text.back() == ':'));
  // Plain hex values of one or two digits are sent as they are written.
  std::string expected;
  bool plain = true;
  for (std::size_t start = 0; plain && start <= text.size();) {
    const std::size_t end = std::min(text.find_first_of(",;:", start), text.size());
    const std::string token = text.substr(start, end - start);
    plain = token.size() <= 2 && token.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (plain && !token.empty() && expected.size() < std::size_t(SendMax))
      expected.push_back(char(std::stoi(token, nullptr, 16)));
    start = end + 1;
  }
  if (plain)
    FUZZ_CHECK(std::string(reinterpret_cast<const char*>(buffers.Bytes), std::size_t(count)) == expected);
  return 0;
}
