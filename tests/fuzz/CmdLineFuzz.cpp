// The command-line tokenizer and the scan for the unregister option, on any text.
#include "FuzzCheck.h"
#include "app/TKalvixApp.h"
#include "framework/TCmdLine.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool EndsWord(char c) { return c == '=' || c == '/' || IsBlank(c); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string text(reinterpret_cast<const char*>(data), size);
  TCmdLine tokens(text);
  // Each token takes at least one character, so the end comes within size + 1 tokens.
  std::size_t at = 0;   // where the text of the next token may begin
  bool unregister = false;
  std::size_t taken = 0;
  for (TCmdLine::TKind kind; (kind = tokens.NextToken()) != TCmdLine::Done;) {
    FUZZ_CHECK(++taken <= size);
    FUZZ_CHECK(tokens.GetTokenKind() == kind);
    // The token stands next in the text: blanks, its mark, blanks, then the whole word.
    while (at < size && IsBlank(text[at]))
      ++at;
    FUZZ_CHECK(at < size);
    if (kind == TCmdLine::Option) {
      FUZZ_CHECK(text[at] == '-' || text[at] == '/');
      ++at;
    } else if (kind == TCmdLine::Value) {
      FUZZ_CHECK(text[at] == '=');
      ++at;
    } else {
      FUZZ_CHECK(kind == TCmdLine::Name && text[at] != '-' && text[at] != '/' && text[at] != '=');
    }
    if (kind != TCmdLine::Name)
      while (at < size && IsBlank(text[at]))
        ++at;
    const std::string_view word = tokens.GetTokenWord();
    FUZZ_CHECK(word.size() <= size - at && text.compare(at, word.size(), word) == 0);
    FUZZ_CHECK(std::none_of(word.begin(), word.end(), EndsWord));
    at += word.size();
    FUZZ_CHECK(at == size || EndsWord(text[at]));
    FUZZ_CHECK(kind != TCmdLine::Name || !word.empty());

    std::string lower(word);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    unregister = unregister || (kind == TCmdLine::Option && std::string_view("unregister").starts_with(lower));
  }
  // Only blanks are left, and the end stays the end.
  FUZZ_CHECK(std::all_of(text.begin() + std::ptrdiff_t(at), text.end(), IsBlank));
  FUZZ_CHECK(tokens.NextToken() == TCmdLine::Done && tokens.GetTokenWord().empty());

  FUZZ_CHECK(TKalvixApp::AsksToUnregister(text) == unregister);
  // A "/" always starts an option, and an empty word is a leading part of any.
  FUZZ_CHECK(TKalvixApp::AsksToUnregister(text + "/UnReg"));
  return 0;
}
