#pragma once
// Reads a device's control sequences out of the received bytes: SGR sequences (ESC [ ... m) set
// the style of the text that follows; other CSI sequences, OSC and the other string sequences,
// and two-byte escapes are taken and do nothing (the field is a log, not a screen). A sequence
// split across reads is joined. One that runs past MaxSequence bytes, or meets a byte that
// cannot belong to it, ends there: its bytes are shown like any others, and the byte that broke
// it is read afresh. An ESC that starts no sequence is shown.
#include "display/TTextStyle.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TSequenceParser {
public:
  static constexpr std::size_t MaxSequence = 64;
  // Bytes of the shown text, from Begin on, in one style.
  struct TRun {
    std::size_t Begin;
    std::size_t Length;
    TTextStyle Style;
  };

  // Reads count bytes: those to show are appended to text and described by runs (appended, one
  // per stretch of one style); each sequence taken whole is appended to swallowed, when given.
  void Feed(const std::uint8_t* bytes, std::size_t count, std::string& text, std::vector<TRun>& runs,
            std::vector<std::string>* swallowed = nullptr);
  // Appends the bytes of an unfinished sequence to text and forgets the style: colours are off.
  void Release(std::string& text);
  // Forgets the style and an unfinished sequence.
  void Reset();
  const TTextStyle& Style() const { return Current; }
  // The bytes of the unfinished sequence kept for the next read.
  std::size_t Held() const { return Length; }

private:
  enum class TState : std::uint8_t { Text, Escape, Intermediate, Csi, String, StringEscape };

  // Takes one byte; false when the byte ended a broken sequence and is to be read again.
  bool Take(std::uint8_t b, std::string& text, std::vector<TRun>& runs, std::vector<std::string>* swallowed);
  void Show(const char* shown, std::size_t length, std::string& text, std::vector<TRun>& runs) const;
  // The held bytes, but for the last keep, are shown; the state is Text again.
  void Break(std::string& text, std::vector<TRun>& runs, std::size_t keep = 0);
  // The held bytes make a whole sequence.
  void Finish(std::vector<std::string>* swallowed);
  void ApplySgr();

  TState State = TState::Text;
  TTextStyle Current;
  char Sequence[MaxSequence] = {};
  std::size_t Length = 0;
  bool Intermediates = false;   // a CSI sequence has had an intermediate byte
};
