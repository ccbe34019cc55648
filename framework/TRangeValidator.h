#pragma once
// Accepts a whole number between a minimum and a maximum, both included. While typing only
// the digits and the signs pass ("-" only when the minimum is negative); the number is read
// as an optional sign and the digits up to the first other character, an empty text being 0.
#include "framework/StandardIds.h"
#include "framework/TValidator.h"

#include <cstdint>
#include <string_view>

class TRangeValidator : public TValidator {
public:
  // messageId: the string-table text of Error, with "%ld" for the minimum and the maximum.
  TRangeValidator(long min, long max, unsigned messageId = IDS_VALUE_NOT_IN_RANGE);

  long GetMin() const { return Min; }
  long GetMax() const { return Max; }

  // Only digits and "+" (and "-" when the minimum is negative).
  bool IsValidInput(const std::string& text) const override;
  // Pasted text goes in unfiltered; a wrong character in it fails IsValid.
  bool FiltersPaste() const override { return false; }
  // Only those characters, and the value lies in the range.
  bool IsValid(const std::string& text) const override;
  // A message box owned by owner, captioned with the application's name: "Value is not in
  // the range <min> to <max>.", or the text of the validator's own message.
  void Error(TWindow& owner) const override;

  // The value of text: optional sign, then decimal digits up to the first other character;
  // nothing to read gives 0. Saturates at the ends of the 32-bit range.
  static std::int32_t Value(std::string_view text);

private:
  long Min, Max;
  unsigned MessageId;
};
