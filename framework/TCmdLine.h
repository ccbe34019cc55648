#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Splits a command line into tokens. "-" or "/" starts an option and "=" a value, their word
// beginning after that character and any blanks or tabs; anything else starts a name. A word
// ends at "=", "/", a blank, a tab or the end of the text.
class TCmdLine {
public:
  enum TKind { Start, Name, Option, Value, Done };

  explicit TCmdLine(std::string text) : Text(std::move(text)) {}

  // Moves to the next token and returns its kind; Done at the end of the text.
  TKind NextToken();
  TKind GetTokenKind() const { return Kind; }
  std::string_view GetTokenWord() const { return std::string_view(Text).substr(WordStart, WordLength); }

private:
  void SkipBlanks();

  std::string Text;
  std::size_t Pos = 0;
  std::size_t WordStart = 0;
  std::size_t WordLength = 0;
  TKind Kind = Start;
};
