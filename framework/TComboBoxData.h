#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Transfer data of a combo box: its entries, the selection text and the selected position
// (-1: none; 0 after construction).
class TComboBoxData {
public:
  void AddString(const std::string& text, bool isSelected = false);
  void Clear();
  // Selects the first entry equal to text (exactly, case and all), or none; either way text
  // becomes the selection text.
  void SelectString(const std::string& text);
  // Selects by position; a position outside the list selects none and empties the text.
  void Select(int index);
  // Copies the selection text into buffer: at most size-1 bytes, every byte after them zero.
  void GetSelString(char* buffer, std::size_t size) const;

  const std::vector<std::string>& GetStrings() const { return Strings; }
  const std::string& GetSelection() const { return Selection; }
  int GetSelIndex() const { return SelIndex; }

private:
  std::vector<std::string> Strings;
  std::string Selection;
  int SelIndex = 0;
};
