#include "triggers/TriggerStore.h"

#include "platform/Registry.h"
#include "triggers/TTriggerMatcher.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr char Version = 1;
constexpr const char* ValueName = "Rules";
enum : std::uint8_t { FlagOn = 1, FlagRegex = 2, FlagOnce = 4 };
// A save is made as the user types: another program's lock on the store is not waited for long.
constexpr int SaveLockWaitMs = 250;
constexpr std::size_t MaxStored = 1 + TTriggerMatcher::MaxRules * (1 + 2 + 2 + TTriggerRule::MaxText * 2 + 2);

void Put16(std::string& out, std::size_t value)
{
  out += char(value & 0xFF);
  out += char((value >> 8) & 0xFF);
}

// Reads two bytes at at, moving on; false past the end.
bool Get16(std::string_view bytes, std::size_t& at, std::size_t& value)
{
  if (bytes.size() - at < 2)
    return false;
  value = std::size_t(std::uint8_t(bytes[at])) | std::size_t(std::uint8_t(bytes[at + 1])) << 8;
  at += 2;
  return true;
}

bool GetText(std::string_view bytes, std::size_t& at, std::string& text)
{
  std::size_t length = 0;
  if (!Get16(bytes, at, length) || length > TTriggerRule::MaxText || bytes.size() - at < length)
    return false;
  text = bytes.substr(at, length);
  at += length;
  return true;
}

class TKey {
public:
  explicit TKey(bool create)
  {
    if ((create ? RegCreateKeyEx(HKEY_LOCAL_MACHINE, TriggersKeyName, &Key)
                : RegOpenKeyEx(HKEY_LOCAL_MACHINE, TriggersKeyName, &Key)) != ERROR_SUCCESS)
      Key = nullptr;
  }
  ~TKey()
  {
    if (Key)
      RegCloseKey(Key);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  HKEY Key = nullptr;
};

}   // namespace

std::string EncodeTriggers(const std::vector<TTriggerRule>& rules)
{
  std::string out(1, Version);
  for (std::size_t i = 0; i < rules.size() && i < TTriggerMatcher::MaxRules; ++i) {
    const TTriggerRule& rule = rules[i];
    out += char((rule.On ? FlagOn : 0) | (rule.Regex ? FlagRegex : 0) | (rule.Once ? FlagOnce : 0));
    Put16(out, std::size_t(std::clamp(rule.Delay, 0, TTriggerRule::MaxDelay)));
    for (const std::string* text : {&rule.Text, &rule.Reply}) {
      const std::string_view kept = std::string_view(*text).substr(0, TTriggerRule::MaxText);
      Put16(out, kept.size());
      out += kept;
    }
  }
  return out;
}

bool DecodeTriggers(std::string_view bytes, std::vector<TTriggerRule>& rules)
{
  rules.clear();
  if (bytes.empty() || bytes[0] != Version)
    return false;
  for (std::size_t at = 1; at < bytes.size();) {
    TTriggerRule rule;
    const auto flags = std::uint8_t(bytes[at++]);
    std::size_t delay = 0;
    if ((flags & ~(FlagOn | FlagRegex | FlagOnce)) || !Get16(bytes, at, delay) ||
        delay > std::size_t(TTriggerRule::MaxDelay) || !GetText(bytes, at, rule.Text) ||
        !GetText(bytes, at, rule.Reply) || rules.size() == TTriggerMatcher::MaxRules) {
      rules.clear();
      return false;
    }
    rule.On = flags & FlagOn;
    rule.Regex = flags & FlagRegex;
    rule.Once = flags & FlagOnce;
    rule.Delay = std::int32_t(delay);
    rules.push_back(std::move(rule));
  }
  return true;
}

std::vector<TTriggerRule> LoadTriggers()
{
  std::vector<TTriggerRule> rules;
  const TKey key(false);
  std::string bytes(MaxStored, '\0');
  std::uint32_t size = std::uint32_t(bytes.size());
  if (key.Key && RegQueryValueEx(key.Key, ValueName, nullptr, reinterpret_cast<std::uint8_t*>(bytes.data()), &size) ==
                   ERROR_SUCCESS)
    DecodeTriggers(std::string_view(bytes).substr(0, size), rules);
  return rules;
}

std::string SaveTriggers(const std::vector<TTriggerRule>& rules)
{
  const std::string bytes = EncodeTriggers(rules);
  TRegTransaction transaction(SaveLockWaitMs);
  bool written = false;
  {
    const TKey key(true);
    written =
      key.Key && RegSetValueEx(key.Key, ValueName, REG_BINARY, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               std::uint32_t(bytes.size())) == ERROR_SUCCESS;
  }
  if (transaction.Commit() && written)
    return {};
  return transaction.Error().empty() ? std::string("the store cannot be written") : transaction.Error();
}
