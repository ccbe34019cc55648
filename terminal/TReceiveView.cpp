#include "terminal/TReceiveView.h"

#include "resources/ResourceIds.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

// "HH:MM:SS.mmm ", local time.
const char* FormatStamp(TReceiveView::TTime at, char (&out)[16])
{
  const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
  std::tm local {};
  localtime_r(&seconds, &local);
  std::snprintf(out, sizeof out, "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min, local.tm_sec,
                int((ms % 1000 + 1000) % 1000));
  return out;
}

}   // namespace

TReceiveView::TReceiveView(TWindow* parent) : ReceiveField(parent, IDC_RECEIVE, ReceiveLimit) {}

std::size_t TReceiveView::FormatChunk(const std::uint8_t* bytes, std::size_t count, bool textMode,
                                      std::int32_t lineLength, std::int32_t& column, char* out)
{
  static constexpr char Hex[] = "0123456789ABCDEF";
  count = std::min(count, MaxChunk);
  std::size_t n = 0;
  const auto lineBreak = [&] {
    out[n++] = '\r';
    out[n++] = '\n';
    column = 0;
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t b = bytes[i];
    if (textMode && b == 0x0D) {
      lineBreak();
    } else if (textMode && b >= 0x20 && b < 0x80 && b != '/') {
      out[n++] = char(b);
      ++column;
    } else {
      // Text mode escapes as "/XX"; binary mode shows every byte as "XX,".
      if (textMode)
        out[n++] = '/';
      out[n++] = Hex[b >> 4];
      out[n++] = Hex[b & 0xF];
      if (!textMode)
        out[n++] = ',';
      ++column;
    }
    if (column >= lineLength)
      lineBreak();
  }
  out[n] = '\0';
  return n;
}

std::string_view TReceiveView::Receive(const std::uint8_t* bytes, std::size_t count, bool textMode, TTime at)
{
  std::size_t length = 0;
  // Each burst of values gets a line, and so a time, of its own.
  if (TimeStamps && !textMode && Column > 0 && at - LastRead >= QuietGap) {
    ChunkText[length++] = '\r';
    ChunkText[length++] = '\n';
    Column = 0;
  }
  LastRead = at;
  length += FormatChunk(bytes, count, textMode, LineLength, Column, ChunkText + length);
  if (!TimeStamps) {
    PendingText.append(ChunkText, length);
    AtLineStart = length == 0 ? AtLineStart : ChunkText[length - 1] == '\n';
  } else {
    // A stamp goes before a line's first character, once it has one: a line break alone is no
    // line.
    char stamp[16] = {};
    for (std::size_t i = 0; i < length;) {
      if (AtLineStart && ChunkText[i] != '\r')
        PendingText += stamp[0] ? stamp : FormatStamp(at, stamp);
      const void* end = std::memchr(ChunkText + i, '\n', length - i);
      const std::size_t next = end ? std::size_t(static_cast<const char*>(end) - ChunkText) + 1 : length;
      PendingText.append(ChunkText + i, next - i);
      AtLineStart = end != nullptr;
      i = next;
    }
  }
  // Text that goes in where the user put the caret goes in at once: where room is made depends
  // on each insertion. Appended text waits for the end of the poll, which inserts only its
  // lines that stay; of a flood it keeps a field-full, and one line more, so that it still
  // replaces the field's text whole.
  if (!Polling || !ReceiveField.IsCaretAtEnd()) {
    ShowReceived();
  } else if (const long room = long(ReceiveField.GetTextLimit()) - 1; long(PendingText.size()) > 2 * room) {
    const std::size_t fits = TEdit::LastLinesStart(PendingText, room);
    const std::size_t before =
      fits == std::string::npos || fits < 3 ? std::string::npos : PendingText.rfind("\r\n", fits - 3);
    if (before != std::string::npos)
      PendingText.erase(0, before + 2);
  }
  return std::string_view(ChunkText, length);
}

void TReceiveView::EndPoll()
{
  Polling = false;
  ShowReceived();
}

void TReceiveView::ShowReceived()
{
  if (PendingText.empty())
    return;
  ReceiveField.InsertMakingRoom(PendingText);
  PendingText.clear();
}

void TReceiveView::Clear()
{
  ReceiveField.SetReadOnly(false);
  ReceiveField.Clear();
  ReceiveField.SetReadOnly(true);
  Column = 0;
  AtLineStart = true;
}
