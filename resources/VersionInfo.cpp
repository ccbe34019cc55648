// The program's version block, carried in a section of its own so that the about box reads
// back exactly what the running file holds.
#include "platform/Version.h"
#include "resources/VersionBlock.h"

namespace {

constexpr version_block::TLayout<6> Layout {
  "040904E4",
  0x0409,
  0x04E4,
  {{
    {"CompanyName", "The Kalvix developers"},
    {"FileDescription", "Kalvix serial-line terminal"},
    {"InternalName", "kalvix"},
    {"ProductName", "Kalvix"},
    {"ProductVersion", "1.5"},
    {"LegalCopyright", "Copyright (C) 2026 The Kalvix developers\n"
                       "Kalvix comes with ABSOLUTELY NO WARRANTY.\n"
                       "You may use, copy and pass it on freely;\n"
                       "use it on lines and devices at your own risk."},
  }},
};

}   // namespace

[[gnu::section(".kalvix_version"), gnu::used]] extern const std::array<std::uint8_t, Layout.Length()>
  KalvixVersionBlock = MakeVersionBlock<Layout.Length()>(Layout);
