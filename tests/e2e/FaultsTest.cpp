// The whole program against what goes wrong around it: an adapter unplugged and plugged in
// again, a port another program holds, a store that is corrupt, unwritable or locked, command
// files that are huge, binary or unreadable, and a line that never takes what is written to it.
#include "tests/e2e/Session.h"

#include "framework/TRegKey.h"
#include "tests/support/NullModem.h"

#include <QElapsedTimer>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <functional>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr const char* PortUnavailable =
  "Configured COM Port is already uses by an other appication\nor is not available!\nUse setup to select an other one!";

// Another program holding a device: a child process that opens it and takes its lock.
class TPortHolder {
public:
  explicit TPortHolder(const std::string& path)
  {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0)
      return;
    Child = fork();
    if (Child == 0) {
      // Nothing of the test's own descriptors (the program's port among them) stays open here.
      for (int fd = 3; fd < 1024; ++fd)
        if (fd != ready[1] && fd != release[0])
          close(fd);
      const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
      (void)!write(ready[1], &ok, 1);
      char c;
      (void)!read(release[0], &c, 1);   // until the test lets go
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char ok = 0;
    Holding = Child > 0 && read(ready[0], &ok, 1) == 1 && ok == 1;
    close(ready[0]);
    ReleaseFd = release[1];
  }
  ~TPortHolder() { Release(); }
  void Release()
  {
    if (ReleaseFd >= 0)
      close(ReleaseFd);
    ReleaseFd = -1;
    if (Child > 0)
      waitpid(Child, nullptr, 0);
    Child = -1;
  }
  bool Holding = false;

private:
  pid_t Child = -1;
  int ReleaseFd = -1;
};

// Marks a file immutable, which stops root from writing it too; undone on destruction.
class TImmutable {
public:
  explicit TImmutable(const std::string& path) : Fd(open(path.c_str(), O_RDONLY)) { Applied = Fd >= 0 && Change(true); }
  ~TImmutable()
  {
    if (Applied)
      Change(false);
    if (Fd >= 0)
      close(Fd);
  }
  void Lift()
  {
    if (Applied)
      Change(false);
    Applied = false;
  }
  bool Applied = false;

private:
  bool Change(bool on)
  {
    int flags = 0;
    if (ioctl(Fd, FS_IOC_GETFLAGS, &flags) != 0)
      return false;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    return ioctl(Fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  int Fd;
};

std::string FileBytes(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class KalvixFaults : public KalvixSession {
protected:
  // The settings any start shows when nothing could be read.
  void ExpectDefaults()
  {
    const TComSetupXfer& s = Client().Settings();
    EXPECT_EQ(s.PortData.GetSelection(), "COM 1");
    EXPECT_EQ(s.BaudRateData.GetSelection(), "9600");
    EXPECT_EQ(s.ParityData.GetSelection(), "even");
    EXPECT_EQ(s.HandshakeData.GetSelection(), "Hardware");
  }
  // Setup with another baud rate and OK. How long a start or a save takes on a store that
  // cannot be used is measured in bench/ (store_faults).
  void SaveBaudRate(const char* baud)
  {
    Setup([&](QDialog& d) {
      Choose(d, IDC_BAUDRATE, baud);
      Click(d, IDOK);
    });
  }
  // The loopback port still carries what is sent: the program lives on.
  void ExpectWorkingLine()
  {
    Menu("&Clear")->trigger();
    Send("5A");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "5A,"; }, 2000)) << Received();
    EXPECT_TRUE(QTest::qWaitFor([&] { return SendShown(); }, 2000));
  }
  static void StoreBaudRate(const char* text)
  {
    const TRegKey key(HKEY_LOCAL_MACHINE, "Software\\Kalvix");
    char value[7] = {};
    std::snprintf(value, sizeof value, "%s", text);
    ASSERT_EQ(key.SetValue("Baudrate", REG_SZ, reinterpret_cast<const std::uint8_t*>(value), sizeof value),
              ERROR_SUCCESS);
  }
  static std::string Baud(const char* text) { return std::string(text) + std::string(7 - std::strlen(text), '\0'); }
};

TEST_F(KalvixFaults, AnAdapterUnpluggedAndPluggedInAgainIsTakenUpWithItsSettingsWithoutSetup)
{
  auto line = std::make_unique<TPty>();
  auto cable = std::make_unique<TNullModem>(*line);
  Store.LinkPort(1, line->SlavePath());
  Start();
  Setup([](QDialog& d) {
    Choose(d, IDC_DATABITS, "7 Bit");
    Choose(d, IDC_PARITY, "odd");
    Choose(d, IDC_HANDSHAKE, "no");
    Check(d, IDC_SETDTR, true);
    Check(d, IDC_SETRTS, false);
    Click(d, IDOK);
  });
  // A text log runs throughout, and is written while it runs.
  const std::string log = Store.Root() + "/line.log";
  Presenter.FileAnswer = log;
  Presenter.FilterAnswer = 2;
  Menu("&File", "&Log to File...")->trigger();
  ASSERT_TRUE(line->Send("\x31"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Received() == "31,"; }, 2000)) << Received();
  const auto logged = [&] {
    std::ostringstream text;
    text << std::ifstream(log).rdbuf();
    // Without the times: 24 characters at the start of each line.
    std::string lines;
    std::istringstream in(text.str());
    for (std::string line; std::getline(in, line);)
      lines += line.substr(std::min<std::size_t>(24, line.size())) + (in.eof() ? "" : "\n");
    return lines;
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return logged() == "--- binary mode ---\n31,"; }, 2000)) << logged();
  const auto inputLamps = [&] { return std::vector<int> {Lamp(IDC_LED_DSR), Lamp(IDC_LED_DCD), Lamp(IDC_LED_CTS)}; };
  EXPECT_TRUE(QTest::qWaitFor([&] { return inputLamps() == std::vector<int>(3, TLed::LedGreen); }, 2000));

  // Unplugged: what arrived stays, the input lamps go dark, a send fails silently and ends.
  line->CloseMaster();
  EXPECT_TRUE(QTest::qWaitFor([&] { return inputLamps() == std::vector<int>(3, TLed::LedOff); }, 2000));
  Send("41,42");
  EXPECT_TRUE(QTest::qWaitFor([&] { return SendShown(); }, 2000));
  cable.reset();
  line.reset();
  QTest::qWait(300);
  EXPECT_EQ(Received(), "31,");

  // Plugged in again under the same name: taken up with its settings and lines, no Setup.
  TPty back;
  TNullModem backCable(back);
  QElapsedTimer clock;
  clock.start();
  Store.LinkPort(1, back.SlavePath());
  ASSERT_TRUE(QTest::qWaitFor([&] { return backCable.Sees() == (TIOCM_DSR | TIOCM_CAR); }, 5000))
    << "DTR up and RTS down, as set";
  std::printf("taken up again %lld ms after the device came back\n", static_cast<long long>(clock.elapsed()));
  EXPECT_EQ(backCable.Cflag() & (CSIZE | PARENB | PARODD), std::uint32_t(CS7 | PARENB | PARODD));
  ASSERT_TRUE(back.Send("\x32"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "31,32,"; }, 2000)) << Received();
  EXPECT_TRUE(QTest::qWaitFor([&] { return inputLamps() == std::vector<int>(3, TLed::LedGreen); }, 2000));
  Send("43");
  EXPECT_EQ(Collect(back, 1, 2000), "C");
  EXPECT_TRUE(Presenter.Boxes.empty());
  // The log carried on in the same line of the same file; Exit ends it on a whole line.
  EXPECT_TRUE(Menu("&File", "Stop &Logging")->isChecked());
  Exit();
  EXPECT_EQ(logged(), "--- binary mode ---\n31,32,\n");
}

TEST_F(KalvixFaults, APortHeldByAnotherProgramAtStartOrAtSetupIsReportedAndTakenOnceFree)
{
  TPty first;
  Store.LinkPort(1, first.SlavePath());
  TPortHolder holder(first.SlavePath());
  ASSERT_TRUE(holder.Holding);
  Start();
  ASSERT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_EQ(Presenter.Boxes[0].Text, PortUnavailable);
  EXPECT_FALSE(SendEnabled());
  ASSERT_TRUE(first.Send("\x01"));
  QTest::qWait(300);
  EXPECT_EQ(Received(), "");   // nothing polls a port that is not ours

  holder.Release();
  SetupOk();
  EXPECT_EQ(Presenter.Boxes.size(), 1u);
  EXPECT_TRUE(SendEnabled());
  ASSERT_TRUE(first.Send("\x02"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Received() == "02,"; }, 2000)) << Received();

  TPty second;
  Store.LinkPort(2, second.SlavePath());
  TPortHolder other(second.SlavePath());
  ASSERT_TRUE(other.Holding);
  Setup([](QDialog& d) {
    Choose(d, IDC_PORT, "COM 2");
    Click(d, IDOK);
  });
  ASSERT_EQ(Presenter.Boxes.size(), 2u);
  EXPECT_EQ(Presenter.Boxes[1].Text, PortUnavailable);
  EXPECT_FALSE(SendEnabled());

  other.Release();
  SetupOk();
  EXPECT_EQ(Presenter.Boxes.size(), 2u);
  EXPECT_TRUE(SendEnabled());
  Send("44");
  EXPECT_EQ(Collect(second, 1, 2000), "D");
}

TEST_F(KalvixFaults, ACorruptStoreGivesDefaultsIsLeftAloneAndASaveWorksOnceItIsGone)
{
  Store.LinkPort(1, "loopback");
  std::string garbage;
  for (int i = 0; i < 300; ++i)
    garbage += "this is no database\n";
  std::ofstream(Store.DatabasePath(), std::ios::binary) << garbage;

  Start();
  ExpectDefaults();
  ExpectWorkingLine();
  SaveBaudRate("38400");
  EXPECT_EQ(FileBytes(Store.DatabasePath()), garbage);
  EXPECT_TRUE(Presenter.Boxes.empty());   // store failures pass silently

  std::filesystem::remove(Store.DatabasePath());
  SaveBaudRate("57600");
  EXPECT_EQ(Stored()["Baudrate"], Baud("57600"));
  ExpectWorkingLine();
}

TEST_F(KalvixFaults, AStoreThatIsNoFileGivesDefaultsAndASaveWorksOnceItIsOne)
{
  Store.LinkPort(1, "loopback");
  // A directory cannot be opened as a database at all; a FIFO can, and then reads from it
  // wait for a writer that never comes.
  for (const bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "FIFO" : "directory");
    std::filesystem::remove_all(Store.DatabasePath());
    if (fifo)
      ASSERT_EQ(mkfifo(Store.DatabasePath().c_str(), 0600), 0);
    else
      std::filesystem::create_directory(Store.DatabasePath());
    // Removing the program's entries only reads the store until it finds them.
    Start(true);
    Exit();
    Start();
    ExpectDefaults();
    ExpectWorkingLine();
    SaveBaudRate("38400");
    EXPECT_TRUE(Presenter.Boxes.empty());

    std::filesystem::remove_all(Store.DatabasePath());
    SaveBaudRate("57600");
    EXPECT_EQ(Stored()["Baudrate"], Baud("57600"));
    Exit();
  }
}

TEST_F(KalvixFaults, AReadOnlyStoreIsReadAndASaveIsDroppedUntilItIsWritableAgain)
{
  Store.LinkPort(1, "loopback");
  StoreBaudRate("38400");
  TImmutable readOnly(Store.DatabasePath());
  if (!readOnly.Applied)
    GTEST_SKIP() << "this file system or user cannot make a file immutable";

  Start();
  // What can be read applies; the rest takes its defaults.
  EXPECT_EQ(Client().Settings().BaudRateData.GetSelection(), "38400");
  EXPECT_EQ(Client().Settings().ParityData.GetSelection(), "even");
  ExpectWorkingLine();
  SaveBaudRate("57600");
  EXPECT_EQ(Stored()["Baudrate"], Baud("38400"));
  EXPECT_TRUE(Presenter.Boxes.empty());

  readOnly.Lift();
  SetupOk();
  EXPECT_EQ(Stored()["Baudrate"], Baud("57600"));
  EXPECT_EQ(Stored().size(), 13u);
}

TEST_F(KalvixFaults, AStoreLockedByAnotherWriterGivesDefaultsAndASaveWorksOnceItIsFree)
{
  Store.LinkPort(1, "loopback");
  StoreBaudRate("38400");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(Store.DatabasePath().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

  Start();
  ExpectDefaults();
  ExpectWorkingLine();
  SaveBaudRate("57600");
  EXPECT_TRUE(Presenter.Boxes.empty());

  ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  EXPECT_EQ(Stored()["Baudrate"], Baud("38400"));   // the locked save was dropped
  SetupOk();
  EXPECT_EQ(Stored()["Baudrate"], Baud("57600"));
}

TEST_F(KalvixFaults, HugeBinaryAndUnreadableCommandFilesNeitherHangNorBreakTheProgram)
{
  Store.LinkPort(1, "loopback");
  Start();
  const auto load = [&](const std::string& path) {
    Presenter.FileAnswer = path;
    QElapsedTimer clock;
    clock.start();
    Menu("&File", "&Open Command File...")->trigger();
    EXPECT_LT(clock.elapsed(), 30000);
    return Client().Commands().Commands.GetStrings();
  };

  // A gibibyte that takes no disk: two mebibytes of lines, then zero bytes. The list takes
  // its first 16 384 lines.
  const std::string huge = Store.Root() + "/huge.dat";
  {
    std::ofstream out(huge, std::ios::binary);
    for (int i = 0; i < 2 * 1024 * 1024 / 16; ++i)
      out << (i < 16384 ? "41,42,43,44,45\r\n" : "46,47,48,49,4A\r\n");
  }
  std::filesystem::resize_file(huge, std::uintmax_t(1) << 30);
  const std::vector<std::string> hugeList = load(huge);
  EXPECT_EQ(hugeList.size(), 16384u);
  EXPECT_EQ(hugeList.back(), "41,42,43,44,45");
  QElapsedTimer clock;
  clock.start();
  Select(int(hugeList.size()) - 1);
  EXPECT_LT(clock.elapsed(), 30000);
  EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), "41,42,43,44,45");
  ExpectWorkingLine();

  // Every byte value: CRs dropped, LFs end entries, Ctrl-Z ends the file; the rest kept as is.
  const std::string binary = Store.Root() + "/binary.dat";
  {
    std::string bytes;
    for (int round = 0; round < 4; ++round)
      for (int b = 0; b < 256; ++b)
        bytes += char(b);
    std::ofstream(binary, std::ios::binary) << bytes;
  }
  EXPECT_EQ(load(binary), (std::vector<std::string> {std::string("\0\1\2\3\4\5\6\7\x08\x09", 10),
                                                     "\x0B\x0C\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19"}));
  ExpectWorkingLine();

  // Unreadable: a directory, a FIFO nobody writes, a path that leads nowhere. Each empties
  // the list.
  const std::string directory = Store.Root() + "/folder.dat";
  std::filesystem::create_directory(directory);
  const std::string fifo = Store.Root() + "/fifo.dat";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {directory, fifo, Store.Root() + "/missing.dat"}) {
    SCOPED_TRACE(path);
    ASSERT_FALSE(load(huge).empty());
    EXPECT_TRUE(load(path).empty());
    ExpectWorkingLine();
  }
  EXPECT_TRUE(Presenter.Boxes.empty());
}

TEST_F(KalvixFaults, AWriteTheFarEndNeverTakesLeavesStopAndTheWindowWorking)
{
  TPty line;
  Store.LinkPort(1, line.SlavePath());
  Start();
  // Fill the line from our own end of it until it takes nothing more: the far end never reads.
  const auto fill = [&] {
    const int flags = fcntl(line.Slave(), F_GETFL);
    fcntl(line.Slave(), F_SETFL, flags | O_NONBLOCK);
    std::size_t filled = 0;
    const std::string block(4096, 'f');
    // The driver moves what was written on to the far end's buffer a little later, which makes
    // room again: full is when a pause brings no more room.
    for (int round = 0; round < 100; ++round) {
      std::size_t now = 0;
      for (std::size_t size : {std::size_t(4096), std::size_t(1)})
        for (int i = 0; i < 100000; ++i) {
          const ssize_t n = write(line.Slave(), block.data(), size);
          if (n <= 0)
            break;
          now += std::size_t(n);
        }
      filled += now;
      if (now == 0 && round > 0)
        break;
      usleep(50000);
    }
    fcntl(line.Slave(), F_SETFL, flags);
    return filled;
  };
  const std::size_t filled = fill();
  ASSERT_GT(filled, 0u);

  Send("41,42");
  QTest::qWait(500);
  EXPECT_TRUE(StopShown()) << "the write cannot have completed";

  // The window goes on: events are handled, the fields take input, the menu works.
  bool handled = false;
  QTimer::singleShot(0, [&] { handled = true; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return handled; }, 1000));
  QTest::keyClicks(Widget(IDC_SENDTEXT), "3");
  EXPECT_EQ(Field(IDC_SENDTEXT).GetText(), "41,423");
  Menu("Switch &Mode")->trigger();
  EXPECT_EQ(Frame().GetCaption(), "Kalvix in text mode");

  ClickStop();
  EXPECT_TRUE(SendShown());
  // A new Send waits for the stopped write, then goes out whole once the line moves again.
  Send("C");
  EXPECT_TRUE(StopShown());
  const std::string drained = Collect(line, filled + 3, 5000);
  ASSERT_EQ(drained.size(), filled + 3);
  EXPECT_EQ(drained.substr(filled), "ABC");
  EXPECT_TRUE(QTest::qWaitFor([&] { return SendShown(); }, 2000));

  // Closing the program with a write stuck in the line does not wait for the line.
  fill();
  Send("D");
  QTest::qWait(300);
  ASSERT_TRUE(StopShown());
  QElapsedTimer clock;
  clock.start();
  Exit();
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_TRUE(Presenter.Boxes.empty());
}

// The program itself in a child process, ended by a signal as kill, Ctrl-C in its shell or a
// logout would: the normal way out, with the port's lock file gone.
TEST(KalvixSignals, TermIntAndHupEndTheProgramNormallyAlsoFromADialog)
{
  TScratchStore store;
  TPty line;
  const std::string lockFile = store.LockDir() + "/LCK.." + line.SlavePath().substr(line.SlavePath().rfind('/') + 1);
  const auto waitFor = [](const std::function<bool()>& done) {
    for (int i = 0; i < 1000; ++i, usleep(20000))
      if (done())
        return true;
    return false;
  };
  // Whether the program catches SIGTERM yet, from its signal mask.
  const auto catchesTerm = [](pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("SigCgt:", 0) == 0)
        return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
    return false;
  };
  struct TCase {
    int Signal;
    bool PortThere;   // else the start shows its port-unavailable message box
  };
  for (const TCase c : {TCase {SIGTERM, true}, TCase {SIGINT, true}, TCase {SIGHUP, true}, TCase {SIGTERM, false}}) {
    SCOPED_TRACE(std::string(strsignal(c.Signal)) + (c.PortThere ? "" : ", message box open"));
    store.LinkPort(1, c.PortThere ? line.SlavePath() : store.Root() + "/gone");
    const pid_t child = fork();
    if (child == 0) {
      // As a shell starts a program in the foreground, whatever the test's own start ignores.
      for (const int s : {SIGTERM, SIGINT, SIGHUP})
        signal(s, SIG_DFL);
      execl(KALVIX_EXE, "kalvix", static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(child, 0);
    if (c.PortThere) {
      EXPECT_TRUE(waitFor([&] { return access(lockFile.c_str(), F_OK) == 0; })) << "the port was not taken";
    } else {
      EXPECT_TRUE(waitFor([&] { return catchesTerm(child); }));
      usleep(500000);   // into the message box's own loop, as a rule
    }
    kill(child, c.Signal);
    int status = 0;
    const bool ended = waitFor([&] { return waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    }
    EXPECT_TRUE(ended) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + c.Signal);
    EXPECT_NE(access(lockFile.c_str(), F_OK), 0) << "the lock file was left behind";
  }
}

}   // namespace
