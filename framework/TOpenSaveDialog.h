#pragma once
// What a file dialog is asked and what it answers, and the asking, through the presenter, that
// the open, the save and the folder dialog share.
#include <cstdint>
#include <string>

class TWindow;

constexpr std::uint32_t OFN_OVERWRITEPROMPT = 0x0002;
constexpr std::uint32_t OFN_HIDEREADONLY = 0x0004;
constexpr std::uint32_t OFN_FILEMUSTEXIST = 0x1000;

class TOpenSaveDialog {
public:
  struct TData {
    std::uint32_t Flags = 0;
    // Pairs of description and pattern, each ended by "|": "Text (*.txt)|*.txt|".
    std::string Filter;
    int FilterIndex = 1;    // in: the filter shown first; out: the one chosen (1 is the first pair)
    std::string FileName;   // in: the initial name; out: the chosen file's full path
    std::string DefExt;
    std::string InitialDir;
  };

  enum class TAsk { Open, Save, Folder };

protected:
  TOpenSaveDialog(TWindow* parent, TData& data, const char* title);
  // Asks for a file to open, one to write (which may not exist yet) or a folder: IDOK with
  // Data.FileName set to the choice, or IDCANCEL with Data unchanged.
  int Ask(TAsk what);

private:
  TWindow* Parent;
  TData& Data;
  std::string Title;
};
