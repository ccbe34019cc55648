// The colour-sequence parser. First byte: where the rest is split in two reads; the rest: what
// the device sends. Every byte is shown, or lies in a well-formed sequence taken whole or in the
// one still open; and the split changes nothing.
#include "FuzzCheck.h"
#include "display/TSequenceParser.h"

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1)
    return 0;
  // ESC, then a CSI sequence, a string sequence up to BEL or ST, or intermediates and a final byte.
  static const std::regex wellFormed(R"(\x1b(\[[0-?]*[ -/]*[@-~]|[\]PX^_][\s\S]*(\x07|\x1b\\)|[ -/]*[0-~]))");
  TSequenceParser whole, parts;
  std::string text, partsText;
  std::vector<TSequenceParser::TRun> runs, partsRuns;
  std::vector<std::string> swallowed, partsSwallowed;
  const std::size_t count = size - 1, split = data[0] % size;
  whole.Feed(data + 1, count, text, runs, &swallowed);
  parts.Feed(data + 1, split, partsText, partsRuns, &partsSwallowed);
  parts.Feed(data + 1 + split, count - split, partsText, partsRuns, &partsSwallowed);
  FUZZ_CHECK(text == partsText && swallowed == partsSwallowed && whole.Style() == parts.Style());
  FUZZ_CHECK(runs.size() == partsRuns.size() && whole.Held() <= TSequenceParser::MaxSequence);
  std::size_t covered = 0;   // the runs cover the text end to end
  for (const TSequenceParser::TRun& run : runs)
    covered = run.Begin == covered && run.Length > 0 ? covered + run.Length : size;
  FUZZ_CHECK(covered == text.size());
  // Each sequence taken is well-formed, and each byte value comes out as often as it went in.
  std::string in(reinterpret_cast<const char*>(data + 1), count), out = text;
  for (const std::string& sequence : swallowed) {
    FUZZ_CHECK(sequence.size() <= TSequenceParser::MaxSequence && std::regex_match(sequence, wellFormed));
    out += sequence;
  }
  whole.Release(out);
  std::sort(in.begin(), in.end());
  std::sort(out.begin(), out.end());
  FUZZ_CHECK(in == out);
  return 0;
}
