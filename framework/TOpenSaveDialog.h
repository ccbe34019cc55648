#pragma once
// What a file dialog is asked and what it answers.
#include <cstdint>
#include <string>

constexpr std::uint32_t OFN_OVERWRITEPROMPT = 0x0002;
constexpr std::uint32_t OFN_HIDEREADONLY = 0x0004;
constexpr std::uint32_t OFN_FILEMUSTEXIST = 0x1000;

class TOpenSaveDialog {
public:
  struct TData {
    std::uint32_t Flags = 0;
    // Pairs of description and pattern, each ended by "|": "Text (*.txt)|*.txt|".
    std::string Filter;
    int FilterIndex = 1;   // 1 is the first pair
    std::string FileName;  // in: the initial name; out: the chosen file's full path
    std::string DefExt;
    std::string InitialDir;
  };
};
