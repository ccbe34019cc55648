#include "app/TProjectRCVersion.h"

#include "platform/Version.h"

#include <cstdio>

TProjectRCVersion::TProjectRCVersion(const char* fileName)
{
  // The running image itself, not the path it was started from: that file may have been
  // replaced or removed since (a package upgrade).
  char path[255];
  std::snprintf(path, sizeof path, "%s", fileName ? fileName : "/proc/self/exe");
  const std::uint32_t size = GetFileVersionInfoSize(path);
  if (size == 0)
    return;
  VersionData = std::make_unique<std::uint8_t[]>(size);
  if (!GetFileVersionInfo(path, size, VersionData.get())) {
    VersionData.reset();
    return;
  }
  char subBlock[255] = "\\VarFileInfo\\Translation";
  void* value = nullptr;
  std::uint32_t length = 0;
  if (!VerQueryValue(VersionData.get(), subBlock, &value, &length) || length < 4) {
    VersionData.reset();
    return;
  }
  // Values inside the block start on 4-byte boundaries of a new[] buffer: aligned.
  Translation = static_cast<std::uint32_t*>(value);
  *Translation = (*Translation << 16) | (*Translation >> 16);
}

TProjectRCVersion::~TProjectRCVersion() = default;

bool TProjectRCVersion::ReadString(const char* name, const char*& text) const
{
  if (!VersionData)
    return false;
  char subBlock[255];
  std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%08lx\\%s", static_cast<unsigned long>(*Translation),
                name);
  void* value = nullptr;
  std::uint32_t length = 0;
  // An empty value has no terminator to point at.
  if (!VerQueryValue(VersionData.get(), subBlock, &value, &length) || length == 0)
    return false;
  text = static_cast<const char*>(value);
  return true;
}
