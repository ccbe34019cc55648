// An executable whose version block has a product version but no product name.
#include "resources/VersionBlock.h"

namespace {
constexpr version_block::TLayout<2> Layout {"040904E4", 0x0409, 0x04E4, {{{"ProductVersion", "9.9"}, {"LegalCopyright", "line one\nline two"}}}};
}

[[gnu::section(".kalvix_version"), gnu::used]] extern const std::array<std::uint8_t, Layout.Length()> FixtureVersionBlock =
    MakeVersionBlock<Layout.Length()>(Layout);

int main() { return 0; }
