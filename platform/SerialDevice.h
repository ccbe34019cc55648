#pragma once
// The serial device contract: the line parameters and the overlapped transfers the port
// object works with, over a driver's few operations. Transfers never block: they finish at once or stay in flight, and a
// completion check later tells which.
#include "platform/LinePlan.h"

#include <cstdint>
#include <memory>
#include <string>

// Line parameters, as one block that is read, changed and written back whole.
constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr std::uint8_t DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
constexpr std::uint8_t RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2;

struct TDcb {
  std::uint32_t BaudRate = 9600;
  std::uint8_t ByteSize = 8;
  std::uint8_t StopBits = ONESTOPBIT;
  std::uint8_t Parity = NOPARITY;
  bool fParity = false;
  bool fBinary = true;
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  std::uint8_t fDtrControl = DTR_CONTROL_ENABLE;
  std::uint8_t fRtsControl = RTS_CONTROL_ENABLE;
  bool fOutX = false;   // software flow control of output (XON/XOFF from the far end)
  bool fInX = false;    // software flow control of input (we send XON/XOFF)
  char XonChar = 0x11;
  char XoffChar = 0x13;
};

// Time limits of transfers in milliseconds. A read ends when its bytes are all there, or
// ReadTotalTimeoutMultiplier * count + ReadTotalTimeoutConstant after it started with
// whatever has arrived; with both zero it waits for all its bytes, unless ReadIntervalTimeout
// is MAXDWORD: then it completes at once with what the line holds, possibly nothing. Writes
// have no limit here: a write ends when the line has taken every byte.
constexpr std::uint32_t MAXDWORD = 0xFFFFFFFFu;
struct TCommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

// The record of one transfer in flight. The device fills it; the caller keeps it, and the
// buffer it names, untouched until the transfer has completed or been purged.
struct TOverlapped {
  std::uint8_t* Buffer = nullptr;
  std::uint32_t Length = 0;
  std::uint32_t Done = 0;
  std::int64_t DeadlineNs = -1;   // CLOCK_MONOTONIC; -1: no time limit
  bool IsWrite = false;
  bool Active = false;
};

enum class TIoResult { Completed, Pending, Failed };

constexpr std::uint32_t PURGE_TXABORT = 0x1, PURGE_RXABORT = 0x2, PURGE_TXCLEAR = 0x4, PURGE_RXCLEAR = 0x8;
constexpr std::uint32_t MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80;

class TSerialDevice {
public:
  virtual ~TSerialDevice() = default;
  TSerialDevice(const TSerialDevice&) = delete;
  TSerialDevice& operator=(const TSerialDevice&) = delete;

  // Driver queue sizes; a driver with fixed queues accepts any size.
  virtual bool SetupComm(std::uint32_t rxQueue, std::uint32_t txQueue) = 0;
  virtual bool GetCommState(TDcb& dcb) = 0;
  // Carries out the line plan of dcb; fails when no line can carry it or the driver refuses.
  // What a driver cannot do (a pseudo-terminal is always 8 bits without parity) is not an
  // error: GetCommState reports what the line really uses.
  bool SetCommState(const TDcb& dcb);
  virtual bool GetCommModemStatus(std::uint32_t& status) = 0;
  // Looks, cheaply, whether a device that went away (an adapter unplugged) is back, and if so
  // takes it up again with its last line settings. Meant to be called on every poll.
  virtual void CheckAttached() {}
  // Holds the line in the break condition (on) or ends it; false when the driver refuses.
  virtual bool SetBreak(bool on) = 0;
  // Raises or lowers DTR and RTS beside the line settings, which taking the device up again
  // applies anew with their own levels. False when the device is away.
  virtual bool SetOutputLines(bool dtr, bool rts) = 0;
  // The levels DTR and RTS were last set to, by the line settings or by SetOutputLines.
  virtual void GetOutputLines(bool& dtr, bool& rts) const = 0;
  // Whether the device is there: false while an adapter is unplugged.
  virtual bool IsAttached() const { return true; }
  // A descriptor that polls readable when input waits in the driver, for an event loop to
  // watch; -1 for a device without one (the loopback plug) and while detached. Input already
  // taken into the device's own block does not make it readable: a read that came back full
  // may leave more there.
  virtual int ReadableHandle() const { return -1; }

  bool SetCommTimeouts(const TCommTimeouts& timeouts)
  {
    Timeouts = timeouts;
    return true;
  }
  // Ends the transfers in flight of the named directions and drops their queued bytes.
  bool PurgeComm(std::uint32_t flags);
  TIoResult ReadFile(std::uint8_t* buffer, std::uint32_t count, TOverlapped& ov);
  TIoResult WriteFile(const std::uint8_t* buffer, std::uint32_t count, TOverlapped& ov);
  // Checks, without waiting, whether the transfer of ov has completed; on completion
  // transferred holds its byte count. A transfer that failed is over: it reports Failed once
  // and is no longer in flight.
  TIoResult GetOverlappedResult(TOverlapped& ov, std::uint32_t& transferred);

protected:
  TSerialDevice() = default;

  virtual bool ApplyLine(const TDcb& dcb, const TLinePlan& plan) = 0;
  // The input lines that hold output, as the last line plan set them.
  std::uint32_t OutputGates() const { return Gates; }

  // What a driver provides. ReadSome/WriteSome move at most count bytes without waiting and
  // return the count moved (0 when nothing can move now) or -1 when the device failed.
  virtual long ReadSome(std::uint8_t* buffer, std::uint32_t count) = 0;
  virtual long WriteSome(const std::uint8_t* buffer, std::uint32_t count) = 0;
  // Bytes handed to the driver that have not left the line yet.
  virtual std::uint32_t OutputQueued() = 0;
  virtual bool FlushInput() = 0;
  virtual bool FlushOutput() = 0;

private:
  TIoResult Progress(TOverlapped& ov);
  // Input is taken from the driver in blocks and handed to reads of any size from here: a fast
  // line costs one system call per block, not one per read.
  long TakeInput(std::uint8_t* buffer, std::uint32_t count);
  // Output waits while a gate line is low. A line without modem lines (a pseudo-terminal) has
  // none to wait for: were it held, nothing could ever be sent.
  bool OutputHeld();

  TCommTimeouts Timeouts;
  std::uint32_t Gates = 0;
  TOverlapped* InFlightRead = nullptr;
  TOverlapped* InFlightWrite = nullptr;
  static constexpr std::uint32_t InputBlock = 4096;
  std::uint8_t Input[InputBlock] {};
  std::uint32_t InputHead = 0;
  std::uint32_t InputSize = 0;
};
