// The command-file reader, on files of any content: the input is written to a scratch file
// that is loaded.
#include "FuzzCheck.h"
#include "terminal/TCommandListXfer.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// One scratch file for the whole run, removed at exit.
const std::string& ScratchFile()
{
  static const std::string name = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/kalvix-fuzz-XXXXXX";
    const int fd = mkstemp(pattern.data());
    FUZZ_CHECK(fd >= 0);
    close(fd);
    return pattern;
  }();
  static const struct TRemove {
    ~TRemove() { unlink(name.c_str()); }
  } remove;
  return name;
}

void WriteScratch(const std::uint8_t* data, std::size_t size)
{
  FILE* file = std::fopen(ScratchFile().c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  WriteScratch(data, size);
  TCommandListXfer xfer;
  xfer.Commands.AddString("left over");
  xfer.Load(ScratchFile());
  const std::vector<std::string> entries = xfer.Commands.GetStrings();

  // What counts: the file up to Ctrl-Z, without its CRs.
  std::string content(reinterpret_cast<const char*>(data), size);
  content = content.substr(0, content.find('\x1A'));
  std::erase(content, '\r');
  const auto lineEnds = std::size_t(std::count(content.begin(), content.end(), '\n'));

  std::string joined;
  for (const std::string& entry : entries) {
    FUZZ_CHECK(entry.size() <= TCommandListXfer::EntryMax);
    FUZZ_CHECK(entry.find_first_of("\r\n\x1A") == std::string::npos);
    joined += entry;
  }
  // Nothing lost, nothing added, nothing left of the list before.
  std::erase(content, '\n');
  FUZZ_CHECK(joined == content);
  // Every line end ends an entry; a line is cut into as few entries as fit it.
  FUZZ_CHECK(entries.size() >= lineEnds);
  FUZZ_CHECK(entries.size() <= lineEnds + 1 + content.size() / TCommandListXfer::EntryMax);
  return 0;
}
