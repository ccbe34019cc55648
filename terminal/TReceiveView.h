#pragma once
// The receive field and what goes into it: every chunk that arrives formatted for the mode
// (text with "/XX" escapes, or hex values), lines broken after LineLength characters or
// values, and the text of one poll inserted at once, making room by dropping the oldest lines.
// With TimeStamps on, every line begins with the local time its first byte was read; with
// Colours on, text mode takes the device's colour sequences out and shows the text in their
// colours; with LocalEcho on, what is sent goes in among what arrives, on a ground of its own.
#include "display/TSequenceParser.h"
#include "framework/TEdit.h"

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TReceiveView {
public:
  static constexpr int ReceiveLimit = 65535;   // the field holds one less
  static constexpr std::size_t MaxChunk = 80;
  // The text of one chunk: a line break before it, then an escape or value of three characters
  // and a line break per byte.
  static constexpr std::size_t ChunkTextSize = 2 + MaxChunk * 5 + 1;
  // In binary mode, while stamps are on, a pause this long before a chunk starts a line.
  static constexpr std::chrono::milliseconds QuietGap {200};
  using TTime = std::chrono::system_clock::time_point;
  // The ground of sent text: a pale blue, set apart from every colour a device asks for.
  static constexpr std::uint32_t EchoGround = 0xD6E4F5;

  // Bound to the receive field of the terminal window's template.
  explicit TReceiveView(TWindow* parent);

  // Builds the text of one chunk into out (ChunkTextSize bytes) and returns its length; column
  // carries the position in the current line across chunks.
  static std::size_t FormatChunk(const std::uint8_t* bytes, std::size_t count, bool textMode, std::int32_t lineLength,
                                 std::int32_t& column, char* out);

  // Takes one received chunk (at most MaxChunk bytes of it), read at time at, and returns its
  // text without stamps (as a text log takes it). While a poll runs, text appended at the end
  // waits for EndPoll; text at a caret the user moved goes in at once, as does all text outside
  // a poll.
  std::string_view Receive(const std::uint8_t* bytes, std::size_t count, bool textMode, TTime at);
  // With LocalEcho on, takes bytes just sent as Receive takes received ones, and returns their
  // text; else nothing.
  std::string_view Echo(std::span<const std::uint8_t> bytes, bool textMode, TTime at);
  void BeginPoll() { Polling = true; }
  // Inserts what the poll brought, with one insertion.
  void EndPoll();
  // Empties the field; what arrives next starts a line.
  void Clear();

  TEdit ReceiveField;
  // Received text is broken after at most this many characters or values per line.
  std::int32_t LineLength = 80;
  // Each line begins with "HH:MM:SS.mmm ", which counts toward the field's size but not the
  // line's length.
  bool TimeStamps = false;
  // Text mode shows the device's colours and takes its other sequences out of the text.
  bool Colours = false;
  bool LocalEcho = false;

private:
  // Formats bytes for the mode into the chunk's text and the pending text, in format (null:
  // the field's own).
  void Format(const std::uint8_t* bytes, std::size_t count, bool textMode, const TCharFormat* format, TTime at);
  // Text of the chunk, stamped at line starts, to the pending text.
  void Put(const char* text, std::size_t length, const TCharFormat* format, TTime at);
  void Pend(std::string_view text, const TCharFormat* format);
  // Shows the chunk's pending text now, or at the end of the poll; returns the chunk's text.
  std::string_view Settle();
  // Inserts the text of the chunks received so far.
  void ShowReceived();

  std::int32_t Column = 0;
  bool AtLineStart = true;   // the next character begins a line
  TTime LastRead {};
  // Text of the chunks of the poll in progress, shown once the poll is done.
  std::string PendingText;
  std::vector<TFormatRun> PendingRuns;   // formats of the pending text other than the field's own
  bool Polling = false;
  std::string ChunkText;                   // the text of the chunk in hand, unstamped
  char FormatBuffer[ChunkTextSize] = {};   // one formatting's output
  TSequenceParser Parser;
  bool ParsedMode = true;   // the mode the parser's state belongs to
  std::string Shown;        // what the parser lets through of a chunk, and its runs
  std::vector<TSequenceParser::TRun> ShownRuns;
};
