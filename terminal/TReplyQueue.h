#pragma once
// The triggers' replies on their way to the send path: held in the order their rules fired,
// each until it is due and the send path has nothing to send (a send that runs goes on first),
// then started there as Send starts the send field's text, in pieces of what the send field
// holds. Stop drops them all.
#include "terminal/TSendPath.h"
#include "triggers/TTriggerMatcher.h"

#include <deque>
#include <string>
#include <string_view>

class TReplyQueue {
public:
  using TTime = TTriggerMatcher::TTime;
  // Copies string id of the string table into buffer, as the framework's LoadString does.
  using TLoadString = int (*)(unsigned id, char* buffer, int size);

  explicit TReplyQueue(TLoadString loadString) : LoadString(loadString) {}

  // Takes what the triggers fired by now, and starts the first reply on path when it is due and
  // path is not sending. A rule turned off for firing too often loses its replies not yet sent.
  // What the status bar is to say: such a rule, else the reply started; empty for neither.
  std::string Step(TTriggerMatcher& triggers, TSendPath& path, bool textMode, TTime now);
  void Clear() { Pending.clear(); }
  std::size_t Size() const { return Pending.size(); }

  // How much of text the send path takes in one piece in that mode: at most SendMax characters,
  // ending neither inside a "/XX" escape (text mode) nor inside a value (binary mode).
  static std::size_t PieceLength(std::string_view text, bool textMode);

private:
  std::string Say(unsigned id, unsigned number, const std::string& text) const;

  TLoadString LoadString;
  std::deque<TTriggerMatcher::TReply> Pending;
};
