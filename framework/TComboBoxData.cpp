#include "framework/TComboBoxData.h"

#include <algorithm>
#include <cstring>

void TComboBoxData::AddString(const std::string& text, bool isSelected)
{
  Strings.push_back(text);
  if (isSelected)
    Select(int(Strings.size()) - 1);
}

void TComboBoxData::Clear()
{
  Strings.clear();
  Selection.clear();
  SelIndex = -1;
}

void TComboBoxData::SelectString(const std::string& text)
{
  const auto it = std::find(Strings.begin(), Strings.end(), text);
  SelIndex = it == Strings.end() ? -1 : int(it - Strings.begin());
  Selection = text;
}

void TComboBoxData::Select(int index)
{
  if (index >= 0 && index < int(Strings.size())) {
    SelIndex = index;
    Selection = Strings[std::size_t(index)];
  } else {
    SelIndex = -1;
    Selection.clear();
  }
}

void TComboBoxData::GetSelString(char* buffer, std::size_t size) const
{
  if (!buffer || size == 0)
    return;
  const std::size_t n = std::min(Selection.size(), size - 1);
  std::memcpy(buffer, Selection.data(), n);
  std::memset(buffer + n, 0, size - n);
}
