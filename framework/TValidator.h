#pragma once
// Checks the text of an edit control: while the user types, and when its window closes.
#include <string>

class TWindow;

class TValidator {
public:
  virtual ~TValidator() = default;
  // Whether the text, as it would read after the user's edit, may stand. Refused edits do
  // not happen.
  virtual bool IsValidInput(const std::string& text) const = 0;
  // Whether the text is acceptable for closing; by default what typing accepts.
  virtual bool IsValid(const std::string& text) const { return IsValidInput(text); }
  // Tells the user that the text of owner's control is not valid.
  virtual void Error(TWindow& owner) const = 0;
};
