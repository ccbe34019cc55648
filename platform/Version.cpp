#include "platform/Version.h"

#include <cctype>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::uint16_t U16(const std::uint8_t* p)
{
  return std::uint16_t(p[0] | p[1] << 8);
}

// Reads a whole file of at most maxSize bytes.
bool ReadFile(const char* fileName, std::vector<std::uint8_t>& out, std::size_t maxSize = 512u << 20)
{
  if (!fileName)
    return false;
  const int fd = open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && st.st_size > 0 && std::size_t(st.st_size) <= maxSize;
  if (ok) {
    out.resize(std::size_t(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = read(fd, out.data() + done, out.size() - done);
      if (n <= 0)
        break;
      done += std::size_t(n);
    }
    ok = done == out.size();
  }
  close(fd);
  return ok;
}

bool Locate(const char* fileName, std::vector<std::uint8_t>& image, std::size_t& offset, std::size_t& size)
{
  // The root node's own length must lie within the section, or queries would read past it.
  return ReadFile(fileName, image) && FindVersionSection(image.data(), image.size(), offset, size) && size >= 6 &&
         size <= UINT32_MAX && U16(image.data() + offset) >= 6 && U16(image.data() + offset) <= size;
}

std::size_t Align4(std::size_t n)
{
  return (n + 3) & ~std::size_t(3);
}

struct TNode {
  std::size_t Begin = 0, End = 0;   // the node with its children
  std::size_t Value = 0, ValueLength = 0;
  std::size_t Children = 0;
  std::uint16_t Type = 0;
  const char* Name = nullptr;
  std::size_t NameLength = 0;
};

// Parses the node at begin within [begin, limit); false when it does not fit.
bool ParseNode(const std::uint8_t* block, std::size_t begin, std::size_t limit, TNode& node)
{
  if (begin + 6 > limit)
    return false;
  const std::size_t length = U16(block + begin);
  const std::size_t valueLength = U16(block + begin + 2);
  if (length < 6 || begin + length > limit)
    return false;
  node.Begin = begin;
  node.End = begin + length;
  node.Name = reinterpret_cast<const char*>(block + begin + 6);
  const void* zero = std::memchr(node.Name, 0, node.End - (begin + 6));
  if (!zero)
    return false;
  node.NameLength = std::size_t(static_cast<const char*>(zero) - node.Name);
  node.Value = Align4(begin + 6 + node.NameLength + 1);
  node.ValueLength = valueLength;
  node.Type = U16(block + begin + 4);
  if (node.Value + valueLength > node.End)
    return false;
  // A text must end within its value, so callers can use it as a C string.
  if (node.Type == 1 && valueLength > 0 && block[node.Value + valueLength - 1] != 0)
    return false;
  node.Children = Align4(node.Value + valueLength);
  return true;
}

bool SameName(const TNode& node, const char* name, std::size_t length)
{
  if (node.NameLength != length)
    return false;
  for (std::size_t i = 0; i < length; ++i)
    if (std::toupper(static_cast<unsigned char>(node.Name[i])) != std::toupper(static_cast<unsigned char>(name[i])))
      return false;
  return true;
}

}   // namespace

bool FindVersionSection(const std::uint8_t* image, std::size_t imageSize, std::size_t& offset, std::size_t& size)
{
  if (!image || imageSize < sizeof(Elf64_Ehdr) || std::memcmp(image, ELFMAG, SELFMAG) != 0 ||
      image[EI_CLASS] != ELFCLASS64)
    return false;
  Elf64_Ehdr eh;
  std::memcpy(&eh, image, sizeof eh);
  if (eh.e_shentsize != sizeof(Elf64_Shdr) || eh.e_shoff > imageSize ||
      eh.e_shnum > (imageSize - eh.e_shoff) / sizeof(Elf64_Shdr) || eh.e_shstrndx >= eh.e_shnum)
    return false;
  const auto section = [&](std::size_t i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, image + eh.e_shoff + i * sizeof(Elf64_Shdr), sizeof sh);
    return sh;
  };
  const Elf64_Shdr names = section(eh.e_shstrndx);
  if (names.sh_offset > imageSize || names.sh_size > imageSize - names.sh_offset)
    return false;
  const std::string wanted = VersionSectionName;
  for (std::size_t i = 0; i < eh.e_shnum; ++i) {
    const Elf64_Shdr sh = section(i);
    if (sh.sh_name >= names.sh_size || sh.sh_type == SHT_NOBITS)
      continue;
    const char* name = reinterpret_cast<const char*>(image + names.sh_offset + sh.sh_name);
    const std::size_t room = names.sh_size - sh.sh_name;
    if (strnlen(name, room) != wanted.size() || wanted.compare(0, wanted.size(), name, wanted.size()) != 0)
      continue;
    if (sh.sh_offset > imageSize || sh.sh_size > imageSize - sh.sh_offset || sh.sh_size == 0)
      return false;
    offset = std::size_t(sh.sh_offset);
    size = std::size_t(sh.sh_size);
    return true;
  }
  return false;
}

std::uint32_t GetModuleFileName(char* buffer, std::uint32_t size)
{
  if (!buffer || size == 0)
    return 0;
  std::vector<char> path(4096);
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  const std::size_t stored = std::min<std::size_t>(std::size_t(n), size - 1);
  std::memcpy(buffer, path.data(), stored);
  buffer[stored] = '\0';
  return std::uint32_t(stored);
}

std::uint32_t GetFileVersionInfoSize(const char* fileName)
{
  std::vector<std::uint8_t> image;
  std::size_t offset = 0, size = 0;
  return Locate(fileName, image, offset, size) ? std::uint32_t(size) : 0;
}

bool GetFileVersionInfo(const char* fileName, std::uint32_t size, void* data)
{
  std::vector<std::uint8_t> image;
  std::size_t offset = 0, sectionSize = 0;
  if (!data || !Locate(fileName, image, offset, sectionSize) || size < sectionSize)
    return false;
  std::memcpy(data, image.data() + offset, sectionSize);
  return true;
}

bool VerQueryValue(const void* block, const char* subBlock, void** value, std::uint32_t* length)
{
  if (!block || !subBlock || !value || !length)
    return false;
  const auto* bytes = static_cast<const std::uint8_t*>(block);
  TNode node;
  // The root's length bounds every read below.
  if (!ParseNode(bytes, 0, U16(bytes), node))
    return false;
  const char* p = subBlock;
  while (*p) {
    while (*p == '\\')
      ++p;
    if (!*p)
      break;
    const char* end = std::strchr(p, '\\');
    const std::size_t len = end ? std::size_t(end - p) : std::strlen(p);
    bool found = false;
    for (std::size_t at = node.Children; at < node.End;) {
      TNode child;
      if (!ParseNode(bytes, at, node.End, child))
        return false;
      if (SameName(child, p, len)) {
        node = child;
        found = true;
        break;
      }
      at = Align4(child.End);
    }
    if (!found)
      return false;
    p += len;
  }
  *value = const_cast<std::uint8_t*>(bytes + node.Value);
  *length = std::uint32_t(node.ValueLength);
  return true;
}
