#include "transfer/TFileTransfer.h"

#include "transfer/TFileReceiver.h"
#include "transfer/TFileSender.h"

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
  return 0;
}
