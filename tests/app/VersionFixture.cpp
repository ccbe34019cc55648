// An executable whose version block has a product version but no product name. Run as
// "version_fixture own", it removes its own file and then prints the version it reads of itself.
#include "app/TProjectRCVersion.h"
#include "resources/VersionBlock.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
constexpr version_block::TLayout<2> Layout {
  "040904E4", 0x0409, 0x04E4, {{{"ProductVersion", "9.9"}, {"LegalCopyright", "line one\nline two"}}}};
}

[[gnu::section(".kalvix_version"), gnu::used]] extern const std::array<std::uint8_t, Layout.Length()>
  FixtureVersionBlock = MakeVersionBlock<Layout.Length()>(Layout);

int main(int argc, char** argv)
{
  if (argc < 2 || std::strcmp(argv[1], "own") != 0)
    return 0;
  if (unlink(argv[0]) != 0)
    return 2;
  const TProjectRCVersion reader;
  const char* version = "";
  reader.ReadProductVersion(version);
  std::printf("%s", version);
  return 0;
}
