#include "transfer/TFileReceiver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

using namespace XModem;

namespace {

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

void CloseFd(int& fd)
{
  if (fd >= 0)
    close(std::exchange(fd, -1));
}

}   // namespace

TFileReceiver::TFileReceiver(TProtocol protocol, TTime now)
  : TTransferSide(protocol, false), Began(now), Since(now), LastByte(now), RequestAt(now)
{}

TFileReceiver::~TFileReceiver()
{
  CloseFiles();
}

void TFileReceiver::CloseFiles()
{
  CloseFd(Fd);
  CloseFd(Folder);
}

int TFileReceiver::Open(const std::string& path)
{
  if (Kind == TProtocol::XModem) {
    // A pipe, socket or device is never written: a pipe whose reader goes would end the
    // program. What is there stays as it is until a block arrives.
    struct stat st {};
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (stat(path.c_str(), &st) == 0) {
      if (!S_ISREG(st.st_mode))
        return EINVAL;
      if (access(path.c_str(), W_OK) != 0)
        return errno;
    } else if (errno != ENOENT || access(folder.c_str(), W_OK | X_OK) != 0) {
      return errno;
    }
    FilePath = path;
  } else {
    Folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Folder < 0)
      return errno;
    FolderPath = path;
    WantName = true;
  }
  StartRequests(Began);
  return 0;
}

// XMODEM's target at its first block: opened without truncating, and emptied only once it is
// seen to be a regular file.
bool TFileReceiver::OpenTarget()
{
  Fd = open(FilePath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  struct stat st {};
  const int error = Fd < 0                  ? errno
                    : fstat(Fd, &st) != 0   ? errno
                    : !S_ISREG(st.st_mode)  ? EINVAL
                    : ftruncate(Fd, 0) != 0 ? errno
                                            : 0;
  if (error != 0)
    Fail(TFailure::FileError, error);
  return error == 0;
}

void TFileReceiver::Received(const std::uint8_t* bytes, std::size_t count, TTime now)
{
  if (IsRunning() && count > 0)
    LastByte = now;
  TTransferSide::Received(bytes, count, now);
}

std::size_t TFileReceiver::Collect(const std::uint8_t* bytes, std::size_t count, TTime now)
{
  if (!Collecting)
    return 0;
  const std::size_t n = std::min(Need - Fill, count);
  std::memcpy(Frame + Fill, bytes, n);
  Fill += n;
  if (Fill == Need)
    FrameDone(now);
  return n;
}

void TFileReceiver::StartRequests(TTime now)
{
  Requesting = true;
  Requests = 0;
  Since = now;
  Request(now);
}

// 'C' asks for CRC-16; after three unanswered, NAK asks for the checksum form of the old senders.
void TFileReceiver::Request(TTime now)
{
  Crc = Requests < 3;
  ++Requests;
  Out += char(Crc ? WantCrc : Nak);
  RequestAt = now + StartRequestEvery;
}

// A block that went wrong, or none in time: NAK, unless that happened too often in a row.
void TFileReceiver::Refuse(TTime now)
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

void TFileReceiver::Timers(TTime now, bool busy)
{
  if (Initial ? now - Began >= StartWait : now - LastByte >= SilenceLimit) {
    Fail(Initial ? TFailure::NoStart : TFailure::Silence);
  } else if (Collecting) {
    if (now - LastByte >= BlockByteWait)
      Refuse(now);
  } else if (busy) {
    Since = now;
  } else if (!Initial && now - Since >= AnswerWait) {
    Refuse(now);
  } else if (Requesting && now >= RequestAt) {
    Request(now);
  }
}

void TFileReceiver::Byte(std::uint8_t byte, TTime now)
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

void TFileReceiver::FrameDone(TTime now)
{
  Collecting = false;
  const std::size_t length = Frame[0] == Soh ? ShortBlock : LongBlock;
  const std::uint8_t* data = Frame + 3;
  const bool intact =
    Frame[1] == 255 - Frame[2] && (Crc ? Crc16(data, length) == (Frame[3 + length] << 8 | Frame[4 + length])
                                       : Sum(data, length) == Frame[3 + length]);
  if (!intact) {
    Refuse(now);
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
  if (Fd < 0 && !OpenTarget())
    return;
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
  EotRefused = false;   // an EOT refused before was noise: the data went on
  Out += char(Ack);
  Since = now;
}

void TFileReceiver::NameBlock(const std::uint8_t* data, std::size_t length, TTime now)
{
  if (data[0] == 0) {   // no name: the batch is over
    Out += char(Ack);
    FilePath = Made;
    Finish();
    return;
  }
  const std::size_t nameLength = strnlen(reinterpret_cast<const char*>(data), length);
  std::string name(reinterpret_cast<const char*>(data), nameLength);
  name.erase(0, name.rfind('/') + 1);
  for (char& c : name)
    if (std::uint8_t(c) < 0x20 || c == 0x7F)
      c = '_';
  // Cut at the start of a character, so that a long UTF-8 name stays whole.
  std::size_t cut = std::min<std::size_t>(name.size(), 200);
  while (cut > 0 && cut < name.size() && (name[cut] & 0xC0) == 0x80)
    --cut;
  name.resize(cut);
  if (name.empty() || name == "." || name == "..")
    name = "unnamed";
  if (name[0] == '.')   // the far end plants no hidden files
    name[0] = '_';
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
    const int error = errno;
    FilePath = FolderPath + "/" + name;   // the file that failed, not the last one made
    Done = 0;
    Fail(TFailure::FileError, error);
    return;
  }
  Done = Offset = 0;
  Number = 0;
  WantName = EotRefused = false;
  Out += char(Ack);
  StartRequests(now);
}

void TFileReceiver::EndOfFile(TTime now)
{
  if (Kind == TProtocol::XModem && Fd < 0)
    return;         // before any block: nothing to end
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
  if (Kind == TProtocol::XModem) {
    Finish();
    return;
  }
  Made = std::exchange(FilePath, {});
  Done = 0;
  Size = -1;
  WantName = true;
  StartRequests(now);
}

bool TFileReceiver::WriteAll(const std::uint8_t* data, std::size_t count)
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
