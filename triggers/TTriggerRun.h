#pragma once
// The triggers as the terminal window runs them: the rules, stored beside the settings, the
// matcher that the line's bytes go through, and the replies it fired on their way to the send
// path, held in the order their rules fired, each until it is due and the send path is free,
// then handed over in pieces the send path takes whole. Stop drops them all. The window feeds
// it, steps it on the ticks and on the wake-up it asks for, and sends what it hands over.
#include "triggers/TTriggerMatcher.h"

#include <deque>
#include <string>
#include <string_view>

class TTriggerRun {
public:
  using TTime = TTriggerMatcher::TTime;
  // Copies string id of the string table into buffer, as the framework's LoadString does.
  using TLoadString = int (*)(unsigned id, char* buffer, int size);

  // The stored rules, their replies sent in pieces of at most pieceMax characters.
  TTriggerRun(std::size_t pieceMax, TLoadString loadString);

  // The rules, for their window to edit; Store keeps them as they are now: empty, or the
  // store's reason why it could not.
  TTriggerMatcher& Matcher() { return Triggers; }
  std::string Store();

  void Received(const std::uint8_t* bytes, std::size_t count, TTime now) { Triggers.Received(bytes, count, now); }
  // Takes what the triggers fired by now and, when free (the send path may start a text), hands
  // over the next piece of the first reply if it is due: empty for none. A rule turned off for
  // firing too often loses its replies not yet sent; one that turned itself off is stored so.
  // said: what the status bar is to say, such a rule, else the reply started; empty for neither.
  std::string Step(TTime now, bool textMode, bool free, std::string& said);
  // When the first reply falls due, if that is after now; TTime::max() otherwise.
  TTime WakeAt(TTime now) const;
  void Clear() { Pending.clear(); }

  // How much of text goes in one piece of at most max characters in that mode, ending neither
  // inside a "/XX" escape (text mode) nor inside a value (binary mode).
  static std::size_t PieceLength(std::string_view text, bool textMode, std::size_t max);

private:
  std::string Say(unsigned id, unsigned number, const std::string& text) const;

  std::size_t PieceMax;
  TLoadString LoadString;
  TTriggerMatcher Triggers;
  std::deque<TTriggerMatcher::TReply> Pending;
};
