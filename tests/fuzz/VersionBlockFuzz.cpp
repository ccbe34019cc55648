// The version-block reader. The input is a query path, a zero byte, then either an executable
// image (when the path starts with "@", which no node name in a query needs) searched for its
// version section, or a version block as it is.
#include "FuzzCheck.h"
#include "platform/Version.h"

#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const auto* zero = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
  const std::string path(reinterpret_cast<const char*>(data), std::size_t((zero ? zero : data) - data));
  std::vector<std::uint8_t> block(zero ? zero + 1 : data, data + size);
  std::size_t at = 0, bytes = block.size();
  const bool image = path.starts_with('@');
  if (!zero || (image && !FindVersionSection(block.data(), block.size(), at, bytes)))
    return 0;
  FUZZ_CHECK(at <= block.size() && bytes <= block.size() - at && (bytes > 0 || !image));
  // Held in a buffer of exactly its size, so reads past it show under ASan; as GetFileVersionInfo
  // hands it out: at least a node header, the root's length within.
  block = std::vector<std::uint8_t>(block.begin() + std::ptrdiff_t(at), block.begin() + std::ptrdiff_t(at + bytes));
  const std::size_t root = block.size() < 6 ? 0 : std::size_t(block[0] | block[1] << 8);
  void* value = nullptr;
  std::uint32_t length = 0;
  if (block.size() < 6 || root > block.size() || !VerQueryValue(block.data(), path.c_str() + image, &value, &length))
    return 0;
  // The value lies inside the root node.
  const auto* found = static_cast<const std::uint8_t*>(value);
  FUZZ_CHECK(found >= block.data() + 6 && found <= block.data() + root &&
             length <= root - std::size_t(found - block.data()));
  return 0;
}
