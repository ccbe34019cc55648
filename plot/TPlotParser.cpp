#include "plot/TPlotParser.h"

#include <charconv>
#include <cmath>

namespace {

bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

bool IsSeparator(char c)
{
  return c == ' ' || c == '\t' || c == ',' || c == ';';
}

}   // namespace

std::optional<double> TPlotParser::Number(std::string_view text)
{
  // The notation is checked here, so that from_chars (which knows "inf", "nan" and no "+") only
  // converts.
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-'))
    ++at;
  const std::size_t mantissa = at;
  std::size_t digits = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at)
    ++digits;
  if (at < text.size() && text[at] == '.')
    for (++at; at < text.size() && IsDigit(text[at]); ++at)
      ++digits;
  if (digits == 0)
    return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
      ++at;
    std::size_t exponent = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at)
      ++exponent;
    if (exponent == 0)
      return std::nullopt;
  }
  if (at != text.size())
    return std::nullopt;
  double value = 0;
  const char* first = text.data() + mantissa;
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return text[0] == '-' ? -value : value;
}

bool TPlotParser::Split(std::string_view line)
{
  Fields.clear();
  int position = 0;
  std::size_t at = 0;
  while (at < line.size()) {
    if (IsSeparator(line[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < line.size() && !IsSeparator(line[end]))
      ++end;
    const std::string_view field = line.substr(at, end - at);
    at = end;
    if (const std::optional<double> value = Number(field)) {
      Fields.push_back({{}, ++position, *value});
      continue;
    }
    const std::size_t mark = field.find_first_of(":=");
    if (mark == 0 || mark == std::string_view::npos)
      continue;
    if (const std::optional<double> value = Number(field.substr(mark + 1)))
      Fields.push_back({field.substr(0, mark), 0, *value});
  }
  return !Fields.empty();
}
