#include "transfer/TTransferRun.h"

#include "resources/ResourceIds.h"
#include "serial/TComPort.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using TFailure = TFileTransfer::TFailure;
// The reasons' texts lie in the string table in the order of the failures.
static_assert(int(TFailure::Cancelled) == 1 && int(TFailure::FileError) == 7 && int(TFailure::LineLost) == 11);

std::string TTransferRun::Start(TProtocol protocol, bool send, const std::string& path, TTime now)
{
  if (const int error = send ? Transfer.StartSend(protocol, path, now) : Transfer.StartReceive(protocol, path, now))
    return Load(IDS_TRANSFER_CANNOT_OPEN) + "\n" + path + "\n" + std::strerror(error);
  Choice = path;
  Began = now;
  Running = true;
  StepDue = Reported = false;
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
  Transfer.Cancel();
  StepDue = Running;
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
  const bool writing = !Port.IsWriteIdle() || !Transfer.Output().empty();
  return Running && (writing || StepDue) ? now + WritePace : TTime::max();
}

void TTransferRun::Abandon()
{
  Transfer.Cancel();
  if (!Transfer.Output().empty()) {
    Port.PurgeTransmit();
    Write(TClock::now());
    Port.AwaitWrite(std::chrono::seconds(1));
  }
}

bool TTransferRun::Write(TTime now)
{
  if (Transfer.IsRunning() && !Port.IsAttached())
    Transfer.Lost();
  Transfer.Tick(now, !Port.IsWriteIdle());
  for (int writes = 0; writes < 4 && !Transfer.Output().empty() && Port.IsWriteIdle(); ++writes) {
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
  }
  if (Reported || Transfer.State() == TFileTransfer::TState::Idle || Transfer.IsRunning() ||
      !Transfer.Output().empty() || !Port.IsWriteIdle())
    return false;
  Reported = true;
  return true;
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
  const std::string name =
    Transfer.Files() > 1 ? std::to_string(Transfer.Files()) + " files" : path.substr(path.find_last_of('/') + 1);
  const bool done = Transfer.State() == TFileTransfer::TState::Done;
  const char* ended = done ? "," : Transfer.Failure() == TFailure::Cancelled ? " cancelled after" : " failed after";
  char text[512];
  std::snprintf(text, sizeof text, "%s: %s%s %llu bytes in %.1f s", Title(Transfer.Protocol(), Transfer.IsSend()),
                name.c_str(), ended, static_cast<unsigned long long>(Transfer.TotalDone()), Seconds(now));
  return text;
}

std::string TTransferRun::FailureText() const
{
  if (Transfer.State() != TFileTransfer::TState::Failed || Transfer.Failure() == TFailure::Cancelled)
    return {};
  std::string text = Load(IDS_TRANSFER_FAILED) + "\n" + Load(IDS_TRANSFER_REASON + unsigned(Transfer.Failure()));
  if (Transfer.Failure() == TFailure::FileError)
    text += std::string(" ") + std::strerror(Transfer.Error());
  return text + "\n" + FilePath() + "\n" + std::to_string(Transfer.TotalDone()) + " bytes done";
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
