#include "transfer/TTransferSide.h"

#include "transfer/XModemBlock.h"

#include <algorithm>

TTransferSide::TTransferSide(TProtocol protocol, bool sending)
  : Status(TState::Running), Kind(protocol), Sending(sending)
{}

void TTransferSide::Received(const std::uint8_t* bytes, std::size_t count, TTime now)
{
  if (!IsRunning() || Kind == TProtocol::Raw)
    return;
  for (std::size_t i = 0; i < count && IsRunning();) {
    if (const std::size_t n = Collect(bytes + i, count - i, now)) {
      i += n;
      continue;
    }
    const std::uint8_t byte = bytes[i++];
    if (byte == XModem::Can && LastCan) {
      FarCancel();
      return;
    }
    LastCan = byte == XModem::Can;
    Byte(byte, now);
  }
}

void TTransferSide::Tick(TTime now, bool lineBusy)
{
  if (IsRunning())
    Timers(now, lineBusy || !Out.empty());
}

void TTransferSide::Taken(std::size_t count)
{
  Out.erase(0, std::min(count, Out.size()));
}

void TTransferSide::Cancel()
{
  if (IsRunning())
    Fail(TFailure::Cancelled);
}

void TTransferSide::Lost()
{
  if (IsRunning())
    Fail(TFailure::LineLost);
  Out.clear();
}

void TTransferSide::Stall()
{
  if (IsRunning())
    Fail(TFailure::Stalled);
}

void TTransferSide::Finish()
{
  Status = TState::Done;
  CloseFiles();
}

void TTransferSide::Fail(TFailure why, int error)
{
  Status = TState::Failed;
  Why = why;
  Errno = error;
  CloseFiles();
  if (why == TFailure::FarCancel || why == TFailure::LineLost || Kind == TProtocol::Raw)
    Out.clear();
  else if (why != TFailure::Short)
    Out = XModem::Abort;
}
