#include "platform/PortMap.h"
#include "tests/support/Rfc2217Peer.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>

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
    // A tool that hangs ends after ten seconds, with status 124.
    FILE* p = popen(("timeout 10 " + std::string(KALVIX_PORTS) + " " + args + " 2>&1").c_str(), "r");
    std::string output(16384, '\0');
    output.resize(p ? std::fread(output.data(), 1, output.size(), p) : 0);
    EXPECT_EQ(p ? WEXITSTATUS(pclose(p)) : -1, status);
    EXPECT_NE(output.find(says), std::string::npos) << output;
    std::error_code none;
    EXPECT_EQ(std::filesystem::read_symlink(store.StoreDir() + "/ports/COM2", none).string(), link);
  }
}

}   // namespace
