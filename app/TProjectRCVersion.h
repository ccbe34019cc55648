#pragma once
#include <cstdint>
#include <memory>

// Reads the program's version block: product name, product version and legal notice of its
// first translation. The texts returned point into the reader's own copy of the block and
// live as long as the reader.
class TProjectRCVersion {
public:
  // fileName: the executable to read; null for the running program.
  explicit TProjectRCVersion(const char* fileName = nullptr);
  virtual ~TProjectRCVersion();
  TProjectRCVersion(const TProjectRCVersion&) = delete;
  TProjectRCVersion& operator=(const TProjectRCVersion&) = delete;

  bool ReadProductName(const char*& text) const { return ReadString("ProductName", text); }
  bool ReadProductVersion(const char*& text) const { return ReadString("ProductVersion", text); }
  bool ReadLegalNotice(const char*& text) const { return ReadString("LegalCopyright", text); }

protected:
  bool ReadString(const char* name, const char*& text) const;

  std::unique_ptr<std::uint8_t[]> VersionData;
  // The first translation, halves swapped so that it prints as language then code page.
  std::uint32_t* Translation = nullptr;
};
