#include "platform/PortMap.h"
#include "tests/support/Child.h"
#include "tests/support/Rfc2217Peer.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace {

TEST(PortMapTest, TheToolMapsOnlyTerminalDevicesAndReportsErrorsByExitStatus)
{
  TScratchStore store;
  TPty pty;
  TRfc2217Peer peer;
  // A lock file that cannot be read (a FIFO: opening it to read would wait for a writer) holds
  // the device.
  const std::string lock = store.LockDir() + "/LCK.." + pty.SlavePath().substr(pty.SlavePath().rfind('/') + 1);
  ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0);
  // A character device that is no terminal would be listed as a port held by another program.
  // None is opened to find out. A refused map leaves the link as it was.
  const std::tuple<std::string, int, std::string, std::string> rows[] = {
    {"map COM2 " + pty.SlavePath(), 0, "COM2 -> " + pty.SlavePath(), pty.SlavePath()},
    {"list", 0, pty.SlavePath() + ", held (a lock file that cannot be read)\n", pty.SlavePath()},
    {"map 2 loopback", 0, "COM2 -> loopback", "loopback"},
    {"map 2 /dev/null", 1, "not a terminal device: /dev/null", "loopback"},
    {"map 2 /dev/tty", 1, "not a terminal device: /dev/tty", "loopback"},
    {"map 2 /dev/no-such-tty", 1, "no such device: /dev/no-such-tty", "loopback"},
    // A remote port is checked for form only; the list says whether its server answers now.
    {"map 2 " + peer.Url(), 0, "COM2 -> " + peer.Url(), peer.Url()},
    {"list", 0, "remote, answers\n", peer.Url()},
    {"map 2 rfc2217://[::1]:1", 0, "COM2 -> rfc2217://[::1]:1", "rfc2217://[::1]:1"},
    {"list", 0, "remote, no answer\n", "rfc2217://[::1]:1"},
    {"map 2 rfc2217://lab-pi:65536", 1, "not a remote port (rfc2217://HOST:PORT): rfc2217://lab-pi:65536",
     "rfc2217://[::1]:1"},
    {"map 2 rfc2217://[::1:3001", 1, "not a remote port", "rfc2217://[::1]:1"},
    {"map 2 rfc2217://lab/pi:3001", 1, "not a remote port", "rfc2217://[::1]:1"},
    {"unmap 2", 0, "", ""},
    {"", 0, "COM2  /dev/ttyS1", ""},
  };
  for (const auto& [args, status, says, link] : rows) {
    SCOPED_TRACE(args);
    std::vector<std::string> argv {KALVIX_PORTS};
    std::istringstream words(args);
    for (std::string word; words >> word;)
      argv.push_back(word);
    const int said = open((store.Root() + "/said").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_EQ(TChild(argv, TChild::Discard, said, said).Wait(10000), "exit " + std::to_string(status));
    close(said);
    EXPECT_NE(FileText(store.Root() + "/said").find(says), std::string::npos) << FileText(store.Root() + "/said");
    std::error_code none;
    EXPECT_EQ(std::filesystem::read_symlink(store.StoreDir() + "/ports/COM2", none).string(), link);
  }
}

}   // namespace
