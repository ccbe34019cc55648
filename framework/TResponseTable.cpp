#include "framework/TResponseTable.h"

bool TResponseEntry::Matches(UINT msg, WPARAM wParam) const
{
  switch (Kind) {
  case TKind::Message:
    return msg == Code;
  case TKind::Command:
    // Menus send code 0, accelerators 1, and a button click is BN_CLICKED (0).
    return msg == WM_COMMAND && HiWord(wParam) <= 1 && int(LoWord(wParam)) == (Id & 0xFFFF);
  case TKind::Notify:
    return msg == WM_COMMAND && HiWord(wParam) == Code && int(LoWord(wParam)) == (Id & 0xFFFF);
  }
  return false;
}

const TResponseEntry* TResponseTable::Find(UINT msg, WPARAM wParam) const
{
  for (const TResponseTable* table = this; table; table = table->Base)
    for (const TResponseEntry& entry : table->Entries)
      if (entry.Matches(msg, wParam))
        return &entry;
  return nullptr;
}
