// The command-line tokenizer and the scan for the unregister option, on any text.
#include "FuzzCheck.h"
#include "app/TKalvixApp.h"
#include "framework/TCmdLine.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  TCmdLine tokens(text);
  // The text again from the tokens, each a mark ("-" or "/" of an option, "=" of a value, none of
  // a name) and a word that ends at "=", "/", a blank or the end: the text without blanks.
  std::string rebuilt, bare;
  for (TCmdLine::TKind kind; (kind = tokens.NextToken()) != TCmdLine::Done;) {
    const std::string word(tokens.GetTokenWord());
    FUZZ_CHECK(rebuilt.size() < size && word.find_first_of("=/ \t") == std::string::npos);
    FUZZ_CHECK(kind != TCmdLine::Name || (!word.empty() && word[0] != '-'));
    rebuilt += (kind == TCmdLine::Option ? "-" : kind == TCmdLine::Value ? "=" : "") + word;
  }
  for (const char c : text)
    bare += c == ' ' || c == '\t' ? "" : std::string(1, c == '/' ? '-' : c);
  FUZZ_CHECK(rebuilt == bare && tokens.NextToken() == TCmdLine::Done);
  // A "/" always starts an option, and an empty word is a leading part of any.
  FUZZ_CHECK(TKalvixApp::AsksToUnregister(text + "/UnReg"));
  return 0;
}
