#pragma once
// One file transfer over the line: a raw send, or XMODEM / YMODEM in either direction (CRC-16
// or the checksum form, 128- and 1024-byte blocks, YMODEM batches). It holds no window: it is
// fed what the line delivered and the time, and answers with the bytes to write and its
// progress; Step drives it through a port as the window's polls come. The files themselves are
// read and written here.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

class TComPort;

class TFileTransfer {
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
  };

  // The protocol's limits, as the public XMODEM / YMODEM reference and its peers use them.
  static constexpr int MaxRetries = 10;   // a block is sent at most 1 + MaxRetries times
  static constexpr std::chrono::seconds StartWait {60};
  static constexpr std::chrono::seconds AnswerWait {10};
  static constexpr std::chrono::seconds StartRequestEvery {3};   // receive: 'C' three times, then NAK
  static constexpr std::chrono::seconds BlockByteWait {1};       // receive: a block that stalls
  static constexpr std::chrono::seconds SilenceLimit {60};

  TFileTransfer() = default;
  ~TFileTransfer();
  TFileTransfer(const TFileTransfer&) = delete;
  TFileTransfer& operator=(const TFileTransfer&) = delete;

  // Starts sending the file at path: 0, or the errno why it cannot be read (EINVAL for what is
  // not a regular file); EBUSY while a transfer runs.
  int StartSend(TProtocol protocol, const std::string& path, TTime now);
  // Starts receiving (XModem, YModem; Raw is EINVAL): XMODEM into the file at path, created or
  // emptied; YMODEM into the folder at path, each file under the name its sender gives, reduced
  // to a plain name inside the folder and never replacing anything there ("name (1).ext"
  // instead). 0, or the errno why not; EBUSY while a transfer runs.
  int StartReceive(TProtocol protocol, const std::string& path, TTime now);

  // Bytes that arrived from the line, in order. A raw send ignores them (they are the device's
  // answers, for the receive field).
  void Received(const std::uint8_t* bytes, std::size_t count, TTime now);
  // Time passes: retries and time limits. lineBusy: bytes taken earlier are still leaving the
  // line, so no answer can be due yet and the waiting starts again.
  void Tick(TTime now, bool lineBusy);
  // The bytes to write next, in order, until Taken removes them.
  std::string_view Output() const { return Out; }
  // The first count bytes of Output have been handed to the line. (now goes unused: an answer
  // is awaited from the first Tick that finds the line idle.)
  void Taken(std::size_t count, TTime now);

  // Ends a running transfer from this side: what was not yet taken is dropped and, for XMODEM
  // and YMODEM, the abort (CAN x 8, BS x 8) is put out instead (a raw send has no far end to
  // tell). State Failed with Cancelled.
  void Cancel();
  // The line has gone: ends a running transfer with LineLost, and drops all output.
  void Lost();

  // One step through port, after its poll has delivered what arrived: the line's presence,
  // Tick, then as much of Output as the port's idle writes take. True once, when the transfer
  // is over and its last bytes have left the line.
  bool Step(TComPort& port, TTime now);

  TState State() const { return Status; }
  bool IsRunning() const { return Status == TState::Running; }
  TFailure Failure() const { return Why; }
  int Error() const { return Errno; }   // with FileError
  TProtocol Protocol() const { return Kind; }
  bool IsSend() const { return Sending; }

  // The file in hand: its full path (for YMODEM receive, the file made in the folder; empty
  // before the first block 0), the bytes done (acknowledged, taken for a raw send, or written)
  // and its size (-1: unknown, as for XMODEM receive).
  const std::string& Path() const { return FilePath; }
  std::uint64_t FileDone() const { return Done; }
  std::int64_t FileSize() const { return Size; }
  // Over the whole transfer: bytes done, files completed, and blocks sent again (a repeated EOT
  // is not counted) or refused.
  std::uint64_t TotalDone() const { return AllDone; }
  int Files() const { return FileCount; }
  int Retries() const { return RetryCount; }

private:
  // Where a send stands: awaiting the start request, the ACK of block 0 (the file's name), the
  // request for the data, the ACK of a data block or of EOT, the request for the empty block 0
  // that ends the batch and its ACK.
  enum class TPhase { Start, AwaitName, DataStart, AwaitBlock, AwaitEot, CloseStart, CloseBlock };
  static constexpr std::size_t FrameMax = 3 + 1024 + 2;

  void Begin(TProtocol protocol, bool sending, TTime now);
  void Finish();
  void Fail(TFailure why, int error = 0);
  void CloseFiles();
  bool ReadBlock(std::size_t want);
  void RawFill();
  void Put(std::uint8_t number, std::size_t length, TTime now);
  void SendNext(TTime now);
  void Resend(TTime now);
  void SendByte(std::uint8_t byte, TTime now);
  void SendTick(TTime now, bool busy);
  void StartRequests(TTime now);
  void Request(TTime now);
  void Failure(TTime now);
  void ReceiveByte(std::uint8_t byte, TTime now);
  void ReceiveTick(TTime now, bool busy);
  void FrameDone(TTime now);
  void NameBlock(const std::uint8_t* data, std::size_t length, TTime now);
  void EndOfFile(TTime now);
  bool WriteAll(const std::uint8_t* data, std::size_t count);

  std::string Out;
  TState Status = TState::Idle;
  TFailure Why = TFailure::None;
  int Errno = 0;
  TProtocol Kind = TProtocol::Raw;
  bool Sending = true;
  std::string FilePath;
  std::uint64_t Done = 0;
  std::int64_t Size = -1;
  std::uint64_t AllDone = 0;
  int FileCount = 0;
  int RetryCount = 0;

  TPhase Phase = TPhase::Start;
  int Fd = -1;       // the file sent or received
  int Folder = -1;   // YMODEM receive
  std::string FolderPath;
  std::int64_t Mtime = -1;
  std::uint64_t Offset = 0;   // send: bytes read; receive: bytes of data blocks taken (padding too)
  std::uint8_t Number = 0;    // send: the block in hand; receive: the last good block
  int Attempts = 0;           // send: resends of the block in hand; receive: failures in a row
  bool Crc = true;
  bool LastCan = false;
  bool Reported = false;
  // Receive: asking for the start, no block begun yet, waiting for a file's block 0, the first
  // EOT of the file refused, a block being collected.
  bool Requesting = false;
  bool Initial = false;
  bool WantName = false;
  bool EotRefused = false;
  bool Collecting = false;
  int Requests = 0;
  std::size_t Fill = 0;
  std::size_t Need = 0;
  TTime Began {};
  TTime Since {};   // the wait for an answer (send) or for the next block (receive) began
  TTime LastByte {};
  TTime RequestAt {};
  std::uint8_t Frame[FrameMax] {};
};
