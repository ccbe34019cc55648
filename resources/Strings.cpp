#include "resources/ResourceIds.h"
#include "resources/ResourceTypes.h"

namespace {
struct TStringEntry {
  unsigned Id;
  const char* Text;
};

constexpr TStringEntry Strings[] = {
  {IDS_PORT_UNAVAILABLE,
   "Configured COM Port is already uses by an other appication\nor is not available!\n"
   "Use setup to select an other one!"},
};
}

const char* FindStringResource(unsigned id)
{
  for (const TStringEntry& entry : Strings)
    if (entry.Id == id)
      return entry.Text;
  return nullptr;
}
