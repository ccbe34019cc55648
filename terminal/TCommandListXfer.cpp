#include "terminal/TCommandListXfer.h"

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

void TCommandListXfer::Load(const std::string& fileName)
{
  Commands.Clear();
  // Only a plain file: opening a FIFO would wait for a writer, and reading a device such as
  // /dev/zero would never end; either would hang the window.
  const int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return;
  struct stat st {};
  std::FILE* stream = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? fdopen(fd, "rb") : nullptr;
  if (!stream) {
    close(fd);
    return;
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(stream, &std::fclose);
  std::string entry;
  bool started = false;   // something was read for the entry, if only its end
  const auto add = [&] {
    if (Commands.GetStrings().size() < EntriesMax)
      Commands.AddString(entry);
    entry.clear();
  };
  int c;
  for (std::size_t taken = 0;
       taken < ReadMax && Commands.GetStrings().size() < EntriesMax && (c = std::getc(file.get())) != EOF && c != 0x1A;
       ++taken) {
    if (c == '\r')
      continue;
    if (entry.size() == EntryMax)
      add();   // a full entry ends here; its line goes on in the next one
    if (c == '\n') {
      add();
      started = false;
    } else {
      entry.push_back(char(c));
      started = true;
    }
  }
  if (started)
    add();
}

bool TCommandListXfer::Chosen(std::string& label, std::string& command) const
{
  command = Commands.GetSelection().substr(0, EntryMax);
  label.clear();
  if (command.empty() || command[0] != '[')
    return true;
  const std::size_t close = command.find(']');
  if (close == std::string::npos)
    return false;
  label = command.substr(1, close - 1);
  command.erase(0, close + 1);
  return true;
}
