// The standing fault loop: the real program in a scripted session (FaultSession.cpp: start,
// Send, a raw log, receive, Setup OK with changed values, SIGTERM), once per fault. For each row
// of the table and N = 1, 2, ... until the fault no longer fires, the Nth call of the row's
// function whose path holds the row's text fails with its errno (FaultInjector.h). After each
// run: no crash and no hang (the session ends with the status of the SIGTERM, in time), the
// store passes its integrity check and holds the thirteen values all old or all new, the raw log
// is an exact prefix of what the line carried (all of it, unless a message box said why not),
// no lock file is left, and the program was idle once its script was done.
//
// The test command runs a slice of the table; with KALVIX_FAULTS=all the whole table runs. Each
// row's counts go to stdout as a line "fault-row", then tab-separated the function, errno, path,
// runs, fired, held and its first failure: scripts/faults makes its report of them.
#include "settings/PortSettings.h"
#include "tests/support/Child.h"
#include "tests/support/FaultInjector.h"
#include "tests/support/ScratchStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <unistd.h>

namespace {

using namespace std::string_literals;

#ifdef __SANITIZE_ADDRESS__
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif

// The function, the errno that its Nth call fails with, the text the path (for a call on a
// descriptor, the descriptor's path) must hold ("/lock/": the lock, its temporary and one moved
// aside), and how far the test command's slice goes (N up to this, 0: only the whole loop). The
// session's device is its only pseudo-terminal.
struct TRow {
  const char* Function;
  int Error;
  const char* Path;
  int Slice;
};
constexpr TRow Table[] = {
  {"open", EACCES, "registry.db", 0},
  {"open", EMFILE, "registry.db", 0},
  {"open", EIO, "registry.db-journal", 4},
  {"read", EIO, "registry.db", 0},
  {"pwrite", EIO, "registry.db", 0},
  {"pwrite", ENOSPC, "registry.db", 0},
  {"fdatasync", EIO, "registry.db", 0},
  {"unlink", EIO, "registry.db-journal", 0},
  {"close", EIO, "registry.db", 0},
  {"open", EACCES, "/lock/", 0},
  {"open", EMFILE, "/lock/", 0},
  {"write", ENOSPC, "/lock/", 1},
  {"unlink", EIO, "/lock/", 4},
  {"close", EIO, "/lock/", 0},
  {"open", EACCES, "capture.bin", 1},
  {"write", ENOSPC, "capture.bin", 1},
  {"close", EIO, "capture.bin", 0},
  {"open", EMFILE, "ports/COM1", 1},
  {"flock", EWOULDBLOCK, "/dev/pts/", 1},
  {"ioctl", EIO, "/dev/pts/", 0},
  {"read", EIO, "/dev/pts/", 2},
  {"write", EIO, "/dev/pts/", 1},
  {"poll", EIO, "/dev/pts/", 0},
  {"close", EIO, "/dev/pts/", 0},
};
// A row of the whole loop stops here even if its fault still fires.
constexpr long MaxN = 300;
// A session's script takes about two seconds; past this it hangs.
constexpr int LimitMs = Sanitized ? 60000 : 20000;
// Of the half second the session spends idle: a spinning loop would use all of it.
constexpr long IdleCpuMs = 100;

// What the line carries: every byte value before Setup, a line of text after.
const std::string Parts[2] = {Bytes(256, 0), "after Setup\r\n"};

// The old values: the defaults with no handshake and no parity, stored before the session.
void StoreOldValues()
{
  TComSetupXfer xfer;
  std::int32_t lineLength = 0, delayTime = 0, delayChar = 0;
  LoadPortSettings(xfer, lineLength, delayTime, delayChar);
  xfer.HandshakeData.SelectString("no");
  xfer.ParityData.SelectString("no");
  std::string reason;
  ASSERT_TRUE(SavePortSettings(xfer, lineLength, delayTime, delayChar, reason)) << reason;
}

// One session: whether the fault fired, what the checks found, what it said, and the store it
// left (as the next start finds it).
struct TRun {
  bool Fired = false;
  std::vector<std::string> Failed;
  bool Boxes = false;
  std::map<std::string, std::string> Stored;
  std::string Log, Carried;
};

// Runs the session with row's fault at call n (none without a row) and checks what it left: a
// store other than the old one must be the clean session's, when there is one (newer).
TRun RunOnce(const TRow* row, long n, const std::map<std::string, std::string>* newer)
{
  TRun run;
  TScratchStore store;   // the session inherits its environment
  StoreOldValues();
  const auto old = store.Stored();
  TPty line;
  store.LinkPort(1, line.SlavePath());
  const std::string log = store.Root() + "/capture.bin", errors = store.Root() + "/stderr";

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0)
    return run.Failed.push_back("no pipe"), run;
  const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  const std::string fault =
    row ? std::string(row->Function) + ":" + std::to_string(row->Error) + ":" + std::to_string(n) + ":" + row->Path
        : "";
  TChild session({FAULT_SESSION, log}, TChild::Discard, out[1], err, "", {FaultVariable + ("=" + fault)});
  close(out[1]);
  close(err);

  // The conversation: the line fed as the script goes, SIGTERM once it is done.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(LimitMs);
  long idleMs = -1;
  bool hung = false, ended = false;
  std::chrono::steady_clock::time_point idleAt;
  std::string said;
  for (pollfd p {out[0], POLLIN, 0};; p.revents = 0) {
    const auto now = std::chrono::steady_clock::now();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
    if (left.count() <= 0) {
      hung = true;
      break;
    }
    // Ended once the log has all the line carried, or once that had time enough to arrive: a
    // loaded machine must not make a late tick look like lost bytes.
    std::error_code noFile;
    if (idleMs >= 0 && !ended &&
        (std::filesystem::file_size(log, noFile) >= run.Carried.size() || now - idleAt > std::chrono::seconds(3)))
      ended = kill(session.Pid(), SIGTERM) == 0;
    char buffer[512];
    const int wait = idleMs >= 0 && !ended ? 20 : int(left.count());
    const ssize_t got = poll(&p, 1, wait) > 0 ? read(out[0], buffer, sizeof buffer) : 0;
    if (got <= 0 && p.revents == 0)
      continue;
    if (got <= 0)
      break;   // the session is gone
    said.append(buffer, std::size_t(got));
    for (std::size_t eol; (eol = said.find('\n')) != std::string::npos; said.erase(0, eol + 1)) {
      const std::string what = said.substr(0, eol);
      if (what.starts_with("logging ") || what.starts_with("ready ")) {
        const std::string& part = Parts[what.starts_with("ready ")];
        EXPECT_TRUE(line.Send(part));
        run.Carried += what.ends_with(" open") ? part : "";   // else the line carries it to nobody
      } else if (what.starts_with("box ")) {
        run.Boxes = true;
      } else if (what.starts_with("idle_cpu_ms ")) {
        idleMs = std::stol(what.substr(12));
        idleAt = std::chrono::steady_clock::now();
      }
    }
  }
  close(out[0]);
  const std::string how = session.Wait(hung ? 0 : LimitMs);

  const std::string stderrText = FileText(errors);
  run.Fired = stderrText.find(FaultFiredLine) != std::string::npos;
  const auto fail = [&](const std::string& what) { run.Failed.push_back(what); };
  if (how != "exit " + std::to_string(128 + SIGTERM))   // SIGTERM's
    fail(how == "hung" ? "hung: no end within " + std::to_string(LimitMs / 1000) + " s, killed" : "ended: " + how);
  if (const std::size_t report = stderrText.find("Sanitizer"); report != std::string::npos)
    fail("sanitizer: " + stderrText.substr(report, 400));
  if (!hung && idleMs < 0)
    fail("the script did not finish");
  if (idleMs > IdleCpuMs)
    fail("busy when idle: " + std::to_string(idleMs) + " ms of CPU in 500 ms");
  run.Stored = store.Stored();
  if (run.Stored.contains("integrity"))
    fail("store: the integrity check says " + run.Stored["integrity"]);
  else if (run.Stored != old && newer && run.Stored != *newer)
    fail("store: a mix of old and new values");
  run.Log = FileText(log);
  const std::size_t same = std::size_t(
    std::mismatch(run.Log.begin(), run.Log.end(), run.Carried.begin(), run.Carried.end()).first - run.Log.begin());
  if (same < run.Log.size())
    fail("the log is not a prefix of what the line carried: " + std::to_string(run.Log.size()) + " bytes of " +
         std::to_string(run.Carried.size()) + ", the first " + std::to_string(same) + " right");
  else if (run.Log.size() < run.Carried.size() && !run.Boxes)
    fail("reception ended without a word: the log holds " + std::to_string(run.Log.size()) + " of " +
         std::to_string(run.Carried.size()) + " bytes");
  for (const auto& entry : std::filesystem::directory_iterator(store.LockDir()))
    if (entry.path().filename().string().starts_with("LCK.."))
      fail("lock file left: " + entry.path().filename().string());
  return run;
}

TEST(KalvixFaultLoop, NoFaultCrashesHangsMixesTheStoreCutsTheLogOrLeavesALockFile)
{
  // Without a fault the script runs whole: Setup's values stored, everything fed logged. So the
  // checks below can fail.
  const TRun clean = RunOnce(nullptr, 0, nullptr);
  EXPECT_TRUE(clean.Failed.empty()) << clean.Failed.front();
  EXPECT_EQ(std::vector({clean.Stored.at("Baudrate"), clean.Stored.at("Parity"), clean.Stored.at("Linelength"),
                         clean.Stored.at("Delaytime")}),
            std::vector({"S38400\0\0"s, "Sodd\0\0\0"s, "D\x28\0\0\0"s, "D\x05\0\0\0"s}));   // 40, 5
  EXPECT_EQ(clean.Log, Parts[0] + Parts[1]);
  EXPECT_FALSE(clean.Boxes || clean.Fired);

  const char* selected = std::getenv("KALVIX_FAULTS");
  const bool whole = selected && std::strcmp(selected, "all") == 0;
  for (const TRow& row : Table) {
    const long last = whole ? MaxN : row.Slice;
    long runs = 0, fired = 0, held = 0;
    std::string failures;   // the row's first, and its N: the log holds every one
    bool stillFiring = false;
    for (long n = 1; n <= last; ++n) {
      SCOPED_TRACE(row.Function + " "s + strerrorname_np(row.Error) + " " + row.Path + ", call " + std::to_string(n));
      const TRun run = RunOnce(&row, n, &clean.Stored);
      ++runs;
      fired += run.Fired;
      held += run.Failed.empty();
      for (const std::string& what : run.Failed)
        ADD_FAILURE() << what;
      if (failures.empty() && !run.Failed.empty())
        failures = "at N = " + std::to_string(n) + ": " + run.Failed.front().substr(0, 240);
      stillFiring = run.Fired;
      if (!run.Fired)
        break;
    }
    if (whole && stillFiring)
      failures += (failures.empty() ? "" : "; ") + "still firing at N = "s + std::to_string(MaxN);
    std::erase_if(failures, [](char c) { return c == '\t' || c == '\n'; });
    std::printf("fault-row\t%s\t%s\t%s\t%ld\t%ld\t%ld\t%s\n", row.Function, strerrorname_np(row.Error), row.Path, runs,
                fired, held, failures.c_str());
    std::fflush(stdout);
  }
}

}   // namespace
