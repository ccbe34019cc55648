#pragma once
// The send path: the bytes of one transmission with the points where it pauses, and the step
// that writes them through the port, one segment per tick, waits for each write, counts a
// pause down and starts a repeating string again. It holds no window: the terminal window
// starts it from the send field, runs a step on every tick and shows Send again once a step
// says the transmission is over.
#include "serial/TComPort.h"
#include "terminal/SendNotation.h"

#include <cstdint>
#include <span>
#include <string>

class TSendPath {
public:
  static constexpr std::int32_t NoDelay = 255;
  enum TSendState : std::int32_t { Ready = 0, Writing = 1, Pausing = 2 };

  TSendPath();

  // A new transmission of text, at most SendMax characters of it, by the text-mode or the
  // binary-mode notation. A pause of a stopped transmission runs out first; a write of it
  // still in flight is waited for, then this one starts from its first byte.
  void Start(const std::string& text, bool textMode);
  // Ends the transmission; a write in flight and a pause run out all the same.
  void Stop();
  // One step of sending through port, run on every tick after the port's poll. True when the
  // transmission has just ended.
  bool Tick(TComPort& port);

  bool IsSending() const { return Sending; }
  // The bytes the last step handed to the port; none when it wrote nothing.
  std::span<const std::uint8_t> Written() const { return LastWrite; }
  TSendState State() const { return SendState; }

  // The pause at a delay point in ms (counted in 100 ms ticks), read when the pause starts;
  // the character that marks a delay point in text mode.
  std::int32_t DelayTime = 0;
  std::int32_t DelayChar = 44;

private:
  std::uint8_t SendBuf[SendMax + 1] = {};
  std::int32_t SendCount = 0;
  std::int32_t DelayPos[SendMax];
  std::int32_t DelayIndex = 0;
  std::int32_t SegStart = 0;
  bool Sending = false;
  bool Repeat = false;
  bool PausePending = false;
  TSendState SendState = Ready;
  std::int32_t PauseTicks = 0;
  // A Start while the step still waits on a stopped transmission's write: once that write is
  // done the new transmission starts from its first byte.
  bool Restart = false;
  std::span<const std::uint8_t> LastWrite;
};
