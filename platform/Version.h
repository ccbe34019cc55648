#pragma once
// The program's version block: a tree of named nodes carried in a section of the executable
// (".kalvix_version") and read back from the file that runs.
//
// Node layout, little-endian, each node starting on a 4-byte boundary:
//   u16 length of the node with its children; u16 value length in bytes; u16 type
//   (0 binary, 1 text); the name with its terminating zero; zeros to a 4-byte boundary;
//   the value; zeros to a 4-byte boundary; the children.
#include <cstddef>
#include <cstdint>

inline constexpr const char* VersionSectionName = ".kalvix_version";

// Full path of the running executable, cut to size-1 characters and always terminated.
// Returns the number of characters stored, 0 on failure.
std::uint32_t GetModuleFileName(char* buffer, std::uint32_t size);

// Size of the version block of an executable file; 0 when it has none or cannot be read.
std::uint32_t GetFileVersionInfoSize(const char* fileName);
// Reads the version block of the file into data (size bytes); false on failure.
bool GetFileVersionInfo(const char* fileName, std::uint32_t size, void* data);
// Finds a node by its path of names ("\StringFileInfo\040904E4\ProductName"; the names
// compared without regard to letter case) and points value at its value inside block.
// False when the path is not there or the block is malformed.
bool VerQueryValue(const void* block, const char* subBlock, void** value, std::uint32_t* length);

// Looks for the version block inside an in-memory ELF image (for GetFileVersionInfo and tests).
// Returns false when the image is not a well-formed 64-bit ELF file or has no such section.
bool FindVersionSection(const std::uint8_t* image, std::size_t imageSize, std::size_t& offset, std::size_t& size);
