#pragma once
// The sending side of a transfer: a file's bytes as they are (raw), or in XMODEM blocks of 128
// bytes or YMODEM blocks of 1024 after a block 0 with its name, size and time; each block sent
// again on NAK or when unanswered.
#include "transfer/TTransferSide.h"
#include "transfer/XModemBlock.h"

class TFileSender : public TTransferSide {
public:
  TFileSender(TProtocol protocol, TTime now);
  ~TFileSender() override;

  // Opens the file at path: 0, or the errno why it cannot be read (EINVAL for what is not a
  // regular file).
  int Open(const std::string& path);
  void Taken(std::size_t count) override;

private:
  // Where a send stands: awaiting the start request, the ACK of block 0 (the file's name), the
  // request for the data, the ACK of a data block or of EOT, the request for the empty block 0
  // that ends the batch and its ACK.
  enum class TPhase { Start, AwaitName, DataStart, AwaitBlock, AwaitEot, CloseStart, CloseBlock };

  void Byte(std::uint8_t byte, TTime now) override;
  void FarCancel() override;
  void Timers(TTime now, bool busy) override;
  void CloseFiles() override;

  bool ReadBlock(std::size_t want);
  void RawFill();
  void Put(std::uint8_t number, std::size_t length, TTime now);
  void Start(std::uint8_t request, TTime now);
  void SendNext(TTime now);
  void Resend(TTime now);

  TPhase Phase = TPhase::Start;
  int Fd = -1;
  std::int64_t Mtime = -1;
  std::uint64_t Offset = 0;   // bytes read
  std::uint8_t Number = 0;    // the block in hand
  int Attempts = 0;           // its resends
  bool Crc = true;
  TTime Since;   // the wait for an answer or a request began
  std::size_t FrameLength = 0;
  std::uint8_t Frame[XModem::FrameMax] {};
};
