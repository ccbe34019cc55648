#pragma once
// The triggers at work: rules in, the line's bytes in, replies out, all on the caller's clock.
// A text fires wherever its bytes arrive, across any split of the line into reads; a regular
// expression fires at most once per line, on the line when it is complete or on the line so
// far, which is looked at once per Take (a reply leaves on a tick anyway). Both look at no more
// than the last Window bytes. A rule that would fire more than MaxFires times in a second is
// turned off instead; a rule marked Once turns itself off when it fires.
//
// Regular expressions are RE2's, in Latin-1 (a byte is a character): their time is linear in
// the line's length, so no expression can hold up the window, and each has its memory bounded.
#include "triggers/TTriggerRule.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace re2 {
class RE2;
}

class TTriggerMatcher {
public:
  using TClock = std::chrono::steady_clock;
  using TTime = TClock::time_point;
  static constexpr std::size_t MaxRules = 64;
  static constexpr std::size_t Window = 4096;
  static constexpr std::size_t MaxFires = 10;
  // Replies held for the send path at most; more are dropped.
  static constexpr std::size_t MaxPending = 64;

  // A reply of rule Number (1 for the first in the list, when it fired), due at Due.
  struct TReply {
    unsigned Number;
    std::string Text;
    TTime Due;
    bool operator==(const TReply&) const = default;
  };

  TTriggerMatcher();
  ~TTriggerMatcher();

  std::size_t Count() const { return Slots.size(); }
  const TTriggerRule& Rule(std::size_t i) const { return Slots[i].Rule; }
  std::vector<TTriggerRule> Rules() const;
  // Times rule i fired since the program started.
  unsigned FireCount(std::size_t i) const { return Slots[i].Fired; }
  // Why rule i's regular expression is refused (it then never fires); empty when it is not.
  const std::string& Error(std::size_t i) const { return Slots[i].Error; }

  // The rules as stored (at most MaxRules), none of them fired yet.
  void Assign(const std::vector<TTriggerRule>& rules);
  // Rule i as edited: texts cut to MaxText, the delay kept within 0 to MaxDelay. A changed
  // text looks only at what arrives from now on (an expression, from the next line).
  void Set(std::size_t i, TTriggerRule rule);
  // A new rule at i; false when there are MaxRules already.
  bool Insert(std::size_t i, const TTriggerRule& rule);
  void Remove(std::size_t i);
  // Rule from goes to place to, the rules between moving up or down by one.
  void Move(std::size_t from, std::size_t to);

  // Bytes the line delivered at now.
  void Received(const std::uint8_t* bytes, std::size_t count, TTime now);
  // Looks at the line so far, then hands over the replies fired since the last call, in the
  // order their rules fired.
  std::vector<TReply> Take(TTime now);
  // The numbers of the rules turned off for firing too often since the last call.
  std::vector<unsigned> TakeRunaways() { return std::exchange(Runaways, {}); }
  // Whether a rule turned itself off since the last call: what is stored is no longer so.
  bool TakeChanged() { return std::exchange(Changed, false); }

private:
  struct TSlot {
    TSlot();
    TSlot(TSlot&&) noexcept;
    TSlot& operator=(TSlot&&) noexcept;
    ~TSlot();
    TTriggerRule Rule;
    std::string Bytes;                      // a text's bytes
    std::unique_ptr<re2::RE2> Expression;   // an expression that compiled
    std::string Error;
    unsigned Fired = 0;
    std::uint64_t From = 0;                       // a text's next match starts here, or later
    std::uint64_t SeenLine = ~std::uint64_t(0);   // an expression fired on the line starting here
    std::array<TTime, MaxFires> Recent {};        // the last fires, a ring
    std::size_t RecentNext = 0;
  };
  // Makes the slot's matcher from its rule and starts it on what arrives next.
  void Prepare(TSlot& slot);
  // The expressions on the line [start, end) of the stream, each that has not fired on it yet:
  // hits as (end, rule).
  void CheckLine(std::uint64_t start, std::uint64_t end, std::vector<std::pair<std::uint64_t, std::size_t>>& hits);
  void Fire(std::size_t i, TTime now);

  std::vector<TSlot> Slots;
  std::string Buffer;        // the stream's last bytes, at least Window of them when there are
  std::uint64_t Total = 0;   // bytes received; Buffer ends there
  std::uint64_t LineStart = 0;
  bool LineGrew = false;   // the line so far has bytes no Take has looked at
  std::vector<TReply> Pending;
  std::vector<unsigned> Runaways;
  bool Changed = false;
};
