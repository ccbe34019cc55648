#include "framework/TRangeValidator.h"

#include "framework/Latin1.h"
#include "framework/ResourceLoader.h"
#include "framework/TWindow.h"
#include "framework/StandardIds.h"

#include <QCoreApplication>
#include <string>
#include <limits>

TRangeValidator::TRangeValidator(long min, long max, unsigned messageId) : Min(min), Max(max), MessageId(messageId) {}

bool TRangeValidator::IsValidInput(const std::string& text) const
{
  const std::string_view allowed = Min < 0 ? "0123456789+-" : "0123456789+";
  return text.find_first_not_of(allowed) == std::string::npos;
}

bool TRangeValidator::IsValid(const std::string& text) const
{
  if (!IsValidInput(text))
    return false;
  const long value = Value(text);
  return value >= Min && value <= Max;
}

void TRangeValidator::Error(TWindow& owner) const
{
  char format[80];
  LoadString(MessageId, format, sizeof format);
  // The two "%ld" of the text take the minimum and the maximum, in this order.
  std::string text = format;
  for (const long bound : {Min, Max}) {
    const std::size_t at = text.find("%ld");
    if (at == std::string::npos)
      break;
    text.replace(at, 3, std::to_string(bound));
  }
  const std::string caption = ToBytes(QCoreApplication::applicationName());
  owner.MessageBox(text.c_str(), caption.c_str(), MB_OK | MB_ICONEXCLAMATION);
}

std::int32_t TRangeValidator::Value(std::string_view text)
{
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value <= std::numeric_limits<std::int32_t>::max())
      value = value * 10 + (text[i] - '0');
  if (negative)
    value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return std::int32_t(value);
}
