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
  const bool textMode = data[0] & 1;
  const std::size_t shown = std::min(size - 3, TReceiveView::MaxChunk);
  // Exactly the documented size, so any write past it shows under ASan.
  std::vector<char> out(TReceiveView::ChunkTextSize);
  std::int32_t column = data[2] % 81;
  const std::size_t n = TReceiveView::FormatChunk(data + 3, size - 3, textMode, 1 + data[1] % 80, column, out.data());
  FUZZ_CHECK(n <= 5 * shown && out[n] == '\0' && column >= 0 && column <= 80);
  const std::string digits = "0123456789ABCDEF";
  const auto hex = [&](std::size_t at) {   // two upper-case hex digits
    FUZZ_CHECK(at + 2 <= n && digits.find(out[at]) < 16 && digits.find(out[at + 1]) < 16);
    return char(digits.find(out[at]) << 4 | digits.find(out[at + 1]));
  };
  // Lines break with CR LF only; between them each byte is a character or "/XX" in text mode,
  // where only what cannot stand as itself is escaped, "XX," in binary mode. They decode to what
  // arrived, a CR in text mode as a line break of its own.
  std::string decoded, expected(reinterpret_cast<const char*>(data + 3), shown);
  for (std::size_t i = 0; i < n;) {
    if (out[i] == '\r') {
      FUZZ_CHECK(out[i + 1] == '\n');
      i += 2;
    } else if (textMode && out[i] != '/') {
      FUZZ_CHECK(std::uint8_t(out[i]) >= 0x20 && std::uint8_t(out[i]) < 0x80);
      decoded.push_back(out[i++]);
    } else {
      const std::uint8_t b = std::uint8_t(decoded.append(1, hex(i + textMode)).back());
      FUZZ_CHECK(textMode ? (b < 0x20 || b >= 0x80 || b == '/') && b != '\r' : out[i + 2] == ',');
      i += 3;
    }
  }
  FUZZ_CHECK(decoded == (textMode ? std::erase(expected, '\r'), expected : expected));
  return 0;
}
