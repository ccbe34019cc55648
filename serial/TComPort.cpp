#include "serial/TComPort.h"

#include "platform/PortMap.h"

#include <algorithm>
#include <cstring>
#include <thread>

int TComPort::Open(HWND owner, int port, std::uint32_t rxQueue, std::uint32_t txQueue)
{
  Owner = owner;
  const int number = port & 0xFF;
  if (number < 1 || number > 4)
    return -1;
  if (Device)   // still open: a second holder of the same port would fail anyway
    return -1;
  const char name[] = {'C', 'O', 'M', char('0' + number), '\0'};
  Device = OpenComDevice(name);
  if (!Device)
    return -1;
  if (!Device->SetupComm(rxQueue, txQueue))
    return -1;
  return number;
}

int TComPort::Configure(int baud, int byteSize, int stopBits, int parity, int handshake, int setDtr, int setRts,
                        int useCts, int useDsr)
{
  if (!Device || !Device->GetCommState(Dcb))
    return -1;
  // Values outside what a line can carry make SetCommState fail, not wrap around.
  Dcb.BaudRate = baud > 0 ? std::uint32_t(baud) : 0;
  Dcb.StopBits = std::uint8_t(std::clamp(stopBits, 0, 255));
  Dcb.ByteSize = std::uint8_t(std::clamp(byteSize, 0, 255));
  Dcb.fParity = parity != 0;
  Dcb.Parity = std::uint8_t(std::clamp(parity, 0, 255));
  const std::uint8_t dtr = setDtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  const std::uint8_t rts = setRts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  // Another kind changes no flow-control field.
  switch (THandshake(handshake)) {
  case THandshake::None:
    Dcb.fOutxCtsFlow = false;
    Dcb.fOutxDsrFlow = false;
    Dcb.fDtrControl = dtr;
    Dcb.fRtsControl = rts;
    break;
  case THandshake::Hardware:
    Dcb.fOutxCtsFlow = true;
    Dcb.fOutxDsrFlow = true;
    Dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    Dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    break;
  case THandshake::XonXoff:
    Dcb.fOutxCtsFlow = useCts != 0;
    Dcb.fOutxDsrFlow = useDsr != 0;
    Dcb.fDtrControl = dtr;
    Dcb.fRtsControl = rts;
    break;
  default:
    break;
  }
  if (!Device->SetCommState(Dcb))
    return -1;
  if (PurgeTransmit() != 0 || PurgeReceive() != 0)
    return -1;
  return 0;
}

int TComPort::PurgeTransmit()
{
  WriteInProgress = false;
  return Device && Device->PurgeComm(PURGE_TXABORT | PURGE_TXCLEAR) ? 0 : -1;
}

int TComPort::PurgeReceive()
{
  ReadInFlight = false;
  return Device && Device->PurgeComm(PURGE_RXABORT | PURGE_RXCLEAR) ? 0 : -1;
}

int TComPort::Write(const void* data, std::uint32_t length)
{
  return Put(data, length, BufferSize);
}

int TComPort::WriteFrame(const void* data, std::uint32_t length)
{
  return Put(data, length, FrameLimit);
}

int TComPort::Put(const void* data, std::uint32_t length, std::uint32_t limit)
{
  if (WriteInProgress)
    return -2;
  if (!Device || (!data && length > 0))
    return -1;
  const std::uint32_t n = std::min(length, limit);
  if (n > 0)
    std::memcpy(TransmitBuffer, data, n);
  Timeouts.WriteTotalTimeoutMultiplier = 0;
  Timeouts.WriteTotalTimeoutConstant = 0;
  Device->SetCommTimeouts(Timeouts);
  switch (Device->WriteFile(TransmitBuffer, n, WriteOverlapped)) {
  case TIoResult::Completed:
    BytesWritten = n;
    WriteInProgress = false;
    return 0;
  case TIoResult::Pending:
    WriteInProgress = true;
    return 0;
  case TIoResult::Failed:
    break;
  }
  return -1;
}

long TComPort::StartRead(TIoResult& result)
{
  Timeouts.ReadIntervalTimeout = ReadAtOnce ? MAXDWORD : 0;
  Timeouts.ReadTotalTimeoutMultiplier = 0;
  Timeouts.ReadTotalTimeoutConstant = ReadAtOnce ? 0 : ReadTimeoutMs;
  Device->SetCommTimeouts(Timeouts);
  result = Device->ReadFile(ReceiveBuffer, ReadChunk, ReadOverlapped);
  if (result != TIoResult::Completed)
    return -1;
  BytesRead = ReadOverlapped.Done;
  return long(BytesRead);
}

void TComPort::Deliver(std::uint32_t count)
{
  PollBytes = std::min(PollBytes + count, StreamingBytes + 1);
  SendMessage(Owner, WM_USER, WPARAM(count), LPARAM(ReceiveBuffer));
}

void TComPort::Poll()
{
  // Reads that come back full are followed by the next at once: the line may hold more.
  const auto start = std::chrono::steady_clock::now();
  BudgetSpent = false;
  PollBytes = 0;
  while (Device) {
    bool full = false;
    if (!ReadInFlight) {
      TIoResult result;
      const long n = StartRead(result);
      if (n > 0) {
        Deliver(std::uint32_t(n));
        full = std::uint32_t(n) == ReadChunk;
      } else if (n < 0 && result == TIoResult::Pending) {
        ReadInFlight = true;
      }
    } else {
      switch (Device->GetOverlappedResult(ReadOverlapped, BytesRead)) {
      case TIoResult::Completed:
        ReadInFlight = false;
        if (BytesRead > 0)
          Deliver(BytesRead);
        full = BytesRead == ReadChunk;
        break;
      case TIoResult::Failed:
        ReadInFlight = false;   // a failed read is over; the next poll starts a new one
        break;
      case TIoResult::Pending:
        break;
      }
    }
    if (!full)
      break;
    if (std::chrono::steady_clock::now() - start >= PollBudget) {
      BudgetSpent = true;
      break;
    }
  }

  if (WriteInProgress) {
    if (!Device) {
      WriteInProgress = false;
      return;
    }
    switch (Device->GetOverlappedResult(WriteOverlapped, BytesWritten)) {
    case TIoResult::Completed:
    case TIoResult::Failed:   // a failed write is over too: the next Write may start
      WriteInProgress = false;
      break;
    case TIoResult::Pending:
      break;
    }
  }

  // Last, once what a vanished device had delivered is out: an unplugged adapter that is back
  // is taken up again, and the next poll reads from it.
  if (Device)
    Device->CheckAttached();
}

std::chrono::milliseconds TComPort::DrainDelay(bool draining)
{
  const bool atOnce = BudgetSpent || PollBytes > StreamingBytes;
  const bool again = atOnce || (draining && (PollBytes > 0 || DrainedAtOnce));
  DrainedAtOnce = atOnce;
  return atOnce ? std::chrono::milliseconds(0) : again ? DrainInterval : std::chrono::milliseconds(-1);
}

long TComPort::GetModemStatus()
{
  std::uint32_t status = 0;
  if (!Device || !Device->GetCommModemStatus(status))
    return -1;
  return long(status);
}

void TComPort::AwaitWrite(std::chrono::milliseconds limit)
{
  const auto end = std::chrono::steady_clock::now() + limit;
  while (WriteInProgress && Device && std::chrono::steady_clock::now() < end) {
    if (Device->GetOverlappedResult(WriteOverlapped, BytesWritten) != TIoResult::Pending)
      WriteInProgress = false;
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void TComPort::Close()
{
  Device.reset();
}
