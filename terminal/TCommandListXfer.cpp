#include "terminal/TCommandListXfer.h"

#include <cstdio>
#include <memory>

void TCommandListXfer::Load(const std::string& fileName)
{
  Commands.Clear();
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
  if (!file)
    return;
  std::string entry;
  bool started = false;   // something was read for the entry, if only its end
  for (int c; (c = std::getc(file.get())) != EOF && c != 0x1A;) {
    if (c == '\r')
      continue;
    if (entry.size() == EntryMax) {
      // A full entry ends here; its line goes on in the next one.
      Commands.AddString(entry);
      entry.clear();
    }
    if (c == '\n') {
      Commands.AddString(entry);
      entry.clear();
      started = false;
    } else {
      entry.push_back(char(c));
      started = true;
    }
  }
  if (started)
    Commands.AddString(entry);
}
