#include "framework/TCmdLine.h"

void TCmdLine::SkipBlanks()
{
  while (Pos < Text.size() && (Text[Pos] == ' ' || Text[Pos] == '\t'))
    ++Pos;
}

TCmdLine::TKind TCmdLine::NextToken()
{
  if (Kind == Done)
    return Done;
  SkipBlanks();
  if (Pos >= Text.size()) {
    WordStart = Pos;
    WordLength = 0;
    return Kind = Done;
  }
  switch (Text[Pos]) {
  case '-':
  case '/':
    Kind = Option;
    ++Pos;
    break;
  case '=':
    Kind = Value;
    ++Pos;
    break;
  default:
    Kind = Name;
    break;
  }
  SkipBlanks();
  WordStart = Pos;
  while (Pos < Text.size() && Text[Pos] != '=' && Text[Pos] != '/' && Text[Pos] != ' ' && Text[Pos] != '\t')
    ++Pos;
  WordLength = Pos - WordStart;
  return Kind;
}
