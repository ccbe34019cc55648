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
    std::string Name =
      std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/kalvix-fuzz-" + std::to_string(getpid());
    ~TScratch() { std::remove(Name.c_str()); }
  } scratch;
  FILE* file = std::fopen(scratch.Name.c_str(), "wb");
  FUZZ_CHECK(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
  TCommandListXfer xfer;
  xfer.Commands.AddString("left over");
  xfer.Load(scratch.Name);
  // Entries of at most 79 characters that together are the file up to Ctrl-Z less its CRs and
  // LFs, nothing of the list before; every line end ends one, a line cut into as few as fit it.
  std::string content(reinterpret_cast<const char*>(data), std::size_t(std::find(data, data + size, 0x1A) - data));
  std::erase(content, '\r');
  const auto lineEnds = std::size_t(std::erase(content, '\n'));
  std::string joined;
  for (const std::string& entry : xfer.Commands.GetStrings())
    FUZZ_CHECK((joined += entry, entry.size() <= TCommandListXfer::EntryMax));
  const std::size_t entries = xfer.Commands.GetStrings().size();
  FUZZ_CHECK(joined == content && entries >= lineEnds &&
             entries <= lineEnds + 1 + content.size() / TCommandListXfer::EntryMax);
  return 0;
}
