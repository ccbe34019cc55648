#include "terminal/TReceiveView.h"

#include "resources/ResourceIds.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

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

// How a device's style shows in the field: colours that differ from the field's own, and the
// font's styles.
TCharFormat Styled(const TTextStyle& style, std::uint32_t fieldFore, std::uint32_t fieldBack)
{
  const TShownColours shown = ShownColours(style, fieldFore, fieldBack);
  return {.Fore = shown.Fore == fieldFore ? TCharFormat::FieldColour : shown.Fore,
          .Back = shown.Back == fieldBack ? TCharFormat::FieldColour : shown.Back,
          .Bold = (style.Flags & TTextStyle::Bold) != 0,
          .Italic = (style.Flags & TTextStyle::Italic) != 0,
          .Underline = (style.Flags & TTextStyle::Underline) != 0};
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
  count = std::min(count, MaxChunk);
  ChunkText.clear();
  // Each burst of values gets a line, and so a time, of its own.
  if (TimeStamps && !textMode && Column > 0 && at - LastRead >= QuietGap) {
    Put("\r\n", 2, nullptr, at);
    Column = 0;
  }
  LastRead = at;
  // A sequence begun in the other mode is gone with the text it stood in; one begun before
  // colours went off is shown.
  if (std::exchange(ParsedMode, textMode) != textMode)
    Parser.Reset();
  if (!Colours && (Parser.Held() > 0 || !Parser.Style().IsPlain())) {
    Shown.clear();
    Parser.Release(Shown);
    Format(reinterpret_cast<const std::uint8_t*>(Shown.data()), Shown.size(), textMode, nullptr, at);
  }
  if (!Colours || !textMode) {
    Format(bytes, count, textMode, nullptr, at);
    return Settle();
  }
  Shown.clear();
  ShownRuns.clear();
  Parser.Feed(bytes, count, Shown, ShownRuns);
  const std::uint32_t fore = ReceiveField.TextColour(), back = ReceiveField.BackgroundColour();
  for (const TSequenceParser::TRun& run : ShownRuns) {
    const bool plain = run.Style.IsPlain();
    const TCharFormat format = plain ? TCharFormat {} : Styled(run.Style, fore, back);
    Format(reinterpret_cast<const std::uint8_t*>(Shown.data() + run.Begin), run.Length, textMode,
           plain ? nullptr : &format, at);
  }
  return Settle();
}

std::string_view TReceiveView::Echo(std::span<const std::uint8_t> bytes, bool textMode, TTime at)
{
  if (!LocalEcho || bytes.empty())
    return {};
  ChunkText.clear();
  const TCharFormat format =
    Styled({.Back = RgbColour(EchoGround)}, ReceiveField.TextColour(), ReceiveField.BackgroundColour());
  Format(bytes.data(), bytes.size(), textMode, &format, at);
  return Settle();
}

void TReceiveView::Format(const std::uint8_t* bytes, std::size_t count, bool textMode, const TCharFormat* format,
                          TTime at)
{
  for (std::size_t i = 0; i < count; i += MaxChunk)
    Put(FormatBuffer, FormatChunk(bytes + i, std::min(MaxChunk, count - i), textMode, LineLength, Column, FormatBuffer),
        format, at);
}

void TReceiveView::Put(const char* text, std::size_t length, const TCharFormat* format, TTime at)
{
  ChunkText.append(text, length);
  if (!TimeStamps) {
    Pend({text, length}, format);
    AtLineStart = length == 0 ? AtLineStart : text[length - 1] == '\n';
    return;
  }
  // A stamp goes before a line's first character, once it has one: a line break alone is no
  // line. The device's colours are not the stamp's.
  char stamp[16] = {};
  for (std::size_t i = 0; i < length;) {
    if (AtLineStart && text[i] != '\r')
      Pend(stamp[0] ? stamp : FormatStamp(at, stamp), nullptr);
    const void* end = std::memchr(text + i, '\n', length - i);
    const std::size_t next = end ? std::size_t(static_cast<const char*>(end) - text) + 1 : length;
    Pend({text + i, next - i}, format);
    AtLineStart = end != nullptr;
    i = next;
  }
}

void TReceiveView::Pend(std::string_view text, const TCharFormat* format)
{
  if (format) {
    TFormatRun* last = PendingRuns.empty() ? nullptr : &PendingRuns.back();
    if (last && last->Format == *format && last->Begin + last->Length == PendingText.size())
      last->Length += text.size();
    else
      PendingRuns.push_back({PendingText.size(), text.size(), *format});
  }
  PendingText += text;
}

std::string_view TReceiveView::Settle()
{
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
    if (before != std::string::npos) {
      const std::size_t cut = before + 2;
      PendingText.erase(0, cut);
      std::erase_if(PendingRuns, [cut](const TFormatRun& run) { return run.Begin + run.Length <= cut; });
      for (TFormatRun& run : PendingRuns) {
        const std::size_t from = std::max(run.Begin, cut);
        run.Length -= from - run.Begin;
        run.Begin = from - cut;
      }
    }
  }
  return ChunkText;
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
  ReceiveField.InsertMakingRoom(PendingText, PendingRuns);
  PendingText.clear();
  PendingRuns.clear();
}

void TReceiveView::Clear()
{
  ReceiveField.SetReadOnly(false);
  ReceiveField.Clear();
  ReceiveField.SetReadOnly(true);
  Column = 0;
  AtLineStart = true;
}
