#include "display/TSequenceParser.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint8_t Esc = 0x1B, Bel = 0x07;
bool Within(std::uint8_t b, std::uint8_t low, std::uint8_t high)
{
  return b >= low && b <= high;
}
}   // namespace

void TSequenceParser::Feed(const std::uint8_t* bytes, std::size_t count, std::string& text, std::vector<TRun>& runs,
                           std::vector<std::string>* swallowed)
{
  for (std::size_t i = 0; i < count;) {
    // Text up to the next ESC goes in one piece.
    if (State == TState::Text && bytes[i] != Esc) {
      const void* esc = std::memchr(bytes + i, Esc, count - i);
      const std::size_t end = esc ? std::size_t(static_cast<const std::uint8_t*>(esc) - bytes) : count;
      Show(reinterpret_cast<const char*>(bytes + i), end - i, text, runs);
      i = end;
    } else if (Take(bytes[i], text, runs, swallowed)) {
      ++i;
    }
  }
}

bool TSequenceParser::Take(std::uint8_t b, std::string& text, std::vector<TRun>& runs,
                           std::vector<std::string>* swallowed)
{
  if (State == TState::Text) {
    if (b == Esc) {
      Sequence[0] = char(b);
      Length = 1;
      State = TState::Escape;
    } else {
      Show(reinterpret_cast<const char*>(&b), 1, text, runs);
    }
    return true;
  }
  // A byte that would make the sequence longer than its limit breaks it.
  if (Length == MaxSequence) {
    Break(text, runs);
    return false;
  }
  bool belongs = true, last = false;
  switch (State) {
  case TState::Escape:
    if (b == '[') {
      State = TState::Csi;
      Intermediates = false;
    } else if (b == ']' || b == 'P' || b == 'X' || b == '^' || b == '_') {
      State = TState::String;   // OSC, DCS, SOS, PM, APC: up to BEL or ST
    } else if (Within(b, 0x20, 0x2F)) {
      State = TState::Intermediate;
    } else {
      belongs = last = Within(b, 0x30, 0x7E);
    }
    break;
  case TState::Intermediate:
    belongs = Within(b, 0x20, 0x7E);
    last = Within(b, 0x30, 0x7E);
    break;
  case TState::Csi:
    // Parameters, then intermediates, then the final byte.
    belongs = Within(b, 0x20, 0x7E) && !(Intermediates && Within(b, 0x30, 0x3F));
    Intermediates = Intermediates || Within(b, 0x20, 0x2F);
    last = Within(b, 0x40, 0x7E);
    break;
  case TState::String:
    belongs = b >= 0x20 || Within(b, 0x08, 0x0D) || b == Bel || b == Esc;
    last = b == Bel;
    if (b == Esc)
      State = TState::StringEscape;
    break;
  case TState::StringEscape:
    if (b != '\\') {
      // Not a string terminator: the ESC may begin the next sequence.
      Break(text, runs, 1);
      Sequence[0] = char(Esc);
      Length = 1;
      State = TState::Escape;
      return false;
    }
    last = true;
    break;
  case TState::Text:
    break;
  }
  if (!belongs) {
    Break(text, runs);
    return false;
  }
  Sequence[Length++] = char(b);
  if (last)
    Finish(swallowed);
  return true;
}

void TSequenceParser::Show(const char* shown, std::size_t length, std::string& text, std::vector<TRun>& runs) const
{
  if (length == 0)
    return;
  if (runs.empty() || runs.back().Style != Current || runs.back().Begin + runs.back().Length != text.size())
    runs.push_back({text.size(), 0, Current});
  text.append(shown, length);
  runs.back().Length += length;
}

void TSequenceParser::Break(std::string& text, std::vector<TRun>& runs, std::size_t keep)
{
  Show(Sequence, Length - keep, text, runs);
  Length = 0;
  State = TState::Text;
}

void TSequenceParser::Finish(std::vector<std::string>* swallowed)
{
  if (State == TState::Csi && Sequence[Length - 1] == 'm' && !Intermediates)
    ApplySgr();
  if (swallowed)
    swallowed->emplace_back(Sequence, Length);
  Length = 0;
  State = TState::Text;
}

void TSequenceParser::ApplySgr()
{
  // A private marker (ESC [ > 4 ; 2 m and its kind) makes it no SGR.
  if (Length > 3 && Within(std::uint8_t(Sequence[2]), 0x3C, 0x3F))
    return;
  // Parameters separated by ';' (or ':'); an empty one is 0.
  // A sequence has fewer bytes than MaxSequence between its '[' and its 'm'.
  unsigned p[MaxSequence] = {};
  std::size_t n = 1;
  for (std::size_t i = 2; i + 1 < Length; ++i) {
    const char c = Sequence[i];
    if (c == ';' || c == ':')
      ++n;
    else if (c >= '0' && c <= '9')
      p[n - 1] = std::min(p[n - 1] * 10 + unsigned(c - '0'), 65535u);
  }
  TTextStyle& s = Current;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned v = p[i];
    static constexpr std::uint8_t Sets[] = {
      0, TTextStyle::Bold, TTextStyle::Dim, TTextStyle::Italic, TTextStyle::Underline, 0, 0, TTextStyle::Inverse};
    if (v == 0)
      s = {};
    else if (v < 8)
      s.Flags |= Sets[v];
    else if (v == 22)
      s.Flags &= ~(TTextStyle::Bold | TTextStyle::Dim);
    else if (v >= 23 && v <= 27 && Sets[v - 20])
      s.Flags &= ~Sets[v - 20];
    else if (v >= 30 && v <= 37)
      s.Fore = IndexedColour(v - 30);
    else if (v >= 90 && v <= 97)
      s.Fore = IndexedColour(v - 90 + 8);
    else if (v >= 40 && v <= 47)
      s.Back = IndexedColour(v - 40);
    else if (v >= 100 && v <= 107)
      s.Back = IndexedColour(v - 100 + 8);
    else if (v == 39)
      s.Fore = DefaultColour;
    else if (v == 49)
      s.Back = DefaultColour;
    else if (v == 38 || v == 48) {
      TColour& target = v == 38 ? s.Fore : s.Back;
      if (i + 2 < n && p[i + 1] == 5 && p[i + 2] < 256) {
        target = IndexedColour(p[i + 2]);
        i += 2;
      } else if (i + 4 < n && p[i + 1] == 2 && std::max({p[i + 2], p[i + 3], p[i + 4]}) < 256) {
        target = RgbColour(p[i + 2] << 16 | p[i + 3] << 8 | p[i + 4]);
        i += 4;
      } else {
        return;   // an extended colour cut short or out of range: the rest cannot be read
      }
    }
  }
}

void TSequenceParser::Release(std::string& text)
{
  text.append(Sequence, Length);
  Reset();
}

void TSequenceParser::Reset()
{
  Length = 0;
  State = TState::Text;
  Current = {};
}
