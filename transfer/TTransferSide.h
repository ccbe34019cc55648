#pragma once
// One direction of a file transfer, and what both directions share: the bytes to write next,
// how the transfer ends, the counts it reports, and the far end's cancel (CAN CAN). The sender
// (TFileSender) and the receiver (TFileReceiver) derive from it; as it stands it is the side of
// no transfer at all, which takes nothing and says Idle.
#include <chrono>
#include <cstdint>
#include <string>

class TTransferSide {
public:
  using TClock = std::chrono::steady_clock;
  using TTime = TClock::time_point;

  enum class TProtocol { Raw, XModem, YModem };
  enum class TState { Idle, Running, Done, Failed };
  enum class TFailure {
    None,
    Cancelled,     // by this side: Cancel (the user, Exit, a quit signal)
    FarCancel,     // CAN CAN from the far end
    NoStart,       // the far end never began: no start request in 60 s (send), no block (receive)
    Retries,       // a block refused or unanswered too often, or too many bad blocks in a row
    Silence,       // 60 s without a byte in the middle of a receive (a NAK every 10 s meanwhile)
    Sequence,      // a block out of order
    FileError,     // reading or writing the file failed; Error() is the errno
    FileChanged,   // the file to send changed its size while being sent
    Short,         // the sender ended before the size it announced
    TooLong,       // the sender went on past the size it announced
    LineLost,      // the device went away, or refused a write
    Stalled,       // the line took no output for too long (its handshake holds it)
  };

  // The protocol's limits, as the public XMODEM / YMODEM reference and its peers use them.
  static constexpr int MaxRetries = 10;   // a block is sent at most 1 + MaxRetries times
  static constexpr std::chrono::seconds StartWait {60};
  static constexpr std::chrono::seconds AnswerWait {10};

  TTransferSide() = default;
  virtual ~TTransferSide() = default;
  TTransferSide(const TTransferSide&) = delete;
  TTransferSide& operator=(const TTransferSide&) = delete;

  // Bytes from the line, in order; nothing for a raw send or a transfer that is over.
  virtual void Received(const std::uint8_t* bytes, std::size_t count, TTime now);
  // Time passes; busy: bytes are still leaving the line.
  void Tick(TTime now, bool lineBusy);
  const std::string& Output() const { return Out; }
  // The first count bytes of Output have been handed to the line.
  virtual void Taken(std::size_t count);
  void Cancel();
  void Lost();
  // The line does not take the output: a running transfer fails with Stalled.
  void Stall();

  TState State() const { return Status; }
  bool IsRunning() const { return Status == TState::Running; }
  TFailure Failure() const { return Why; }
  int Error() const { return Errno; }
  TProtocol Protocol() const { return Kind; }
  bool IsSend() const { return Sending; }
  const std::string& Path() const { return FilePath; }
  std::uint64_t FileDone() const { return Done; }
  std::int64_t FileSize() const { return Size; }
  std::uint64_t TotalDone() const { return AllDone; }
  int Files() const { return FileCount; }
  int Retries() const { return RetryCount; }

protected:
  TTransferSide(TProtocol protocol, bool sending);

  // One byte the far end sent that is not part of its cancel.
  virtual void Byte(std::uint8_t, TTime) {}
  // Takes as much of bytes as it can at once (a block being collected): the count taken, or 0
  // to have them byte by byte.
  virtual std::size_t Collect(const std::uint8_t*, std::size_t, TTime) { return 0; }
  // The far end cancelled.
  virtual void FarCancel() { Fail(TFailure::FarCancel); }
  // The time limits of a transfer that runs; busy: output is still leaving.
  virtual void Timers(TTime, bool) {}
  virtual void CloseFiles() {}

  void Finish();
  // Ends the transfer; the far end hears the abort unless it cancelled or is gone, or a sender
  // that ended short still awaits the ACK of its EOT.
  void Fail(TFailure why, int error = 0);

  std::string Out;
  TState Status = TState::Idle;
  TFailure Why = TFailure::None;
  int Errno = 0;
  TProtocol Kind = TProtocol::Raw;
  bool Sending = true;
  // The file in hand (for YMODEM receive, none between files), the bytes done of it and its size
  // (-1: unknown); over the whole transfer the bytes done, the files completed and the blocks
  // sent again or refused.
  std::string FilePath;
  std::uint64_t Done = 0;
  std::int64_t Size = -1;
  std::uint64_t AllDone = 0;
  int FileCount = 0;
  int RetryCount = 0;

private:
  bool LastCan = false;
};
