#include "transfer/TFileTransfer.h"

#include "transfer/TFileReceiver.h"
#include "transfer/TFileSender.h"
#include "serial/TComPort.h"

#include <algorithm>
#include <cerrno>

TFileTransfer::TFileTransfer() : Side(std::make_unique<TTransferSide>()) {}

TFileTransfer::~TFileTransfer() = default;

int TFileTransfer::StartSend(TProtocol protocol, const std::string& path, TTime now)
{
  if (IsRunning())
    return EBUSY;
  auto sender = std::make_unique<TFileSender>(protocol, now);
  if (const int error = sender->Open(path))
    return error;
  Side = std::move(sender);
  Reported = false;
  return 0;
}

int TFileTransfer::StartReceive(TProtocol protocol, const std::string& path, TTime now)
{
  if (protocol == TProtocol::Raw)
    return EINVAL;
  if (IsRunning())
    return EBUSY;
  auto receiver = std::make_unique<TFileReceiver>(protocol, now);
  if (const int error = receiver->Open(path))
    return error;
  Side = std::move(receiver);
  Reported = false;
  return 0;
}

bool TFileTransfer::Step(TComPort& port, TTime now)
{
  if (IsRunning() && !port.IsAttached())
    Lost();
  Tick(now, !port.IsWriteIdle());
  for (int writes = 0; writes < 4 && !Output().empty() && port.IsWriteIdle(); ++writes) {
    const auto n = std::uint32_t(std::min<std::size_t>(Output().size(), TComPort::BufferSize));
    const int result = port.Write(Output().data(), n);
    if (result == -1) {
      Lost();
      break;
    }
    if (result != 0)
      break;
    Taken(n, now);
  }
  if (Reported || State() == TState::Idle || IsRunning() || !Output().empty() || !port.IsWriteIdle())
    return false;
  Reported = true;
  return true;
}
