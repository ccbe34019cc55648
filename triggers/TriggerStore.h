#pragma once
// The triggers' rules in the store, beside the port settings, whose thirteen values they leave
// alone: key HKEY_LOCAL_MACHINE "Software\Kalvix\Triggers", one binary value "Rules" that holds
// the whole list, so that a save stores all of it or nothing.
#include "triggers/TTriggerRule.h"

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* TriggersKeyName = "Software\\Kalvix\\Triggers";

// The stored rules; none when there are none, or what is stored is not a whole list.
std::vector<TTriggerRule> LoadTriggers();
// Stores the rules: empty, or the store's reason why it could not.
std::string SaveTriggers(const std::vector<TTriggerRule>& rules);

// The stored form: a version byte, then per rule its flags (1 on, 2 regular expression,
// 4 once), the delay in two bytes, and the text and the reply, each after its length in two
// bytes (little-endian throughout).
std::string EncodeTriggers(const std::vector<TTriggerRule>& rules);
// False, with rules empty, for bytes that are not such a list within the rules' bounds.
bool DecodeTriggers(std::string_view bytes, std::vector<TTriggerRule>& rules);
