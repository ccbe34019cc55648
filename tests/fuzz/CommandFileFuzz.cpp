// The command-file reader, on files of any content: the input is written to a file in memory
// that is loaded.
#include "FuzzCheck.h"
#include "terminal/TCommandListXfer.h"

#include <algorithm>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const int fd = memfd_create("commands", 0);   // gone once closed
  FUZZ_CHECK(fd >= 0 && write(fd, data, size) == ssize_t(size));
  TCommandListXfer xfer;
  xfer.Load("/proc/self/fd/" + std::to_string(fd));
  close(fd);
  // Entries of at most 79 characters that together are the file up to Ctrl-Z less its CRs and
  // LFs.
  std::string content(reinterpret_cast<const char*>(data), std::size_t(std::find(data, data + size, 0x1A) - data));
  std::erase_if(content, [](char c) { return c == '\r' || c == '\n'; });
  for (const std::string& entry : xfer.Commands.GetStrings())
    FUZZ_CHECK(entry.size() <= TCommandListXfer::EntryMax && content.starts_with(entry) &&
               (content.erase(0, entry.size()), true));
  FUZZ_CHECK(content.empty());
  return 0;
}
