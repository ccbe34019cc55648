// The receive formatting. First byte: text or binary mode; second: the line length (1 to 80,
// as the settings allow); third: the column the line has reached (up to 80: the line length
// may have been lowered since); the rest: the received bytes, more than one chunk's worth too.
#include "FuzzCheck.h"
#include "terminal/TReceiveView.h"

#include <algorithm>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 3)
    return 0;
  // Exactly the documented size, so any write past it shows under ASan.
  std::vector<char> out(TReceiveView::ChunkTextSize);
  std::int32_t column = data[2] % 81;
  const std::int32_t lineLength = 1 + data[1] % 80;
  const std::size_t n = TReceiveView::FormatChunk(data + 3, size - 3, data[0] & 1, lineLength, column, out.data());
  // At most five characters a byte ("/XX" or "XX," and a line break), the column inside the
  // line, line breaks as CR LF only, and in binary mode three characters a byte.
  const std::string text(out.data(), n);
  FUZZ_CHECK(n <= 5 * std::min(size - 3, TReceiveView::MaxChunk) && out[n] == '\0');
  FUZZ_CHECK(column >= 0 && (column < lineLength || (size == 3 && column <= 80)));
  FUZZ_CHECK(std::count(text.begin(), text.end(), '\r') == std::count(text.begin(), text.end(), '\n'));
  for (std::size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1))
    FUZZ_CHECK(text.compare(at, 2, "\r\n") == 0);
  FUZZ_CHECK((data[0] & 1) || n - 2 * std::size_t(std::count(text.begin(), text.end(), '\r')) ==
                                3 * std::min(size - 3, TReceiveView::MaxChunk));
  return 0;
}
