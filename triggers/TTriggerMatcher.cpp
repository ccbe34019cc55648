#include "triggers/TTriggerMatcher.h"

#include <re2/re2.h>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

// An expression's memory, its compiled form and the cache of its matcher together: a rule the
// user can type (256 characters) stays within it or is refused.
constexpr std::int64_t ExpressionMemory = 1 << 20;

int HexDigit(char c)
{
  const auto u = static_cast<unsigned char>(c);
  return std::isdigit(u) ? u - '0' : std::isxdigit(u) ? std::toupper(u) - 'A' + 10 : -1;
}

// The bytes a text stands for: "/XX" with two hex digits is that byte, every other character
// itself.
std::string Decode(std::string_view text)
{
  std::string bytes;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '/' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      bytes += char(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 3;
    } else {
      bytes += text[i++];
    }
  }
  return bytes;
}

bool IsLineEnd(std::uint8_t byte)
{
  return byte == '\r' || byte == '\n';
}

}   // namespace

TTriggerMatcher::TSlot::TSlot() = default;
TTriggerMatcher::TSlot::TSlot(TSlot&&) noexcept = default;
TTriggerMatcher::TSlot& TTriggerMatcher::TSlot::operator=(TSlot&&) noexcept = default;
TTriggerMatcher::TSlot::~TSlot() = default;

TTriggerMatcher::TTriggerMatcher() = default;
TTriggerMatcher::~TTriggerMatcher() = default;

std::vector<TTriggerRule> TTriggerMatcher::Rules() const
{
  std::vector<TTriggerRule> rules;
  for (const TSlot& slot : Slots)
    rules.push_back(slot.Rule);
  return rules;
}

void TTriggerMatcher::Assign(const std::vector<TTriggerRule>& rules)
{
  Slots.clear();
  for (const TTriggerRule& rule : rules)
    Insert(Slots.size(), rule);
}

void TTriggerMatcher::Set(std::size_t i, TTriggerRule rule)
{
  if (i >= Slots.size())
    return;
  rule.Text.resize(std::min(rule.Text.size(), TTriggerRule::MaxText));
  rule.Reply.resize(std::min(rule.Reply.size(), TTriggerRule::MaxText));
  rule.Delay = std::clamp(rule.Delay, 0, TTriggerRule::MaxDelay);
  TSlot& slot = Slots[i];
  const bool renewed = rule.Text != slot.Rule.Text || rule.Regex != slot.Rule.Regex || !slot.Rule.On;
  slot.Rule = std::move(rule);
  if (renewed)
    Prepare(slot);
}

bool TTriggerMatcher::Insert(std::size_t i, const TTriggerRule& rule)
{
  if (Slots.size() >= MaxRules || i > Slots.size())
    return false;
  TSlot& slot = *Slots.emplace(Slots.begin() + std::ptrdiff_t(i));
  slot.Rule.On = false;   // so that Set starts it afresh
  Set(i, rule);
  return true;
}

void TTriggerMatcher::Remove(std::size_t i)
{
  if (i < Slots.size())
    Slots.erase(Slots.begin() + std::ptrdiff_t(i));
}

void TTriggerMatcher::Move(std::size_t from, std::size_t to)
{
  if (from >= Slots.size() || to >= Slots.size())
    return;
  const auto first = Slots.begin();
  if (from < to)
    std::rotate(first + std::ptrdiff_t(from), first + std::ptrdiff_t(from) + 1, first + std::ptrdiff_t(to) + 1);
  else
    std::rotate(first + std::ptrdiff_t(to), first + std::ptrdiff_t(from), first + std::ptrdiff_t(from) + 1);
}

void TTriggerMatcher::Prepare(TSlot& slot)
{
  slot.Bytes.clear();
  slot.Expression.reset();
  slot.Error.clear();
  slot.From = Total;
  // An expression starts on the next line, not on one under way.
  slot.SeenLine = LineStart < Total ? LineStart : ~std::uint64_t(0);
  if (!slot.Rule.Regex) {
    slot.Bytes = Decode(slot.Rule.Text);
    return;
  }
  RE2::Options options;
  options.set_encoding(RE2::Options::EncodingLatin1);
  options.set_log_errors(false);
  options.set_max_mem(ExpressionMemory);
  auto expression = std::make_unique<RE2>(slot.Rule.Text, options);
  if (expression->ok())
    slot.Expression = std::move(expression);
  else
    slot.Error = expression->error();
}

void TTriggerMatcher::Received(const std::uint8_t* bytes, std::size_t count, TTime now)
{
  if (!bytes || count == 0)
    return;
  const std::uint64_t before = Total;
  Buffer.append(reinterpret_cast<const char*>(bytes), count);
  Total += count;
  const std::uint64_t bufferStart = Total - Buffer.size();
  // What fired in these bytes, as (where its match ends, rule): the rules fire in that order.
  std::vector<std::pair<std::uint64_t, std::size_t>> hits;
  const std::string_view buffer(Buffer);
  for (std::size_t i = 0; i < Slots.size(); ++i) {
    TSlot& slot = Slots[i];
    const std::size_t length = slot.Bytes.size();
    if (!slot.Rule.On || slot.Rule.Regex || length == 0)
      continue;
    // A match that ends in the new bytes starts at most length - 1 bytes before them.
    std::uint64_t from = std::max({slot.From, before - std::min<std::uint64_t>(before, length - 1), bufferStart});
    for (std::size_t at; (at = buffer.find(slot.Bytes, std::size_t(from - bufferStart))) != std::string_view::npos;) {
      from = bufferStart + at + length;
      hits.emplace_back(from, i);
    }
    slot.From = from;
  }
  for (std::uint64_t at = before; at < Total; ++at)
    if (IsLineEnd(bytes[at - before])) {
      CheckLine(LineStart, at, hits);
      LineStart = at + 1;
    }
  LineGrew = LineStart < Total;
  std::stable_sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [end, i] : hits)
    Fire(i, now);
  // Kept between Window and twice that: each read moves no more than that.
  if (Buffer.size() > 2 * Window)
    Buffer.erase(0, Buffer.size() - Window);
}

void TTriggerMatcher::CheckLine(std::uint64_t start, std::uint64_t end,
                                std::vector<std::pair<std::uint64_t, std::size_t>>& hits)
{
  // Of a longer line, the part within the window.
  const std::uint64_t from = std::max(start, Total - std::min<std::uint64_t>(Total, Window));
  if (from >= end)
    return;
  const re2::StringPiece line(Buffer.data() + (from - (Total - Buffer.size())), std::size_t(end - from));
  for (std::size_t i = 0; i < Slots.size(); ++i) {
    TSlot& slot = Slots[i];
    if (slot.Rule.On && slot.Expression && slot.SeenLine != start && RE2::PartialMatch(line, *slot.Expression)) {
      slot.SeenLine = start;
      hits.emplace_back(end, i);
    }
  }
}

std::vector<TTriggerMatcher::TReply> TTriggerMatcher::Take(TTime now)
{
  if (LineGrew) {
    LineGrew = false;
    std::vector<std::pair<std::uint64_t, std::size_t>> hits;
    CheckLine(LineStart, Total, hits);
    for (const auto& [end, i] : hits)
      Fire(i, now);
  }
  return std::exchange(Pending, {});
}

void TTriggerMatcher::Fire(std::size_t i, TTime now)
{
  TSlot& slot = Slots[i];
  if (!slot.Rule.On)
    return;
  // The ring holds the last MaxFires fires: the oldest of them within the last second means this
  // one would be one too many.
  const TTime oldest = slot.Recent[slot.RecentNext];
  if (slot.Fired >= MaxFires && now - oldest < std::chrono::seconds(1)) {
    slot.Rule.On = false;
    Changed = true;
    Runaways.push_back(unsigned(i + 1));
    return;
  }
  slot.Recent[slot.RecentNext] = now;
  slot.RecentNext = (slot.RecentNext + 1) % MaxFires;
  ++slot.Fired;
  if (!slot.Rule.Reply.empty() && Pending.size() < MaxPending)
    Pending.push_back({unsigned(i + 1), slot.Rule.Reply, now + std::chrono::milliseconds(slot.Rule.Delay)});
  if (slot.Rule.Once) {
    slot.Rule.On = false;
    Changed = true;
  }
}
