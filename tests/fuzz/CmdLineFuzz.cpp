// The command-line tokenizer and the scan for the unregister option, on any text.
#include "FuzzCheck.h"
#include "app/TKalvixApp.h"
#include "framework/TCmdLine.h"

#include <cctype>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  constexpr std::string_view Blanks = " \t", EndsWord = "=/ \t";
  TCmdLine tokens(text);
  std::size_t at = 0, taken = 0;   // at: where the text of the next token may begin
  bool unregister = false;
  for (TCmdLine::TKind kind; (kind = tokens.NextToken()) != TCmdLine::Done;) {
    // Each token takes a character at least and stands next in the text: blanks, its mark ("-"
    // or "/" of an option, "=" of a value, none of a name), blanks, then the whole word.
    FUZZ_CHECK(++taken <= size && tokens.GetTokenKind() == kind);
    at = text.find_first_not_of(Blanks, at);
    FUZZ_CHECK(at < size);
    const char mark = text[at];
    if (kind == TCmdLine::Name) {
      FUZZ_CHECK(mark != '-' && mark != '/' && mark != '=');
    } else {
      FUZZ_CHECK(kind == TCmdLine::Option ? mark == '-' || mark == '/' : kind == TCmdLine::Value && mark == '=');
      at = std::min(text.find_first_not_of(Blanks, at + 1), size);
    }
    const std::string_view word = tokens.GetTokenWord();
    FUZZ_CHECK(text.compare(at, word.size(), word) == 0 && word.find_first_of(EndsWord) == std::string_view::npos);
    at += word.size();
    FUZZ_CHECK((at == size || EndsWord.find(text[at]) != std::string_view::npos) && (kind != TCmdLine::Name || !word.empty()));
    std::string lower(word);
    for (char& c : lower)
      c = char(std::tolower(static_cast<unsigned char>(c)));
    unregister = unregister || (kind == TCmdLine::Option && std::string_view("unregister").starts_with(lower));
  }
  // Only blanks are left, and the end stays the end.
  FUZZ_CHECK(text.find_first_not_of(Blanks, at) == std::string::npos && tokens.NextToken() == TCmdLine::Done);
  // The scan agrees with the options seen; a "/" always starts an option, and an empty word is a leading part of any.
  FUZZ_CHECK(TKalvixApp::AsksToUnregister(text) == unregister && TKalvixApp::AsksToUnregister(text + "/UnReg"));
  return 0;
}
