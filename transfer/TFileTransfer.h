#pragma once
// One file transfer over the line: a raw send, or XMODEM / YMODEM in either direction (CRC-16
// or the checksum form, 128- and 1024-byte blocks, YMODEM batches). It holds no window and no
// port: it is fed what the line delivered and the time, and answers with the bytes to write and
// its progress. The files themselves are read and written here, by the side that runs: a
// TFileSender or a TFileReceiver.
#include "transfer/TTransferSide.h"

#include <memory>
#include <string>
#include <string_view>

class TFileTransfer {
public:
  using TClock = TTransferSide::TClock;
  using TTime = TTransferSide::TTime;
  using TProtocol = TTransferSide::TProtocol;
  using TState = TTransferSide::TState;
  using TFailure = TTransferSide::TFailure;

  TFileTransfer();
  ~TFileTransfer();
  TFileTransfer(const TFileTransfer&) = delete;
  TFileTransfer& operator=(const TFileTransfer&) = delete;

  // Starts sending the file at path: 0, or the errno why it cannot be read (EINVAL for what is
  // not a regular file); EBUSY while a transfer runs.
  int StartSend(TProtocol protocol, const std::string& path, TTime now);
  // Starts receiving (XModem, YModem; Raw is EINVAL): XMODEM into the file at path, which must
  // be a regular file or none (EINVAL for a pipe, socket or device), made or emptied when the
  // first block arrives; YMODEM into the folder at path, each file under the name its sender
  // gives, reduced to a plain name inside the folder, not hidden (a leading dot becomes '_') and
  // never replacing anything there ("name (1).ext" instead). 0, or the errno why not; EBUSY
  // while a transfer runs.
  int StartReceive(TProtocol protocol, const std::string& path, TTime now);

  // Bytes that arrived from the line, in order. A raw send ignores them (they are the device's
  // answers, for the receive field).
  void Received(const std::uint8_t* bytes, std::size_t count, TTime now) { Side->Received(bytes, count, now); }
  // Time passes: retries and time limits. lineBusy: bytes taken earlier are still leaving the
  // line, so no answer can be due yet and the waiting starts again; a raw send is done once the
  // line is no longer busy with its last bytes.
  void Tick(TTime now, bool lineBusy) { Side->Tick(now, lineBusy); }
  // The bytes to write next, in order, until Taken removes them.
  std::string_view Output() const { return Side->Output(); }
  // The first count bytes of Output have been handed to the line. (now goes unused: an answer
  // is awaited from the first Tick that finds the line idle.)
  void Taken(std::size_t count, TTime) { Side->Taken(count); }

  // Ends a running transfer from this side: what was not yet taken is dropped and, for XMODEM
  // and YMODEM, the abort (CAN x 8, BS x 8) is put out instead (a raw send has no far end to
  // tell). State Failed with Cancelled.
  void Cancel() { Side->Cancel(); }
  // The line has gone: ends a running transfer with LineLost, and drops all output.
  void Lost() { Side->Lost(); }
  // The line takes nothing: ends a running transfer with Stalled; a protocol's far end is told
  // with the abort.
  void Stall() { Side->Stall(); }

  TState State() const { return Side->State(); }
  bool IsRunning() const { return Side->IsRunning(); }
  TFailure Failure() const { return Side->Failure(); }
  int Error() const { return Side->Error(); }   // with FileError
  TProtocol Protocol() const { return Side->Protocol(); }
  bool IsSend() const { return Side->IsSend(); }

  // The file in hand: its full path (for YMODEM receive, the file made in the folder, or the
  // name that could not be made; none before a file's block 0 nor after its end, and the last
  // one once the batch is done), the bytes done (acknowledged, taken for a raw send, or
  // written) and its size (-1: unknown, as for XMODEM receive).
  const std::string& Path() const { return Side->Path(); }
  std::uint64_t FileDone() const { return Side->FileDone(); }
  std::int64_t FileSize() const { return Side->FileSize(); }
  // Over the whole transfer: bytes done, files completed, and blocks sent again (a repeated EOT
  // is not counted) or refused.
  std::uint64_t TotalDone() const { return Side->TotalDone(); }
  int Files() const { return Side->Files(); }
  int Retries() const { return Side->Retries(); }

private:
  // The side of the transfer that runs or ran last; before the first, one that does nothing.
  std::unique_ptr<TTransferSide> Side;
};
