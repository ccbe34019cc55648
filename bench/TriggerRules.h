#pragma once
// The benchmarks' sixteen triggers: the prompts and messages users wait for, eight texts and
// eight expressions, none of which the benchmarks' records contain, so that every byte is looked
// at and no reply goes.
#include "triggers/TTriggerRule.h"

#include <vector>

inline std::vector<TTriggerRule> BenchTriggers(bool texts = true, bool expressions = true)
{
  std::vector<TTriggerRule> rules;
  for (const char* text : {"login: ", "Password: ", "Hit any key to stop autoboot", "=> ", "OK/0D/0A", "ERROR/0D/0A",
                           "# ", "Kernel panic"})
    if (texts)
      rules.push_back({.On = true, .Text = text, .Regex = false, .Reply = "/0D", .Delay = 0, .Once = false});
  for (const char* expression :
       {"^[a-z0-9-]+ login: $", "(?i)password: *$", "^U-Boot [0-9]{4}\\.[0-9]{2}", "Kernel panic - not syncing",
        "^\\[ *[0-9]+\\.[0-9]+\\] Oops", "(?i)error|fail(ed|ure)", "^=> $", "CONNECT [0-9]+"})
    if (expressions)
      rules.push_back({.On = true, .Text = expression, .Regex = true, .Reply = "/0D", .Delay = 0, .Once = false});
  return rules;
}
