// The command-line tokenizer and the scan for the unregister option, on any text.
#include "FuzzCheck.h"
#include "app/TKalvixApp.h"
#include "framework/TCmdLine.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  TCmdLine tokens(text);
  // Every token takes a character of the text at least, and its word is a part of the text.
  std::size_t taken = 0;
  while (tokens.NextToken() != TCmdLine::Done)
    FUZZ_CHECK(++taken <= size && text.find(tokens.GetTokenWord()) != std::string::npos);
  // A "/" always starts an option, and an empty word is a leading part of any.
  FUZZ_CHECK(tokens.NextToken() == TCmdLine::Done && TKalvixApp::AsksToUnregister(text + "/UnReg"));
  return 0;
}
