#include "transfer/TTransferRun.h"

#include "resources/ResourceIds.h"
#include "serial/TComPort.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using TFailure = TFileTransfer::TFailure;
// The reasons' texts lie in the string table in the order of the failures.
static_assert(int(TFailure::Cancelled) == 1 && int(TFailure::FileError) == 7 && int(TFailure::Stalled) == 12);

std::string TTransferRun::Start(TProtocol protocol, bool send, const std::string& path, TTime now)
{
  if (const int error = send ? Transfer.StartSend(protocol, path, now) : Transfer.StartReceive(protocol, path, now))
    return Load(IDS_TRANSFER_CANNOT_OPEN) + "\n" + path + "\n" + std::strerror(error);
  Choice = path;
  Began = now;
  Running = true;
  StepDue = Reported = false;
  Due = TTime::max();
  // A protocol waits on every answer: the line is read as soon as one arrives. A raw send goes
  // at the pace of its writes, and what the device says meanwhile is shown on the ticks.
  Port.SetReadAtOnce(protocol != TProtocol::Raw);
  return {};
}

bool TTransferRun::Takes(const std::uint8_t* bytes, std::size_t count, TTime now)
{
  // A protocol's own bytes go to the transfer alone; what a device answers to a raw send is
  // shown as always.
  if (!Transfer.IsRunning() || Transfer.Protocol() == TProtocol::Raw)
    return false;
  Transfer.Received(bytes, count, now);
  return true;
}

void TTransferRun::Cancel()
{
  if (!Running)
    return;
  Transfer.Cancel();
  Port.PurgeTransmit();
  Due = TTime::max();
  StepDue = true;
}

bool TTransferRun::Step(TTime now)
{
  StepDue = false;
  if (!Running || !Write(now))
    return false;
  Running = false;
  Port.SetReadAtOnce(false);
  return true;
}

TTransferRun::TTime TTransferRun::WakeAt(TTime now) const
{
  if (!Running)
    return TTime::max();
  if (StepDue || (!Transfer.Output().empty() && Port.IsWriteIdle()))
    return now;
  return now < Due ? Due : TTime::max();
}

void TTransferRun::Abandon()
{
  if (!Running)
    return;
  Cancel();
  Write(TClock::now());
  Port.AwaitWrite(std::chrono::seconds(1));
}

bool TTransferRun::Write(TTime now)
{
  if (Transfer.IsRunning() && !Port.IsAttached())
    Transfer.Lost();
  if (Port.IsWriteIdle())
    Due = TTime::max();
  else if (Due == TTime::max())   // a write that is not the transfer's (Send's last one)
    Due = now + LineTime(TComPort::BufferSize);
  // Output that stands beyond its time on the line (a handshake holds it, the far end reads no
  // more) ends the transfer; an end that is no success drops what the line holds back, and the
  // far end gets the abort in its place.
  const bool stalled = Due != TTime::max() && now - Due >= StallLimit;
  if (stalled)
    Transfer.Stall();
  // No answer is due while the bytes are within their time on the line, and a raw send is done
  // once the line has taken its last ones; past that time the limits run.
  Transfer.Tick(now, Due != TTime::max() && (now < Due || Transfer.Protocol() == TProtocol::Raw));
  if (Due != TTime::max() && (stalled || Transfer.State() == TFileTransfer::TState::Failed)) {
    Port.PurgeTransmit();
    Due = TTime::max();
  }
  for (std::size_t written = 0; written < StepBytes && !Transfer.Output().empty() && Port.IsWriteIdle();) {
    // A frame leaves whole.
    const auto n = std::uint32_t(std::min<std::size_t>(Transfer.Output().size(), TComPort::FrameLimit));
    const int result = Port.WriteFrame(Transfer.Output().data(), n);
    if (result == -1) {
      Transfer.Lost();
      break;
    }
    if (result != 0)
      break;
    Transfer.Taken(n, now);
    written += n;
    if (!Port.IsWriteIdle())
      Due = now + LineTime(n);
  }
  if (Reported || Transfer.State() == TFileTransfer::TState::Idle || Transfer.IsRunning() || !Transfer.Output().empty())
    return false;
  Reported = true;
  return true;
}

TTransferRun::TClock::duration TTransferRun::LineTime(std::size_t count) const
{
  // A start bit, the data bits, parity, the stop bits (1.5 counted as 2).
  const TDcb& line = Port.CommState();
  const std::uint64_t bits = 1 + line.ByteSize + (line.fParity ? 1 : 0) + (line.StopBits == ONESTOPBIT ? 1 : 2);
  return std::chrono::microseconds(count * bits * 1'000'000 / std::max<std::uint32_t>(line.BaudRate, 1));
}

double TTransferRun::Seconds(TTime now) const
{
  return std::chrono::duration<double>(now - Began).count();
}

const std::string& TTransferRun::FilePath() const
{
  return Transfer.Path().empty() ? Choice : Transfer.Path();
}

std::string TTransferRun::Load(unsigned id) const
{
  char text[160];
  LoadString(id, text, sizeof text);
  return text;
}

std::string TTransferRun::StatusText(TTime now) const
{
  const std::string& path = FilePath();
  const int files = Transfer.Files();
  const bool done = Transfer.State() == TFileTransfer::TState::Done;
  std::string name = path.substr(path.find_last_of('/') + 1);
  std::uint64_t bytes = Transfer.TotalDone();
  if (done && files > 1) {
    name = std::to_string(files) + " files";
  } else if (!done && files > 0 && !Transfer.IsSend()) {   // the batch's files apart from the one that failed
    name = std::to_string(files) + (files > 1 ? " files" : " file") + " received, " +
           (Transfer.Path().empty() ? "then" : name);
    bytes = Transfer.FileDone();
  }
  const char* ended = done ? "," : Transfer.Failure() == TFailure::Cancelled ? " cancelled after" : " failed after";
  char text[512];
  std::snprintf(text, sizeof text, "%s: %s%s %llu bytes in %.1f s", Title(Transfer.Protocol(), Transfer.IsSend()),
                name.c_str(), ended, static_cast<unsigned long long>(bytes), Seconds(now));
  return text;
}

std::string TTransferRun::FailureText() const
{
  if (Transfer.State() != TFileTransfer::TState::Failed || Transfer.Failure() == TFailure::Cancelled)
    return {};
  std::string reason = Load(IDS_TRANSFER_REASON + unsigned(Transfer.Failure()));
  if (Transfer.Failure() == TFailure::FileError) {
    reason += std::string(" ") + std::strerror(Transfer.Error());
  } else if (Transfer.Failure() == TFailure::Stalled) {   // names the handshake
    char text[200];
    std::snprintf(text, sizeof text, reason.c_str(), Handshake);
    reason = text;
  }
  return Load(IDS_TRANSFER_FAILED) + "\n" + reason + "\n" + FilePath() + "\n" + std::to_string(Transfer.FileDone()) +
         " bytes done";
}

const char* TTransferRun::Title(TProtocol protocol, bool send)
{
  switch (protocol) {
  case TProtocol::Raw:
    return "Send Raw File";
  case TProtocol::XModem:
    return send ? "Send with XMODEM" : "Receive with XMODEM";
  case TProtocol::YModem:
    return send ? "Send with YMODEM" : "Receive with YMODEM";
  }
  return "";
}
