// The colour-sequence parser. First byte: where the rest is split in two reads; the rest: what
// the device sends. Every byte is shown or lies in a well-formed sequence taken whole, or in
// the one still open; and a split changes nothing.
#include "FuzzCheck.h"
#include "display/TSequenceParser.h"

#include <array>
#include <string>
#include <vector>

namespace {
bool In(char c, int low, int high)
{
  return std::uint8_t(c) >= low && std::uint8_t(c) <= high;
}

// ESC, then: '[' parameters, intermediates and a final byte; a string opener up to BEL or ESC \;
// or intermediates and a final byte.
bool WellFormed(const std::string& s)
{
  if (s.size() < 2 || s.size() > TSequenceParser::MaxSequence || s[0] != 0x1B)
    return false;
  std::size_t i = 1;
  if (s[1] == '[') {
    for (i = 2; i < s.size() && In(s[i], 0x30, 0x3F); ++i) {}
    for (; i < s.size() && In(s[i], 0x20, 0x2F); ++i) {}
    return i + 1 == s.size() && In(s[i], 0x40, 0x7E);
  }
  if (std::string("]PX^_").find(s[1]) != std::string::npos)
    return s.back() == 0x07 || (s.size() >= 4 && s.compare(s.size() - 2, 2, "\x1B\\") == 0);
  for (; i < s.size() && In(s[i], 0x20, 0x2F); ++i) {}
  return i + 1 == s.size() && In(s[i], 0x30, 0x7E);
}
}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1)
    return 0;
  const std::uint8_t* bytes = data + 1;
  const std::size_t count = size - 1, split = count ? data[0] % (count + 1) : 0;
  TSequenceParser whole, parts;
  std::string text, partsText;
  std::vector<TSequenceParser::TRun> runs, partsRuns;
  std::vector<std::string> swallowed, partsSwallowed;
  whole.Feed(bytes, count, text, runs, &swallowed);
  parts.Feed(bytes, split, partsText, partsRuns, &partsSwallowed);
  parts.Feed(bytes + split, count - split, partsText, partsRuns, &partsSwallowed);
  FUZZ_CHECK(text == partsText && swallowed == partsSwallowed && whole.Held() == parts.Held());
  FUZZ_CHECK(runs.size() == partsRuns.size() && whole.Style() == parts.Style());
  // The runs cover the text end to end, each of at least one byte.
  std::size_t covered = 0;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    FUZZ_CHECK(runs[i].Begin == covered && runs[i].Length > 0 && runs[i].Begin == partsRuns[i].Begin);
    FUZZ_CHECK(runs[i].Length == partsRuns[i].Length && runs[i].Style == partsRuns[i].Style);
    covered += runs[i].Length;
  }
  FUZZ_CHECK(covered == text.size());
  // Each byte value as often in what came out as in what went in.
  std::array<long, 256> balance {};
  for (std::size_t i = 0; i < count; ++i)
    ++balance[bytes[i]];
  for (const std::string& sequence : swallowed) {
    FUZZ_CHECK(WellFormed(sequence));
    text += sequence;
  }
  FUZZ_CHECK(whole.Held() <= TSequenceParser::MaxSequence);
  whole.Release(text);
  for (const char c : text)
    --balance[std::uint8_t(c)];
  for (const long b : balance)
    FUZZ_CHECK(b == 0);
  return 0;
}
