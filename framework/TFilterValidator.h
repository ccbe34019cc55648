#pragma once
// Accepts only text made of the characters of a set, given as in "0-9,;#:A-F": single
// characters and ranges "a-z". A set that starts or ends with "-" holds the dash itself.
#include "framework/TValidator.h"

#include <bitset>
#include <string_view>

class TFilterValidator : public TValidator {
public:
  explicit TFilterValidator(std::string_view set);

  bool IsValidInput(const std::string& text) const override;
  // "Invalid character in input", with the application's name as caption.
  void Error(TWindow& owner) const override;
  bool Accepts(unsigned char c) const { return Set.test(c); }

private:
  std::bitset<256> Set;
};
