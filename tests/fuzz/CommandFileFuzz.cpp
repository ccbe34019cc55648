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
  static const struct TScratch {   // one for the whole run, removed at exit
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
  // LFs, nothing of the list before.
  std::string content(reinterpret_cast<const char*>(data), std::size_t(std::find(data, data + size, 0x1A) - data));
  std::erase_if(content, [](char c) { return c == '\r' || c == '\n'; });
  for (const std::string& entry : xfer.Commands.GetStrings())
    FUZZ_CHECK(entry.size() <= TCommandListXfer::EntryMax && content.starts_with(entry) &&
               (content.erase(0, entry.size()), true));
  FUZZ_CHECK(content.empty());
  return 0;
}
