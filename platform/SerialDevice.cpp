#include "platform/SerialDevice.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

// A read counts as timed out this much before its deadline. Whoever polls at the read's own
// interval (the terminal polls every 100 ms, reads time out after 100 ms) must find it done on
// the next tick, although that tick may come a few milliseconds early or the read may have
// started a little after the previous one.
constexpr std::int64_t DeadlineSlackNs = 10'000'000;

std::int64_t NowNs()
{
  timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

}   // namespace

bool TSerialDevice::SetCommState(const TDcb& dcb)
{
  const TLinePlan plan = PlanLine(dcb);
  if (!plan.Valid || !ApplyLine(dcb, plan))
    return false;
  Gates = plan.Gates;
  return true;
}

bool TSerialDevice::OutputHeld()
{
  std::uint32_t status = 0;
  return Gates != 0 && GetCommModemStatus(status) && (status & Gates) != Gates;
}

bool TSerialDevice::PurgeComm(std::uint32_t flags)
{
  bool ok = true;
  if (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) {
    if ((flags & PURGE_TXABORT) && InFlightWrite) {
      InFlightWrite->Active = false;
      InFlightWrite = nullptr;
    }
    if (flags & PURGE_TXCLEAR)
      ok = FlushOutput() && ok;
  }
  if (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) {
    if ((flags & PURGE_RXABORT) && InFlightRead) {
      InFlightRead->Active = false;
      InFlightRead = nullptr;
    }
    if (flags & PURGE_RXCLEAR) {
      InputHead = InputSize = 0;
      ok = FlushInput() && ok;
    }
  }
  return ok;
}

TIoResult TSerialDevice::ReadFile(std::uint8_t* buffer, std::uint32_t count, TOverlapped& ov)
{
  ov = TOverlapped {};
  ov.Buffer = buffer;
  ov.Length = count;
  ov.Active = true;
  const std::uint64_t totalMs =
    std::uint64_t(Timeouts.ReadTotalTimeoutMultiplier) * count + Timeouts.ReadTotalTimeoutConstant;
  if (totalMs == 0 && Timeouts.ReadIntervalTimeout == MAXDWORD)
    ov.DeadlineNs = 0;   // past already: complete with what is there
  else
    ov.DeadlineNs = totalMs == 0 ? -1 : NowNs() + std::int64_t(totalMs) * 1'000'000;
  InFlightRead = &ov;
  return Progress(ov);
}

TIoResult TSerialDevice::WriteFile(const std::uint8_t* buffer, std::uint32_t count, TOverlapped& ov)
{
  ov = TOverlapped {};
  // The record only ever reads through Buffer for a write.
  ov.Buffer = const_cast<std::uint8_t*>(buffer);
  ov.Length = count;
  ov.IsWrite = true;
  ov.Active = true;
  InFlightWrite = &ov;
  return Progress(ov);
}

TIoResult TSerialDevice::GetOverlappedResult(TOverlapped& ov, std::uint32_t& transferred)
{
  if (!ov.Active)
    return TIoResult::Failed;
  const TIoResult r = Progress(ov);
  if (r == TIoResult::Completed)
    transferred = ov.Done;
  return r;
}

long TSerialDevice::TakeInput(std::uint8_t* buffer, std::uint32_t count)
{
  if (InputSize == 0) {
    const long n = ReadSome(Input, InputBlock);
    if (n <= 0)
      return n;
    InputHead = 0;
    InputSize = std::uint32_t(std::min<long>(n, InputBlock));
  }
  const std::uint32_t n = std::min(count, InputSize);
  std::memcpy(buffer, Input + InputHead, n);
  InputHead += n;
  InputSize -= n;
  return long(n);
}

TIoResult TSerialDevice::Progress(TOverlapped& ov)
{
  bool failed = false;
  // A held write keeps its bytes: they go out, in order, once every gate line is up.
  const bool held = ov.IsWrite && ov.Done < ov.Length && OutputHeld();
  while (!held && ov.Done < ov.Length) {
    const long n = ov.IsWrite ? WriteSome(ov.Buffer + ov.Done, ov.Length - ov.Done)
                              : TakeInput(ov.Buffer + ov.Done, ov.Length - ov.Done);
    if (n < 0) {
      failed = true;
      break;
    }
    if (n == 0)
      break;
    ov.Done += std::uint32_t(n);
  }

  TIoResult r = TIoResult::Pending;
  if (ov.IsWrite) {
    if (failed)
      r = TIoResult::Failed;
    else if (ov.Done == ov.Length && OutputQueued() == 0)
      r = TIoResult::Completed;
  } else if (failed) {
    // Bytes already taken from the line are delivered; the next read reports the failure.
    r = ov.Done > 0 ? TIoResult::Completed : TIoResult::Failed;
  } else if (ov.Done == ov.Length || (ov.DeadlineNs >= 0 && NowNs() + DeadlineSlackNs >= ov.DeadlineNs)) {
    r = TIoResult::Completed;
  }

  if (r != TIoResult::Pending) {
    ov.Active = false;
    (ov.IsWrite ? InFlightWrite : InFlightRead) = nullptr;
  }
  return r;
}
