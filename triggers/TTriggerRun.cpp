#include "triggers/TTriggerRun.h"

#include "resources/ResourceIds.h"
#include "triggers/TriggerStore.h"

#include <algorithm>
#include <cstdio>

TTriggerRun::TTriggerRun(std::size_t pieceMax, TLoadString loadString) : PieceMax(pieceMax), LoadString(loadString)
{
  Triggers.Assign(LoadTriggers());
}

std::string TTriggerRun::Store()
{
  return SaveTriggers(Triggers.Rules());
}

std::size_t TTriggerRun::PieceLength(std::string_view text, bool textMode, std::size_t max)
{
  if (text.size() <= max)
    return text.size();
  std::size_t end = 0;
  if (textMode) {
    // An escape takes the slash and the two characters after it, whatever they are.
    for (std::size_t step; end < text.size() && end + (step = text[end] == '/' ? 3 : 1) <= max;)
      end += step;
  } else {
    end = text.substr(0, max).find_last_of(",;:") + 1;
  }
  return end > 0 ? end : max;
}

std::string TTriggerRun::Say(unsigned id, unsigned number, const std::string& text) const
{
  char format[160] = "";
  LoadString(id, format, sizeof format);
  // The format's own characters, a number and text fit.
  std::string said(sizeof format + 16 + text.size(), '\0');
  const int length = std::snprintf(said.data(), said.size(), format, number, text.c_str());
  said.resize(std::size_t(std::clamp(length, 0, int(said.size()) - 1)));
  return said;
}

std::string TTriggerRun::Step(TTime now, bool textMode, bool free, std::string& said)
{
  for (TTriggerMatcher::TReply& reply : Triggers.Take(now))
    if (Pending.size() < TTriggerMatcher::MaxPending)
      Pending.push_back(std::move(reply));
  said.clear();
  for (const unsigned number : Triggers.TakeRunaways()) {
    std::erase_if(Pending, [number](const TTriggerMatcher::TReply& reply) { return reply.Number == number; });
    said = Say(IDS_TRIGGER_RUNAWAY, number, {});
  }
  if (Triggers.TakeChanged())
    Store();
  if (Pending.empty() || !free || Pending.front().Due > now)
    return {};
  TTriggerMatcher::TReply& reply = Pending.front();
  std::string piece = reply.Text.substr(0, PieceLength(reply.Text, textMode, PieceMax));
  reply.Text.erase(0, piece.size());
  // Within a binary-mode reply a ":" only separates; at a piece's end it would repeat it.
  if (!textMode && !reply.Text.empty() && piece.back() == ':')
    piece.back() = ',';
  if (said.empty())
    said = Say(IDS_TRIGGER_SENT, reply.Number, piece);
  if (reply.Text.empty())
    Pending.pop_front();
  return piece;
}

TTriggerRun::TTime TTriggerRun::WakeAt(TTime now) const
{
  return Pending.empty() || Pending.front().Due <= now ? TTime::max() : Pending.front().Due;
}
