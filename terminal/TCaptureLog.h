#pragma once
// A log file of what arrives: every received byte as it came off the line (raw), or the text
// the receive field shows with the local time in front of every line and a line naming the
// mode at the start and at each switch (text). Appends, never truncates; buffers in memory and
// writes when flushed, so the window never waits on it. A write that fails ends the log; the
// next flush reports it.
#include <cstddef>
#include <cstdint>
#include <string>

class TCaptureLog {
public:
  enum TForm { Raw, Text };
  // Buffered beyond this, a chunk is written at once rather than at the next flush.
  static constexpr std::size_t BufferLimit = 64 * 1024;

  TCaptureLog() = default;
  ~TCaptureLog() { Close(); }
  TCaptureLog(const TCaptureLog&) = delete;
  TCaptureLog& operator=(const TCaptureLog&) = delete;

  // Opens path for appending, creating it if need be, and notes the mode; 0, or the errno why
  // not.
  int Open(const std::string& path, TForm form, bool textMode);
  bool IsOpen() const { return Fd >= 0; }
  const std::string& Path() const { return FilePath; }

  // One received chunk: its bytes, and its text as the receive field gets it (lines end in
  // CR LF; none for bytes the field does not show).
  void Received(const std::uint8_t* bytes, std::size_t count, const char* text, std::size_t length);
  // The text form only: ends the line in progress, then a line names the mode now shown.
  void NoteMode(bool textMode);
  // The text form only: ends the line in progress, as the receive field starts a new one.
  void EndLine();

  // Writes what is buffered; 0, or the errno of the write that failed, here or since the last
  // flush, which has closed the log.
  int Flush();
  // Flushes and closes; 0, or the errno of the last write.
  int Close();

private:
  void Prefix();
  // Writes the buffer; 0, or the errno of a failed write, which closes the log.
  int Write();

  int Fd = -1;
  TForm Form = Raw;
  std::string FilePath;
  std::string Buffer;
  bool AtLineStart = true;
  // The time prefix of the chunk in progress, made once it is needed.
  char Stamp[32] = {};
  bool Stamped = false;
  // The errno of a write that failed between flushes.
  int Failed = 0;
};
