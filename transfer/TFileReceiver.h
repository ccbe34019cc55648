#pragma once
// The receiving side of a transfer: XMODEM into one file, YMODEM into a folder under the names
// its sender gives. It asks for the start ('C' three times, then NAK), checks every block,
// answers ACK or NAK, and takes only a second EOT as a file's end. It writes only to regular
// files: XMODEM's target is checked at the start and opened at the first block, YMODEM's files
// are made new.
#include "transfer/TTransferSide.h"
#include "transfer/XModemBlock.h"

class TFileReceiver : public TTransferSide {
public:
  static constexpr std::chrono::seconds StartRequestEvery {3};
  static constexpr std::chrono::seconds BlockByteWait {1};   // a block that stalls
  static constexpr std::chrono::seconds SilenceLimit {60};

  TFileReceiver(TProtocol protocol, TTime now);
  ~TFileReceiver() override;

  // XMODEM: the file at path, a regular file or none, made or emptied at the first block;
  // YMODEM: the folder at path. 0, or the errno why not (EINVAL for what is not a regular file).
  int Open(const std::string& path);
  void Received(const std::uint8_t* bytes, std::size_t count, TTime now) override;

private:
  std::size_t Collect(const std::uint8_t* bytes, std::size_t count, TTime now) override;
  void Byte(std::uint8_t byte, TTime now) override;
  void Timers(TTime now, bool busy) override;
  void CloseFiles() override;

  void StartRequests(TTime now);
  void Request(TTime now);
  void Refuse(TTime now);
  void FrameDone(TTime now);
  bool OpenTarget();
  void NameBlock(const std::uint8_t* data, std::size_t length, TTime now);
  void EndOfFile(TTime now);
  bool WriteAll(const std::uint8_t* data, std::size_t count);

  int Fd = -1;       // the file being written
  int Folder = -1;   // YMODEM
  std::string FolderPath;
  std::string Made;   // YMODEM: the last file made
  std::int64_t Mtime = -1;
  std::uint64_t Offset = 0;   // bytes of data blocks taken, padding too
  std::uint8_t Number = 0;    // the last good block
  int Attempts = 0;           // failures in a row
  bool Crc = true;
  // Asking for the start, no block begun yet, waiting for a file's block 0, the first EOT of
  // the file refused, a block being collected.
  bool Requesting = false;
  bool Initial = true;
  bool WantName = false;
  bool EotRefused = false;
  bool Collecting = false;
  int Requests = 0;
  std::size_t Fill = 0;
  std::size_t Need = 0;
  TTime Began;
  TTime Since;   // the wait for the next block began
  TTime LastByte;
  TTime RequestAt;
  std::uint8_t Frame[XModem::FrameMax] {};
};
