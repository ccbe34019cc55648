#include "resources/ResourceIds.h"
#include "resources/ResourceTypes.h"

namespace {
struct TStringEntry {
  unsigned Id;
  const char* Text;
};

constexpr TStringEntry Strings[] = {
  {IDS_5DATA_2STOP, "5 Data Bits with 2 Stop Bits is not allowed!"},
  {IDS_6DATA_15STOP, "6 Data Bits with 1,5 Stop Bits is not allowed!"},
  {IDS_7DATA_15STOP, "7 Data Bits with 1,5 Stop Bits is not allowed!"},
  {IDS_8DATA_15STOP, "8 Data Bits with 1,5 Stop Bits is not allowed!"},
  {IDS_PORT_UNAVAILABLE,
   "Configured COM Port is already uses by an other appication\nor is not available!\n"
   "Use setup to select an other one!"},
  {IDS_VALUE_NOT_IN_RANGE, "Value is not in the range %ld to %ld."},
};
}

const char* FindStringResource(unsigned id)
{
  for (const TStringEntry& entry : Strings)
    if (entry.Id == id)
      return entry.Text;
  return nullptr;
}
