#include "terminal/TReplyQueue.h"

#include "resources/ResourceIds.h"

#include <cstdio>

std::size_t TReplyQueue::PieceLength(std::string_view text, bool textMode)
{
  const std::size_t limit = SendMax;
  if (text.size() <= limit)
    return text.size();
  std::size_t end = 0;
  if (textMode) {
    // An escape takes the slash and the two characters after it, whatever they are.
    for (std::size_t step; end < text.size() && end + (step = text[end] == '/' ? 3 : 1) <= limit;)
      end += step;
  } else {
    end = text.substr(0, limit).find_last_of(",;:") + 1;
  }
  return end > 0 ? end : limit;
}

std::string TReplyQueue::Say(unsigned id, unsigned number, const std::string& text) const
{
  char format[160], said[160 + 3 * SendMax];
  LoadString(id, format, sizeof format);
  std::snprintf(said, sizeof said, format, number, text.c_str());
  return said;
}

std::string TReplyQueue::Step(TTriggerMatcher& triggers, TSendPath& path, bool textMode, TTime now)
{
  for (TTriggerMatcher::TReply& reply : triggers.Take(now))
    if (Pending.size() < TTriggerMatcher::MaxPending)
      Pending.push_back(std::move(reply));
  std::string status;
  // A rule that runs away sends nothing more, nor what it fired before.
  for (const unsigned number : triggers.TakeRunaways()) {
    std::erase_if(Pending, [number](const TTriggerMatcher::TReply& reply) { return reply.Number == number; });
    status = Say(IDS_TRIGGER_RUNAWAY, number, {});
  }
  if (Pending.empty() || path.IsSending() || Pending.front().Due > now)
    return status;
  TTriggerMatcher::TReply& reply = Pending.front();
  const std::size_t length = PieceLength(reply.Text, textMode);
  std::string piece = reply.Text.substr(0, length);
  reply.Text.erase(0, length);
  // Within a binary-mode reply a ":" only separates; at a piece's end it would repeat it.
  if (!textMode && !reply.Text.empty() && piece.back() == ':')
    piece.back() = ',';
  path.Start(piece, textMode);
  if (status.empty())
    status = Say(IDS_TRIGGER_SENT, reply.Number, piece);
  if (reply.Text.empty())
    Pending.pop_front();
  return status;
}
