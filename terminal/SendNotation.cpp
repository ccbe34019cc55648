#include "terminal/SendNotation.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

// What formatted input ("%x", "%02X", "%04d") makes of text: blanks skipped, an optional
// sign, then at most width characters (sign included) of digits in base 10 or 16. False when
// no digit stands there.
bool ReadNumber(std::string_view text, int base, std::size_t width, long& value)
{
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
    ++i;
  const std::size_t start = i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  long result = 0;
  std::size_t digits = 0;
  for (; i < text.size() && i - start < width; ++i, ++digits) {
    const int c = std::toupper(static_cast<unsigned char>(text[i]));
    const int d = std::isdigit(c) ? c - '0' : (base == 16 && c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
    if (d < 0)
      break;
    result = result * base + d;
  }
  if (digits == 0)
    return false;
  value = negative ? -result : result;
  return true;
}

void StoreByte(std::uint8_t (&bytes)[SendMax + 1], int& count, long value)
{
  if (count < SendMax)
    bytes[count++] = std::uint8_t(value & 0xFF);
}

void RecordDelay(std::int32_t (&delays)[SendMax], int& delayCount, int count)
{
  if (delayCount < SendMax)
    delays[delayCount++] = count;
}

}   // namespace

int ConvertText(const std::string& text, std::int32_t delayChar, std::uint8_t (&bytes)[SendMax + 1],
                std::int32_t (&delays)[SendMax])
{
  int count = 0, delayCount = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '/') {
      // The escape field is the two characters after the slash, or what is left of the text.
      long value = 0;
      if (ReadNumber(std::string_view(text).substr(i + 1, 2), 16, 2, value)) {
        if ((value & 0xFF) == delayChar)
          RecordDelay(delays, delayCount, count);
        else
          StoreByte(bytes, count, value);
      }
      i += 3;
    } else {
      if (c == delayChar)
        RecordDelay(delays, delayCount, count);
      else
        StoreByte(bytes, count, c);
      ++i;
    }
  }
  return count;
}

int ConvertBinary(const std::string& text, std::uint8_t (&bytes)[SendMax + 1], std::int32_t (&delays)[SendMax],
                  bool& repeat)
{
  int count = 0, delayCount = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find_first_of(",;:", start), text.size());
    const std::string_view token = std::string_view(text).substr(start, end - start);
    long value = 0;
    if (!token.empty() && token[0] == '#') {
      if (ReadNumber(token.substr(1), 10, 4, value)) {
        StoreByte(bytes, count, value >> 3);   // bits 3 to 10, then bits 0 to 2
        StoreByte(bytes, count, value & 7);
      }
    } else if (!token.empty() && ReadNumber(token, 16, 2, value)) {
      StoreByte(bytes, count, value);
    }
    if (end < text.size() && text[end] == ';')
      RecordDelay(delays, delayCount, count);
    start = end + 1;
  }
  repeat = !text.empty() && text.back() == ':';
  return count;
}
