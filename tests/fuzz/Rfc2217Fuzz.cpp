// What a remote port's server sends, through the Telnet / COM-PORT parser. First byte: where the
// rest is cut in two, as two reads would bring it; the rest: the server's bytes. Read in two
// parts or at once, the line's data and the answers are the same, never more data than bytes
// came, and never more answers than the bound.
#include "FuzzCheck.h"
#include "platform/Rfc2217Codec.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1)
    return 0;
  const std::uint8_t* in = data + 1;
  const std::size_t n = size - 1, cut = n * data[0] / 255;
  TRfc2217Codec whole, parts;
  std::string wholeOut, partsOut;
  whole.Start(wholeOut);
  parts.Start(partsOut);
  // Exactly as large as the contract allows, so that a write past it shows under ASan.
  std::vector<std::uint8_t> wholeData(n), first(cut), second(n - cut);
  const std::size_t got = whole.Receive(in, n, wholeData.data(), wholeOut);
  const std::size_t got1 = parts.Receive(in, cut, first.data(), partsOut);
  const std::size_t got2 = parts.Receive(in + cut, n - cut, second.data(), partsOut);
  FUZZ_CHECK(got <= n && got1 <= cut && got2 <= n - cut && got1 + got2 == got);
  FUZZ_CHECK(std::equal(first.begin(), first.begin() + long(got1), wholeData.begin()) &&
             std::equal(second.begin(), second.begin() + long(got2), wholeData.begin() + long(got1)));
  FUZZ_CHECK(wholeOut == partsOut && wholeOut.size() < TRfc2217Codec::MaxPending + 3);
  std::uint32_t a = 0, b = 0;
  FUZZ_CHECK(whole.ModemState(a) == parts.ModemState(b) && a == b && (a & 0x0Fu) == 0);
  return 0;
}
