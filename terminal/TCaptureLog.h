#pragma once
// A log file of what arrives: every received byte as it came off the line (raw), or the text
// the receive field shows with the local time in front of every line (text). Appends, never
// truncates; buffers in memory and writes when flushed, so the window never waits on it.
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

  // Opens path for appending, creating it if need be; 0, or the errno why not.
  int Open(const std::string& path, TForm form);
  bool IsOpen() const { return Fd >= 0; }
  const std::string& Path() const { return FilePath; }

  // One received chunk: its bytes, and its text as the receive field gets it (lines end in
  // CR LF). 0, or the errno of a write that failed, which has closed the log.
  int Received(const std::uint8_t* bytes, std::size_t count, const char* text, std::size_t length);
  // The text form only: ends the line in progress, then writes note as a line of its own.
  void Note(const char* note);
  // The text form only: ends the line in progress, as the receive field starts a new one.
  void EndLine();

  // Writes what is buffered; 0, or the errno of the write that failed, which has closed the log.
  int Flush();
  // Flushes and closes; 0, or the errno of the last write.
  int Close();

private:
  void Prefix();

  int Fd = -1;
  TForm Form = Raw;
  std::string FilePath;
  std::string Buffer;
  bool AtLineStart = true;
  // The time prefix of the chunk in progress, made once it is needed.
  char Stamp[32] = {};
  bool Stamped = false;
};
