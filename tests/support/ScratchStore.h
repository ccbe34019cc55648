#pragma once
// Test fixtures on real parts: a scratch store directory (XDG_CONFIG_HOME) whose COM links
// never name a real serial port, and pseudo-terminal pairs that play the far end of a line.
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Points XDG_CONFIG_HOME at a fresh temporary directory for its lifetime and links every
// COMn to a path that does not exist, so nothing can reach /dev/ttyS*. Lock files go to a
// lock directory of its own (KALVIX_LOCK_DIR), and the system consoles are those of a list of
// its own (KALVIX_CONSOLE_LIST), empty until the test writes one.
class TScratchStore {
public:
  TScratchStore();
  ~TScratchStore();
  TScratchStore(const TScratchStore&) = delete;
  TScratchStore& operator=(const TScratchStore&) = delete;

  const std::string& Root() const { return RootDir; }   // XDG_CONFIG_HOME
  std::string StoreDir() const { return RootDir + "/kalvix"; }
  std::string DatabasePath() const { return StoreDir() + "/registry.db"; }
  std::string LockDir() const { return RootDir + "/lock"; }
  std::string ConsoleList() const { return RootDir + "/consoles"; }
  // Makes ports/COM<n> a link to target ("loopback" or a device path).
  void LinkPort(int n, const std::string& target) const;
  // The values under the program's settings key as the next start finds them (a journal a
  // killed writer left rolled back first): each its type, S text or D number, then its bytes. A
  // store that fails its integrity check gives only "integrity" and what the check said.
  std::map<std::string, std::string> Stored() const;
  // Makes the store, made already, refuse to write the value name, saying why.
  void Refuse(const std::string& name, const std::string& why) const;

private:
  std::string RootDir;
  std::vector<std::pair<std::string, std::optional<std::string>>> SavedEnvironment;
};

// The bytes of the file at path; empty when there is none.
std::string FileText(const std::string& path);
// Makes the file at path hold bytes, modified at mtime (which YMODEM carries).
void PutFile(const std::string& path, const std::string& bytes, std::time_t mtime);
// n bytes of every value, control characters included, in an order of seed's.
std::string Bytes(std::size_t n, int seed);
// What fd brings until want bytes are there or none came for quietMs.
std::string ReadUntilQuiet(int fd, std::size_t want, int quietMs);

// A pseudo-terminal pair in raw mode. The test plays the device at the master; the program
// under test opens SlavePath().
class TPty {
public:
  TPty();
  ~TPty();
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  int Master() const { return MasterFd; }
  int Slave() const { return SlaveFd; }
  const std::string& SlavePath() const { return Path; }
  // Writes all of data to the master (blocking); false if the pty failed.
  bool Send(const std::string& data) const;
  // Reads from the master until want bytes are there or timeoutMs passed.
  std::string Receive(std::size_t want, int timeoutMs) const { return ReadUntilQuiet(MasterFd, want, timeoutMs); }
  // Closes the master: the line vanishes for whoever holds the slave.
  void CloseMaster();

private:
  int MasterFd = -1;
  int SlaveFd = -1;
  std::string Path;
};
