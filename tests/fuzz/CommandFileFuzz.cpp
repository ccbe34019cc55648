// The command-file reader, on files of any content: the input is written to a scratch file
// that is loaded.
#include "FuzzCheck.h"
#include "terminal/TCommandListXfer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  // One scratch file for the whole run, removed at exit.
  static const struct TScratch {
    std::string Name = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/kalvix-fuzz-" +
                       std::to_string(getpid());
    ~TScratch() { std::remove(Name.c_str()); }
  } scratch;
  FILE* file = std::fopen(scratch.Name.c_str(), "wb");
  FUZZ_CHECK(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
  TCommandListXfer xfer;
  xfer.Commands.AddString("left over");
  xfer.Load(scratch.Name);

  // Entries of at most 79 characters that together are the file up to Ctrl-Z less its CRs and
  // LFs, nothing of the list before; every line end ends one, each line cut into as few as fit.
  std::string content(reinterpret_cast<const char*>(data), size), joined;
  content = content.substr(0, content.find('\x1A'));
  std::erase(content, '\r');
  const auto lineEnds = std::size_t(std::count(content.begin(), content.end(), '\n'));
  std::erase(content, '\n');
  const std::vector<std::string> entries = xfer.Commands.GetStrings();
  for (const std::string& entry : entries) {
    FUZZ_CHECK(entry.size() <= TCommandListXfer::EntryMax);
    joined += entry;
  }
  FUZZ_CHECK(joined == content);
  FUZZ_CHECK(entries.size() >= lineEnds && entries.size() <= lineEnds + 1 + content.size() / TCommandListXfer::EntryMax);
  return 0;
}
