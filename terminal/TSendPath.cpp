#include "terminal/TSendPath.h"

#include <algorithm>
#include <iterator>

TSendPath::TSendPath()
{
  std::fill(std::begin(DelayPos), std::end(DelayPos), NoDelay);
}

void TSendPath::Start(const std::string& text, bool textMode)
{
  const std::string taken = text.substr(0, SendMax);
  std::fill(std::begin(DelayPos), std::end(DelayPos), NoDelay);
  Repeat = false;
  SendCount =
    textMode ? ConvertText(taken, DelayChar, SendBuf, DelayPos) : ConvertBinary(taken, SendBuf, DelayPos, Repeat);
  Sending = true;
  SegStart = 0;
  DelayIndex = 0;
  Restart = SendState == Writing;
}

void TSendPath::Stop()
{
  Repeat = false;
  Sending = false;
}

bool TSendPath::Tick(TComPort& port)
{
  LastWrite = {};
  // A write the port refuses puts nothing on the line.
  const auto write = [&](std::int32_t from, std::int32_t to) {
    if (port.Write(SendBuf + from, std::uint32_t(to - from)) >= 0)
      LastWrite = {SendBuf + from, std::size_t(to - from)};
  };
  switch (SendState) {
  case Ready: {
    if (!Sending)
      return false;
    const std::int32_t next = DelayIndex < SendMax ? DelayPos[DelayIndex] : NoDelay;
    if (next == NoDelay) {
      write(SegStart, SendCount);
      PausePending = false;
    } else {
      // Delay points never lie before SegStart nor past SendCount.
      const std::int32_t p = std::clamp(next, SegStart, SendCount);
      write(SegStart, p);
      SegStart = p;
      PausePending = true;
      ++DelayIndex;
    }
    SendState = Writing;
    return false;
  }
  case Writing:
    if (!port.IsWriteIdle())
      return false;
    if (Restart) {
      Restart = false;
      SendState = Ready;
    } else if (PausePending) {
      PauseTicks = DelayTime / 100;
      SendState = Pausing;
    } else if (Repeat) {
      SegStart = 0;
      DelayIndex = 0;
      SendState = Ready;
    } else {
      Sending = false;
      SendState = Ready;
      return true;
    }
    return false;
  case Pausing:
    if (PauseTicks > 0)
      --PauseTicks;
    else
      SendState = Ready;
    return false;
  }
  return false;
}
