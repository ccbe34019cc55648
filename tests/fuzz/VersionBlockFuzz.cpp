// The version-block reader. The input is a query path, a zero byte, then either an executable
// image (when the path starts with "@", which no node name in a query needs) searched for its
// version section, or a version block as it is.
#include "FuzzCheck.h"
#include "platform/Version.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint16_t RootLength(const std::vector<std::uint8_t>& block) { return std::uint16_t(block[0] | block[1] << 8); }

// Queries a block held in a buffer of exactly its size, so reads past it show under ASan.
void Query(const std::vector<std::uint8_t>& block, const std::string& path)
{
  // What GetFileVersionInfo hands out: at least a node header, the root's length within.
  if (block.size() < 6 || RootLength(block) > block.size())
    return;
  void* value = nullptr;
  std::uint32_t length = 0;
  if (!VerQueryValue(block.data(), path.c_str(), &value, &length))
    return;
  // The value lies inside the root node, which lies inside the block.
  const auto* begin = block.data();
  const auto* found = static_cast<const std::uint8_t*>(value);
  FUZZ_CHECK(found >= begin + 6 && found <= begin + RootLength(block));
  FUZZ_CHECK(length <= std::size_t(begin + RootLength(block) - found));

  // Names compare without regard to letter case.
  std::string upper = path;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  void* valueUpper = nullptr;
  std::uint32_t lengthUpper = 0;
  FUZZ_CHECK(VerQueryValue(block.data(), upper.c_str(), &valueUpper, &lengthUpper));
  FUZZ_CHECK(valueUpper == value && lengthUpper == length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const auto* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  if (!zero)
    return 0;
  std::string path(reinterpret_cast<const char*>(data), std::size_t(zero - data));
  const std::vector<std::uint8_t> rest(zero + 1, data + size);
  if (path.starts_with('@')) {
    path.erase(0, 1);
    std::size_t offset = 0, sectionSize = 0;
    if (!FindVersionSection(rest.data(), rest.size(), offset, sectionSize))
      return 0;
    FUZZ_CHECK(sectionSize > 0 && offset <= rest.size() && sectionSize <= rest.size() - offset);
    Query(std::vector<std::uint8_t>(rest.begin() + std::ptrdiff_t(offset), rest.begin() + std::ptrdiff_t(offset + sectionSize)),
          path);
  } else {
    Query(rest, path);
  }
  return 0;
}
