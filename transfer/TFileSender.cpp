#include "transfer/TFileSender.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace XModem;

TFileSender::TFileSender(TProtocol protocol, TTime now) : TTransferSide(protocol, true), Since(now) {}

TFileSender::~TFileSender()
{
  CloseFiles();
}

void TFileSender::CloseFiles()
{
  if (Fd >= 0)
    close(std::exchange(Fd, -1));
}

int TFileSender::Open(const std::string& path)
{
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return errno;
  struct stat st {};
  const int error = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
  if (error != 0) {
    close(fd);
    return error;
  }
  Fd = fd;
  FilePath = path;
  Size = st.st_size;
  Mtime = std::max<std::int64_t>(st.st_mtime, 0);
  if (Kind == TProtocol::Raw)
    RawFill();
  return 0;
}

void TFileSender::Taken(std::size_t count)
{
  count = std::min(count, Out.size());
  TTransferSide::Taken(count);
  if (!IsRunning() || Kind != TProtocol::Raw)
    return;   // an answer is awaited from the first tick that finds the line idle
  Done += count;
  AllDone = Done;
  if (Out.empty())
    RawFill();
}

// A raw send's next bytes, up to a port's write, until the file's end.
void TFileSender::RawFill()
{
  const std::uint64_t before = Offset;
  if (Offset < std::uint64_t(Size) && ReadBlock(std::size_t(std::min<std::uint64_t>(LongBlock, Size - Offset))))
    Out.append(reinterpret_cast<const char*>(Frame + 3), Offset - before);
}

bool TFileSender::ReadBlock(std::size_t want)
{
  struct stat st {};
  if (fstat(Fd, &st) != 0) {
    Fail(TFailure::FileError, errno);
    return false;
  }
  if (st.st_size != Size) {
    Fail(TFailure::FileChanged);
    return false;
  }
  want = std::min(want, LongBlock);
  for (std::size_t got = 0; got < want;) {
    const ssize_t n = pread(Fd, Frame + 3 + got, want - got, off_t(Offset + got));
    if (n > 0) {
      got += std::size_t(n);
    } else if (n == 0) {   // the file ends before its size: cut short meanwhile
      Fail(TFailure::FileChanged);
      return false;
    } else if (errno != EINTR) {
      Fail(TFailure::FileError, errno);
      return false;
    }
  }
  Offset += want;
  return true;
}

// Frames the data at Frame + 3 as block number and puts it out.
void TFileSender::Put(std::uint8_t number, std::size_t length, TTime now)
{
  Frame[0] = length == ShortBlock ? Soh : Stx;
  Frame[1] = number;
  Frame[2] = std::uint8_t(255 - number);
  std::size_t size = 3 + length;
  if (Crc) {
    const std::uint16_t crc = Crc16(Frame + 3, length);
    Frame[size++] = std::uint8_t(crc >> 8);
    Frame[size++] = std::uint8_t(crc);
  } else {
    Frame[size++] = Sum(Frame + 3, length);
  }
  FrameLength = size;
  Out.append(reinterpret_cast<const char*>(Frame), size);
  Attempts = 0;
  Since = now;
}

void TFileSender::SendNext(TTime now)
{
  if (Offset >= std::uint64_t(Size)) {
    Phase = TPhase::AwaitEot;
    Out += char(Eot);
    Attempts = 0;
    Since = now;
    return;
  }
  const std::size_t length = Kind == TProtocol::XModem ? ShortBlock : LongBlock;
  const std::size_t want = std::size_t(std::min<std::uint64_t>(length, Size - Offset));
  if (!ReadBlock(want))
    return;
  std::memset(Frame + 3 + want, Pad, length - want);
  Phase = TPhase::AwaitBlock;
  Put(++Number, length, now);
}

void TFileSender::Resend(TTime now)
{
  if (!Out.empty())   // the copy still going out is the answer to that
    return;
  if (Attempts >= MaxRetries) {
    Phase == TPhase::CloseBlock ? Finish() : Fail(TFailure::Retries);
    return;
  }
  if (Phase == TPhase::AwaitEot) {
    Out += char(Eot);
  } else {
    Out.append(reinterpret_cast<const char*>(Frame), FrameLength);
    ++RetryCount;
  }
  ++Attempts;
  Since = now;
}

// A request ('C' for CRC-16, NAK for the checksum) for what comes next: the first block (block 0
// for YMODEM), the data after block 0, or the empty block 0 that ends the batch.
void TFileSender::Start(std::uint8_t request, TTime now)
{
  Crc = request == WantCrc;
  if (Phase == TPhase::CloseStart) {
    std::memset(Frame + 3, 0, ShortBlock);
    Phase = TPhase::CloseBlock;
    Put(0, ShortBlock, now);
  } else if (Phase == TPhase::Start && Kind == TProtocol::YModem) {
    // Block 0: the name, NUL, "size mtime" (mtime in octal), zero-filled.
    std::memset(Frame + 3, 0, LongBlock);
    char info[48];
    const int n = std::snprintf(info, sizeof info, "%lld %llo", static_cast<long long>(Size),
                                static_cast<unsigned long long>(Mtime));
    const std::string name = FilePath.substr(FilePath.rfind('/') + 1).substr(0, LongBlock / 2);
    std::memcpy(Frame + 3, name.data(), name.size());
    std::memcpy(Frame + 4 + name.size(), info, std::size_t(n));
    Phase = TPhase::AwaitName;
    Put(0, name.size() + 1 + std::size_t(n) < ShortBlock ? ShortBlock : LongBlock, now);
  } else {
    SendNext(now);
  }
}

void TFileSender::Byte(std::uint8_t byte, TTime now)
{
  const bool request = byte == WantCrc || byte == Nak;
  if (Phase == TPhase::Start || Phase == TPhase::DataStart || Phase == TPhase::CloseStart) {
    if (request)   // anything else is a device's greeting, a line echoed
      Start(byte, now);
    return;
  }
  // Awaiting an answer. A 'C' to the first block is the start request again: the block was lost.
  const bool first = Phase == TPhase::AwaitName ||
                     (Phase == TPhase::AwaitBlock && Kind == TProtocol::XModem && Number == 1 && Offset <= ShortBlock);
  if (byte == Nak || (byte == WantCrc && first)) {
    Resend(now);
  } else if (byte == Ack && Out.empty()) {
    switch (Phase) {
    case TPhase::AwaitName:
      Phase = TPhase::DataStart;
      Since = now;
      break;
    case TPhase::AwaitBlock:
      AllDone = Done = Offset;
      SendNext(now);
      break;
    case TPhase::AwaitEot:
      FileCount = 1;
      Phase = TPhase::CloseStart;
      Since = now;
      if (Kind == TProtocol::XModem)
        Finish();
      break;
    default:
      Finish();
      break;
    }
  }
}

// A batch whose file is delivered is over, however its closing exchange goes.
void TFileSender::FarCancel()
{
  Phase == TPhase::CloseStart || Phase == TPhase::CloseBlock ? Finish() : Fail(TFailure::FarCancel);
}

void TFileSender::Timers(TTime now, bool busy)
{
  if (Kind == TProtocol::Raw) {   // done once the line has taken the last bytes
    if (Offset >= std::uint64_t(Size) && !busy) {
      FileCount = 1;
      Finish();
    }
    return;
  }
  const bool awaiting = Phase == TPhase::AwaitName || Phase == TPhase::AwaitBlock || Phase == TPhase::AwaitEot ||
                        Phase == TPhase::CloseBlock;
  if (awaiting && busy) {
    Since = now;   // no answer is due to a block still leaving the line
  } else if (awaiting && now - Since >= AnswerWait) {
    Resend(now);
  } else if (Phase == TPhase::CloseStart && now - Since >= AnswerWait) {
    Finish();
  } else if ((Phase == TPhase::Start || Phase == TPhase::DataStart) && now - Since >= StartWait) {
    Fail(TFailure::NoStart);
  }
}
