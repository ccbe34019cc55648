#pragma once
#include "platform/MessageTarget.h"
#include "platform/SerialDevice.h"

#include <chrono>
#include <cstdint>
#include <memory>

// The handshake kinds Configure takes. None: DTR and RTS as set, nothing holds output.
// Hardware: RTS/CTS and DTR/DSR. XOn / XOff: DTR and RTS as set, output held by the chosen
// gates (CTS, DSR).
enum class THandshake : int { None = 0, Hardware = 1, XonXoff = 2 };

// Whether a line that runs at actual is more than 2 % off the rate asked for: past what the
// framing of the far end tolerates. A rate that cannot be told (0) is not off.
constexpr bool RateOff(std::uint32_t asked, std::uint32_t actual)
{
  return actual != 0 && 50 * std::uint64_t(actual > asked ? actual - asked : asked - actual) > asked;
}

// One serial port: opened, configured, read and written without ever waiting for the device.
// Received bytes go to the owner window as WM_USER (wParam = count 1..80, lParam = address of
// the bytes, valid during the call only), sent from Poll.
class TComPort {
public:
  static constexpr std::uint32_t BufferSize = 1024;
  static constexpr std::uint32_t ReadChunk = 80;
  static constexpr std::uint32_t ReadTimeoutMs = 100;
  // A poll takes reads back to back while they come back full, so that a continuous stream
  // never outruns the polling, until the line is empty or this much time of the poll is used
  // (deliveries included): the window stays responsive under a flood.
  static constexpr std::chrono::milliseconds PollBudget {20};

  TComPort() = default;
  ~TComPort() { Close(); }
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  int Open(HWND owner, int port, std::uint32_t rxQueue, std::uint32_t txQueue);
  int Configure(int baud, int byteSize, int stopBits, int parity, int handshake, int setDtr, int setRts, int useCts,
                int useDsr);
  int PurgeTransmit();
  int PurgeReceive();
  int Write(const void* data, std::uint32_t length);
  // As Write, but up to FrameLimit bytes at once: room for the longest frame of a file transfer
  // (1029 bytes around a 1024-byte block), which then leaves in one write, as its receiver may
  // expect. Write itself keeps to BufferSize.
  static constexpr std::uint32_t FrameLimit = 2048;
  int WriteFrame(const void* data, std::uint32_t length);
  bool IsWriteIdle() const { return !WriteInProgress; }
  void Poll();
  // A poll that takes more than this is a line delivering faster than a poll every 100 ms
  // drains it (the listed rates bring at most 2 560 bytes a tick; a pseudo-terminal holds
  // about 8 KB).
  static constexpr std::uint32_t StreamingBytes = 4096;
  // A line that streams is polled again before the owner's next tick. After a poll, the time
  // to the next: none (0) while polls stop for their budget or bring more than StreamingBytes,
  // then DrainInterval while the polls made for the drain (draining) still bring bytes; -1 once
  // the line is quiet.
  static constexpr std::chrono::milliseconds DrainInterval {10};
  std::chrono::milliseconds DrainDelay(bool draining);
  long GetModemStatus();
  void Close();

  // While on, a read completes at once with whatever the line holds, so that an answer awaited
  // byte by byte (a file transfer) is delivered on the poll that follows its arrival, not when
  // a read's 100 ms are up. A read already in flight keeps its time limit.
  void SetReadAtOnce(bool on) { ReadAtOnce = on; }
  // A descriptor that polls readable when the line has input; -1 while closed or unplugged,
  // and for a device without one. Bytes may wait in the port after a poll that spent its
  // budget (DrainDelay 0) without it being readable.
  int ReadableHandle() const { return Device ? Device->ReadableHandle() : -1; }
  // Holds the line in the break condition (on) or ends it: 0, or -1 when the driver refuses.
  int SetBreak(bool on) { return Device && Device->SetBreak(on) ? 0 : -1; }
  // Sets DTR and RTS to these levels until the port is configured, reopened or its adapter taken
  // up again, which restore the settings' levels: 0, or -1 while the device is away.
  int SetOutputLines(bool dtr, bool rts) { return Device && Device->SetOutputLines(dtr, rts) ? 0 : -1; }
  // The levels of DTR and RTS now; false while closed.
  bool GetOutputLines(bool& dtr, bool& rts) const
  {
    if (Device)
      Device->GetOutputLines(dtr, rts);
    return Device != nullptr;
  }
  // Whether the device is open and there (an unplugged adapter is not).
  bool IsAttached() const { return Device && Device->IsAttached(); }
  // Waits, at most limit, for the write in flight to leave the line: for last words before the
  // port closes, which drops what has not left.
  void AwaitWrite(std::chrono::milliseconds limit);
  // The line parameters as last read from and written to the device.
  const TDcb& CommState() const { return Dcb; }
  // The rate the line runs at as the driver reports it now: an adapter may make only a rate
  // near the one asked for. 0 while closed or away.
  std::uint32_t LineRate() const
  {
    TDcb now;
    return Device && Device->GetCommState(now) ? now.BaudRate : 0;
  }

private:
  // Starts a read; the count read when it completed at once, otherwise -1 (Pending tells why).
  long StartRead(TIoResult& result);
  void Deliver(std::uint32_t count);

  TDcb Dcb;
  std::unique_ptr<TSerialDevice> Device;
  TOverlapped ReadOverlapped;
  TOverlapped WriteOverlapped;
  TCommTimeouts Timeouts;
  bool WriteInProgress = false;
  std::uint32_t BytesRead = 0;
  std::uint32_t BytesWritten = 0;
  // Starts a write of at most limit bytes (BufferSize, FrameLimit).
  int Put(const void* data, std::uint32_t length, std::uint32_t limit);
  std::uint8_t TransmitBuffer[FrameLimit] {};
  std::uint8_t ReceiveBuffer[BufferSize] {};
  bool ReadInFlight = false;
  bool ReadAtOnce = false;
  bool BudgetSpent = false;
  std::uint32_t PollBytes = 0;   // delivered by the last poll, counted up to StreamingBytes + 1
  bool DrainedAtOnce = false;    // the last drain delay was 0
  HWND Owner = nullptr;
};
