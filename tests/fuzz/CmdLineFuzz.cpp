// The command-line tokenizer and the scan for the unregister option, on any text.
#include "FuzzCheck.h"
#include "app/TKalvixApp.h"
#include "framework/TCmdLine.h"

#include <cctype>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  TCmdLine tokens(text);
  std::string rebuilt, bare;   // the text again from the tokens; the text without blanks, "/" as "-"
  bool unregister = false;
  for (TCmdLine::TKind kind; (kind = tokens.NextToken()) != TCmdLine::Done;) {
    // Each token takes a character at least: its mark ("-" or "/" of an option, "=" of a value,
    // none of a name), then a word that ends at "=", "/", a blank or the end.
    const std::string word(tokens.GetTokenWord());
    FUZZ_CHECK(tokens.GetTokenKind() == kind && rebuilt.size() < size &&
               word.find_first_of("=/ \t") == std::string::npos);
    FUZZ_CHECK(kind != TCmdLine::Name || (!word.empty() && word[0] != '-'));
    rebuilt += (kind == TCmdLine::Option ? "-" : kind == TCmdLine::Value ? "=" : "") + word;
    std::string lower;
    for (const char c : word)
      lower += char(std::tolower(static_cast<unsigned char>(c)));
    unregister = unregister || (kind == TCmdLine::Option && std::string("unregister").starts_with(lower));
  }
  for (const char c : text)
    bare += c == ' ' || c == '\t' ? "" : std::string(1, c == '/' ? '-' : c);
  FUZZ_CHECK(rebuilt == bare && tokens.NextToken() == TCmdLine::Done);
  // The scan agrees with the options seen; a "/" always starts an option, and an empty word is a
  // leading part of any.
  FUZZ_CHECK(TKalvixApp::AsksToUnregister(text) == unregister && TKalvixApp::AsksToUnregister(text + "/UnReg"));
  return 0;
}
