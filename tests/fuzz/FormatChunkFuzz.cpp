// The receive formatting. First byte: text or binary mode; second: the line length (1 to 80,
// as the settings allow); third: the column the line has reached (up to 80: the line length
// may have been lowered since); the rest: the received bytes, more than one chunk's worth too.
#include "FuzzCheck.h"
#include "terminal/TReceiveView.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

int HexDigit(char c)
{
  return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

std::uint8_t HexByte(const std::string& text, std::size_t at)
{
  FUZZ_CHECK(at + 2 <= text.size() && HexDigit(text[at]) >= 0 && HexDigit(text[at + 1]) >= 0);
  return std::uint8_t(HexDigit(text[at]) << 4 | HexDigit(text[at + 1]));
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 3)
    return 0;
  const bool textMode = data[0] & 1;
  const std::int32_t lineLength = 1 + data[1] % 80;
  const std::int32_t startColumn = data[2] % 81;
  const std::uint8_t* bytes = data + 3;
  const std::size_t count = size - 3;
  const std::size_t shown = std::min(count, TReceiveView::MaxChunk);

  // Exactly the documented size, so any write past it shows under ASan.
  std::vector<char> out(TReceiveView::ChunkTextSize);
  std::int32_t column = startColumn;
  const std::size_t n = TReceiveView::FormatChunk(bytes, count, textMode, lineLength, column, out.data());
  FUZZ_CHECK(n <= 5 * shown);
  FUZZ_CHECK(out[n] == '\0');
  const std::string text(out.data(), n);

  // Line breaks come as CR LF and nowhere else; between them stand units of one byte each:
  // a character or "/XX" in text mode, "XX," in binary mode. They decode to what arrived.
  std::string decoded;
  std::int32_t units = 0;   // in the current line
  bool broken = false;      // a line break was written
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < n;) {
    const char c = text[i];
    if (c == '\r') {
      FUZZ_CHECK(i + 1 < n && text[i + 1] == '\n');
      // A line holds at most the line length, its first what was left of the current line.
      FUZZ_CHECK(units <= (broken ? lineLength : std::max(1, lineLength - startColumn)));
      units = 0;
      broken = true;
      ++breaks;
      i += 2;
      continue;
    }
    FUZZ_CHECK(c != '\n');
    ++units;
    if (textMode && c == '/') {
      // Only what cannot stand as itself is escaped; a received CR is a line break instead.
      const std::uint8_t b = HexByte(text, i + 1);
      FUZZ_CHECK((b < 0x20 || b >= 0x80 || b == '/') && b != '\r');
      decoded.push_back(char(b));
      i += 3;
    } else if (textMode) {
      FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x80);
      decoded.push_back(c);
      ++i;
    } else {
      decoded.push_back(char(HexByte(text, i)));
      FUZZ_CHECK(i + 2 < n && text[i + 2] == ',');
      i += 3;
    }
  }
  FUZZ_CHECK(units <= (broken ? lineLength : std::max(1, lineLength - startColumn)));
  // The column goes on from where the last line stands, and always ends inside the line.
  FUZZ_CHECK(column == (broken ? 0 : startColumn) + units);
  if (shown > 0)
    FUZZ_CHECK(column >= 0 && column < lineLength);

  std::string expected(reinterpret_cast<const char*>(bytes), shown);
  if (textMode) {
    // A received CR shows as a line break of its own.
    FUZZ_CHECK(breaks >= std::size_t(std::count(expected.begin(), expected.end(), '\r')));
    std::erase(expected, '\r');
  }
  FUZZ_CHECK(decoded == expected);
  return 0;
}
