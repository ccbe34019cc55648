#include "terminal/TCaptureLog.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int TCaptureLog::Open(const std::string& path, TForm form, bool textMode)
{
  Close();
  // Non-blocking, so that nothing the name leads to can make the window wait: a FIFO without a
  // reader fails here, a terminal that holds its output refuses the write.
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0)
    return errno;
  // A pipe or socket whose reader goes away would end the program with SIGPIPE.
  struct stat st {};
  if (fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode))) {
    close(fd);
    return EINVAL;
  }
  Fd = fd;
  Form = form;
  FilePath = path;
  Buffer.clear();
  AtLineStart = true;
  Failed = 0;
  NoteMode(textMode);
  return 0;
}

void TCaptureLog::Prefix()
{
  if (!Stamped) {
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    localtime_r(&now.tv_sec, &local);
    const std::size_t n = std::strftime(Stamp, sizeof Stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(Stamp + n, sizeof Stamp - n, ".%03d ", int(now.tv_nsec / 1000000) % 1000);
    Stamped = true;
  }
  Buffer += Stamp;
}

void TCaptureLog::Received(const std::uint8_t* bytes, std::size_t count, const char* text, std::size_t length)
{
  if (Fd < 0)
    return;
  if (Form == Raw) {
    Buffer.append(reinterpret_cast<const char*>(bytes), count);
  } else {
    // Every line of one chunk carries the chunk's time; the file's lines end in LF alone.
    Stamped = false;
    for (std::size_t i = 0; i < length; ++i) {
      if (text[i] == '\r')
        continue;
      if (AtLineStart)
        Prefix();
      Buffer += text[i];
      AtLineStart = text[i] == '\n';
    }
  }
  if (Buffer.size() >= BufferLimit && !Failed)
    Failed = Write();
}

void TCaptureLog::EndLine()
{
  if (Fd >= 0 && Form == Text && !AtLineStart) {
    Buffer += '\n';
    AtLineStart = true;
  }
}

void TCaptureLog::NoteMode(bool textMode)
{
  if (Fd < 0 || Form != Text)
    return;
  EndLine();
  Stamped = false;
  Prefix();
  Buffer += textMode ? "--- text mode ---\n" : "--- binary mode ---\n";
}

int TCaptureLog::Flush()
{
  const int error = Failed ? Failed : Write();
  Failed = 0;
  return error;
}

int TCaptureLog::Write()
{
  int error = 0;
  for (std::size_t done = 0; Fd >= 0 && done < Buffer.size();) {
    const ssize_t n = write(Fd, Buffer.data() + done, Buffer.size() - done);
    if (n > 0) {
      done += std::size_t(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      error = n < 0 ? errno : EIO;
      close(Fd);
      Fd = -1;
    }
  }
  Buffer.clear();
  return error;
}

int TCaptureLog::Close()
{
  // The file ends on a whole line, so that what is appended later starts on one.
  EndLine();
  int error = Flush();
  if (Fd >= 0 && close(Fd) != 0 && !error)
    error = errno;
  Fd = -1;
  return error;
}
