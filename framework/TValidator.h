#pragma once
// Checks the text of an edit control: while the user types, and when its window closes.
#include <string>

class TWindow;

class TValidator {
public:
  virtual ~TValidator() = default;
  // Whether these characters may go into the field: what one keystroke or paste inserts,
  // never what the field holds already. Refused input does not go in.
  virtual bool IsValidInput(const std::string& text) const = 0;
  // Whether what comes in other than by a keystroke (a paste, a drop) is judged as typing is.
  // When not, it goes in as it is, and IsValid judges it when the field is checked.
  virtual bool FiltersPaste() const { return true; }
  // Whether the text is acceptable for closing; by default what typing accepts.
  virtual bool IsValid(const std::string& text) const { return IsValidInput(text); }
  // Tells the user that the text of owner's control is not valid.
  virtual void Error(TWindow& owner) const = 0;
};
