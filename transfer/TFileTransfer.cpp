#include "transfer/TFileTransfer.h"
#include "serial/TComPort.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::uint8_t Soh = 0x01, Stx = 0x02, Eot = 0x04, Ack = 0x06, Nak = 0x15, Can = 0x18, Pad = 0x1A, Bs = 0x08;
constexpr std::uint8_t WantCrc = 'C';
constexpr std::size_t ShortBlock = 128, LongBlock = 1024;
// lrzsz's abort: the CANs stop the far end, the backspaces erase them from a terminal that shows them.
constexpr std::string_view Abort = "\x18\x18\x18\x18\x18\x18\x18\x18\b\b\b\b\b\b\b\b";

std::uint16_t Crc16(const std::uint8_t* p, std::size_t n)
{
  std::uint16_t crc = 0;
  for (; n > 0; --n) {
    crc = std::uint16_t(crc ^ *p++ << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = std::uint16_t(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
  }
  return crc;
}

std::uint8_t Sum(const std::uint8_t* p, std::size_t n)
{
  unsigned sum = 0;
  for (; n > 0; --n)
    sum += *p++;
  return std::uint8_t(sum);
}

void CloseFd(int& fd)
{
  if (fd >= 0)
    close(std::exchange(fd, -1));
}

// A number of block 0's "size mtime ..." in base, after spaces; -1 when absent or too large.
std::int64_t Field(const std::uint8_t*& p, const std::uint8_t* end, int base)
{
  while (p < end && *p == ' ')
    ++p;
  std::int64_t value = -1;
  for (; p < end && *p >= '0' && *p < '0' + base; ++p) {
    if (value > (INT64_MAX - base) / base)
      return -1;
    value = std::max<std::int64_t>(value, 0) * base + (*p - '0');
  }
  return value;
}

// "name (n).ext": the number goes before the last extension, or at the end of a name that has
// none (a leading dot is no extension).
std::string Numbered(const std::string& name, int n)
{
  const std::size_t dot = name.rfind('.');
  const std::size_t at = dot == std::string::npos || dot == 0 ? name.size() : dot;
  return name.substr(0, at) + " (" + std::to_string(n) + ")" + name.substr(at);
}

}   // namespace

TFileTransfer::~TFileTransfer()
{
  CloseFiles();
}

void TFileTransfer::CloseFiles()
{
  CloseFd(Fd);
  CloseFd(Folder);
}

void TFileTransfer::Begin(TProtocol protocol, bool sending, TTime now)
{
  Status = TState::Running;
  Why = TFailure::None;
  Errno = 0;
  Kind = protocol;
  Sending = sending;
  FilePath.clear();
  Done = AllDone = Offset = 0;
  Size = Mtime = -1;
  FileCount = RetryCount = Attempts = Requests = 0;
  Phase = TPhase::Start;
  Out.clear();
  Number = 0;
  Crc = true;
  LastCan = Reported = Requesting = WantName = EotRefused = Collecting = false;
  Initial = true;
  Began = Since = LastByte = RequestAt = now;
}

void TFileTransfer::Finish()
{
  Status = TState::Done;
  CloseFiles();
}

void TFileTransfer::Fail(TFailure why, int error)
{
  Status = TState::Failed;
  Why = why;
  Errno = error;
  CloseFiles();
  // The far end that cancelled or vanished hears nothing more; a sender that finished short
  // still gets the ACK of its EOT.
  if (why == TFailure::FarCancel || why == TFailure::LineLost || Kind == TProtocol::Raw)
    Out.clear();
  else if (why != TFailure::Short)
    Out = Abort;
}

void TFileTransfer::Cancel()
{
  if (IsRunning())
    Fail(TFailure::Cancelled);
}

void TFileTransfer::Lost()
{
  if (IsRunning())
    Fail(TFailure::LineLost);
  Out.clear();
}

int TFileTransfer::StartSend(TProtocol protocol, const std::string& path, TTime now)
{
  if (IsRunning())
    return EBUSY;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return errno;
  struct stat st {};
  const int error = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
  if (error != 0) {
    close(fd);
    return error;
  }
  Begin(protocol, true, now);
  Fd = fd;
  FilePath = path;
  Size = st.st_size;
  Mtime = std::max<std::int64_t>(st.st_mtime, 0);
  if (protocol == TProtocol::Raw)
    RawFill();
  return 0;
}

int TFileTransfer::StartReceive(TProtocol protocol, const std::string& path, TTime now)
{
  if (protocol == TProtocol::Raw)
    return EINVAL;
  if (IsRunning())
    return EBUSY;
  const int fd = protocol == TProtocol::XModem
                   ? open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666)
                   : open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return errno;
  Begin(protocol, false, now);
  if (protocol == TProtocol::XModem) {
    Fd = fd;
    FilePath = path;
  } else {
    Folder = fd;
    FolderPath = path;
    WantName = true;
  }
  StartRequests(now);
  return 0;
}

void TFileTransfer::Received(const std::uint8_t* bytes, std::size_t count, TTime now)
{
  if (!IsRunning() || Kind == TProtocol::Raw || count == 0)
    return;
  LastByte = now;
  for (std::size_t i = 0; i < count && IsRunning();) {
    if (!Sending && Collecting) {
      const std::size_t n = std::min(Need - Fill, count - i);
      std::memcpy(Frame + Fill, bytes + i, n);
      Fill += n;
      i += n;
      if (Fill == Need)
        FrameDone(now);
      continue;
    }
    const std::uint8_t byte = bytes[i++];
    if (byte == Can && LastCan) {
      // A batch whose file is delivered is over, however its closing exchange goes.
      if (Phase == TPhase::CloseStart || Phase == TPhase::CloseBlock)
        Finish();
      else
        Fail(TFailure::FarCancel);
      return;
    }
    LastCan = byte == Can;
    Sending ? SendByte(byte, now) : ReceiveByte(byte, now);
  }
}

void TFileTransfer::Tick(TTime now, bool lineBusy)
{
  if (!IsRunning() || Kind == TProtocol::Raw)
    return;
  const bool busy = lineBusy || !Out.empty();
  Sending ? SendTick(now, busy) : ReceiveTick(now, busy);
}

void TFileTransfer::Taken(std::size_t count, TTime)
{
  count = std::min(count, Out.size());
  Out.erase(0, count);
  if (!IsRunning() || Kind != TProtocol::Raw)
    return;   // an answer is awaited from the first tick that finds the line idle
  Done += count;
  AllDone = Done;
  if (Out.empty())
    RawFill();
}

bool TFileTransfer::Step(TComPort& port, TTime now)
{
  if (IsRunning() && !port.IsAttached())
    Lost();
  Tick(now, !port.IsWriteIdle());
  for (int writes = 0; writes < 4 && !Out.empty() && port.IsWriteIdle(); ++writes) {
    const auto n = std::uint32_t(std::min<std::size_t>(Out.size(), TComPort::BufferSize));
    const int result = port.Write(Out.data(), n);
    if (result == -1) {
      Lost();
      break;
    }
    if (result != 0)
      break;
    Taken(n, now);
  }
  if (Reported || Status == TState::Idle || IsRunning() || !Out.empty() || !port.IsWriteIdle())
    return false;
  Reported = true;
  return true;
}

// Sending

// A raw send's next bytes, up to a port's write; Done once every byte has been taken.
void TFileTransfer::RawFill()
{
  const std::uint64_t before = Offset;
  if (Offset >= std::uint64_t(Size)) {
    FileCount = 1;
    Finish();
  } else if (ReadBlock(std::size_t(std::min<std::uint64_t>(LongBlock, Size - Offset)))) {
    Out.append(reinterpret_cast<const char*>(Frame + 3), Offset - before);
  }
}

bool TFileTransfer::ReadBlock(std::size_t want)
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
void TFileTransfer::Put(std::uint8_t number, std::size_t length, TTime now)
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
  Need = size;
  Out.append(reinterpret_cast<const char*>(Frame), size);
  Attempts = 0;
  Since = now;
}

void TFileTransfer::SendNext(TTime now)
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

void TFileTransfer::Resend(TTime now)
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
    Out.append(reinterpret_cast<const char*>(Frame), Need);
    ++RetryCount;
  }
  ++Attempts;
  Since = now;
}

void TFileTransfer::SendByte(std::uint8_t byte, TTime now)
{
  const bool request = byte == WantCrc || byte == Nak;
  switch (Phase) {
  case TPhase::Start:
  case TPhase::DataStart:
  case TPhase::CloseStart:
    if (!request)
      return;   // a device's greeting, a line echoed
    Crc = byte == WantCrc;
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
    return;
  default:
    break;
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

void TFileTransfer::SendTick(TTime now, bool busy)
{
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

// Receiving

void TFileTransfer::StartRequests(TTime now)
{
  Requesting = true;
  Requests = 0;
  Since = now;
  Request(now);
}

// 'C' asks for CRC-16; after three unanswered, NAK asks for the checksum form of the old senders.
void TFileTransfer::Request(TTime now)
{
  Crc = Requests < 3;
  ++Requests;
  Out += char(Crc ? WantCrc : Nak);
  RequestAt = now + StartRequestEvery;
}

void TFileTransfer::Failure(TTime now)
{
  Collecting = false;
  if (++Attempts >= MaxRetries) {
    Fail(TFailure::Retries);
    return;
  }
  ++RetryCount;
  Out += char(Nak);
  Since = now;
}

void TFileTransfer::ReceiveTick(TTime now, bool busy)
{
  if (Initial ? now - Began >= StartWait : now - LastByte >= SilenceLimit) {
    Fail(Initial ? TFailure::NoStart : TFailure::Silence);
  } else if (Collecting) {
    if (now - LastByte >= BlockByteWait)
      Failure(now);
  } else if (busy) {
    Since = now;
  } else if (!Initial && now - Since >= AnswerWait) {
    Failure(now);
  } else if (Requesting && now >= RequestAt) {
    Request(now);
  }
}

void TFileTransfer::ReceiveByte(std::uint8_t byte, TTime now)
{
  if (byte == Soh || byte == Stx) {
    Requesting = Initial = false;
    Collecting = true;
    Frame[0] = byte;
    Fill = 1;
    Need = 3 + (byte == Soh ? ShortBlock : LongBlock) + (Crc ? 2 : 1);
  } else if (byte == Eot) {
    EndOfFile(now);
  }
}

void TFileTransfer::FrameDone(TTime now)
{
  Collecting = false;
  const std::size_t length = Frame[0] == Soh ? ShortBlock : LongBlock;
  const std::uint8_t* data = Frame + 3;
  const bool intact =
    Frame[1] == 255 - Frame[2] && (Crc ? Crc16(data, length) == (Frame[3 + length] << 8 | Frame[4 + length])
                                       : Sum(data, length) == Frame[3 + length]);
  if (!intact) {
    Failure(now);
    return;
  }
  Attempts = 0;
  const std::uint8_t number = Frame[1];
  if (WantName) {
    number == 0 ? NameBlock(data, length, now) : Fail(TFailure::Sequence);
    return;
  }
  if (number == Number) {   // our ACK was lost: the sender repeats
    Out += char(Ack);
    Since = now;
    if (Kind == TProtocol::YModem && number == 0 && Offset == 0)
      StartRequests(now);   // block 0 again: it waits for the request too
    return;
  }
  if (number != std::uint8_t(Number + 1)) {
    Fail(TFailure::Sequence);
    return;
  }
  std::size_t keep = length;
  if (Size >= 0) {   // a sender that goes on past the size it announced is cut off
    if (Offset >= std::uint64_t(Size)) {
      Fail(TFailure::TooLong);
      return;
    }
    keep = std::size_t(std::min<std::uint64_t>(length, Size - Offset));
  }
  if (!WriteAll(data, keep))
    return;
  Offset += length;
  Done += keep;
  AllDone += keep;
  Number = number;
  Out += char(Ack);
  Since = now;
}

void TFileTransfer::NameBlock(const std::uint8_t* data, std::size_t length, TTime now)
{
  if (data[0] == 0) {   // no name: the batch is over
    Out += char(Ack);
    Finish();
    return;
  }
  const std::size_t nameLength = strnlen(reinterpret_cast<const char*>(data), length);
  std::string name(reinterpret_cast<const char*>(data), nameLength);
  name.erase(0, name.rfind('/') + 1);
  for (char& c : name)
    if (std::uint8_t(c) < 0x20 || c == 0x7F)
      c = '_';
  name.resize(std::min<std::size_t>(name.size(), 200));
  if (name.empty() || name == "." || name == "..")
    name = "unnamed";
  const std::uint8_t* p = data + std::min(nameLength + 1, length);
  Size = Field(p, data + length, 10);
  Mtime = Size >= 0 ? Field(p, data + length, 8) : -1;

  // Never replace anything in the folder, nor follow a link planted there.
  for (int n = 0; n <= 999 && Fd < 0; ++n) {
    const std::string candidate = n == 0 ? name : Numbered(name, n);
    Fd = openat(Folder, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (Fd >= 0)
      FilePath = FolderPath + "/" + candidate;
    else if (errno != EEXIST)
      break;
  }
  if (Fd < 0) {
    Fail(TFailure::FileError, errno);
    return;
  }
  Done = Offset = 0;
  Number = 0;
  WantName = EotRefused = false;
  Out += char(Ack);
  StartRequests(now);
}

void TFileTransfer::EndOfFile(TTime now)
{
  if (Kind == TProtocol::XModem) {
    Out += char(Ack);
    FileCount = 1;
    Finish();
    return;
  }
  if (WantName) {   // the last file's EOT again: our ACK was lost
    if (FileCount > 0)
      Out += char(Ack);
    return;
  }
  // The first EOT may be a corrupted byte: only a second one ends the file.
  Requesting = false;
  Out += char(EotRefused ? Ack : Nak);
  Since = now;
  if (!std::exchange(EotRefused, true))
    return;
  if (Size >= 0 && Done < std::uint64_t(Size)) {
    Fail(TFailure::Short);
    return;
  }
  if (Mtime > 0) {
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(Mtime), 0}};
    futimens(Fd, times);
  }
  if (close(std::exchange(Fd, -1)) != 0 && errno != EINTR) {
    Fail(TFailure::FileError, errno);
    return;
  }
  ++FileCount;
  WantName = true;
  StartRequests(now);
}

bool TFileTransfer::WriteAll(const std::uint8_t* data, std::size_t count)
{
  while (count > 0) {
    const ssize_t n = write(Fd, data, count);
    if (n > 0) {
      data += n;
      count -= std::size_t(n);
    } else if (n == 0 || errno != EINTR) {
      Fail(TFailure::FileError, n == 0 ? EIO : errno);
      return false;
    }
  }
  return true;
}
