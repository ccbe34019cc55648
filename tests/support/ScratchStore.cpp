#include "tests/support/ScratchStore.h"

#include "platform/Registry.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

TScratchStore::TScratchStore()
{
  char pattern[] = "/tmp/kalvix-test-XXXXXX";
  if (!mkdtemp(pattern))
    throw std::runtime_error("mkdtemp failed");
  RootDir = pattern;
  for (const auto& [name, value] : {std::pair<const char*, std::string>("XDG_CONFIG_HOME", RootDir),
                                    {"KALVIX_LOCK_DIR", LockDir()},
                                    {"KALVIX_CONSOLE_LIST", ConsoleList()}}) {
    const char* old = std::getenv(name);
    SavedEnvironment.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
  }
  std::filesystem::create_directories(StoreDir() + "/ports");
  std::filesystem::create_directories(LockDir());
  std::ofstream {ConsoleList()};
  for (int n = 1; n <= 4; ++n)
    LinkPort(n, RootDir + "/no-such-device");
}

TScratchStore::~TScratchStore()
{
  std::error_code ec;
  std::filesystem::permissions(StoreDir(), std::filesystem::perms::owner_all, ec);
  std::filesystem::remove_all(RootDir, ec);
  for (const auto& [name, old] : SavedEnvironment)
    old ? setenv(name.c_str(), old->c_str(), 1) : unsetenv(name.c_str());
}

void TScratchStore::LinkPort(int n, const std::string& target) const
{
  const std::string link = StoreDir() + "/ports/COM" + std::to_string(n);
  std::filesystem::remove(link);
  std::filesystem::create_symlink(target, link);
}

std::map<std::string, std::string> TScratchStore::Stored() const
{
  sqlite3* db = nullptr;
  sqlite3_stmt* s = nullptr;
  const auto column = [&](int i) {
    return std::string(static_cast<const char*>(sqlite3_column_blob(s, i)), std::size_t(sqlite3_column_bytes(s, i)));
  };
  std::map<std::string, std::string> values {{"integrity", "cannot be opened"}};
  if (sqlite3_open_v2(DatabasePath().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK) {
    values["integrity"] = sqlite3_step(s) == SQLITE_ROW ? column(0) : "no answer";
    sqlite3_finalize(s);
    sqlite3_prepare_v2(db, "SELECT name, type, data FROM registry_values WHERE path = ?1", -1, &s, nullptr);
    sqlite3_bind_text(s, 1, "HKEY_LOCAL_MACHINE\\Software\\Kalvix", -1, SQLITE_STATIC);
    while (values["integrity"] == "ok" && sqlite3_step(s) == SQLITE_ROW) {
      // Appended, not a literal + a temporary: GCC 12 at -O3 sees a false overlap in the latter.
      std::string value(1, sqlite3_column_int(s, 1) == REG_SZ ? 'S' : 'D');
      values[column(0)] = value.append(column(2));
    }
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  if (values["integrity"] == "ok")
    values.erase("integrity");
  return values;
}

void TScratchStore::Refuse(const std::string& name, const std::string& why) const
{
  sqlite3* db = nullptr;
  sqlite3_open(DatabasePath().c_str(), &db);
  const std::string trigger = "CREATE TRIGGER refuse BEFORE INSERT ON registry_values WHEN NEW.name = '" + name +
                              "' BEGIN SELECT RAISE(ABORT, '" + why + "'); END";
  sqlite3_exec(db, trigger.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

std::string FileText(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

void PutFile(const std::string& path, const std::string& bytes, std::time_t mtime)
{
  std::ofstream(path, std::ios::binary) << bytes;
  const timespec times[2] = {{mtime, 0}, {mtime, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string Bytes(std::size_t n, int seed)
{
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = char(i * 31 + i / 256 + std::size_t(seed));
  return s;
}

TPty::TPty()
{
  if (openpty(&MasterFd, &SlaveFd, nullptr, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  // Raw from the driver's defaults, so the control characters (XON, XOFF) keep their values.
  termios raw {};
  tcgetattr(SlaveFd, &raw);
  cfmakeraw(&raw);
  tcsetattr(SlaveFd, TCSANOW, &raw);
  tcsetattr(MasterFd, TCSANOW, &raw);
  Path = ttyname(SlaveFd);
}

TPty::~TPty()
{
  CloseMaster();
  close(SlaveFd);
}

bool TPty::Send(const std::string& data) const
{
  for (std::size_t done = 0; done < data.size();) {
    const ssize_t n = write(MasterFd, data.data() + done, data.size() - done);
    if (n > 0)
      done += std::size_t(n);
    else if (n == 0 || errno != EINTR)
      return false;
  }
  return true;
}

std::string ReadUntilQuiet(int fd, std::size_t want, int quietMs)
{
  std::string got;
  char buffer[4096];
  for (pollfd p {fd, POLLIN, 0}; got.size() < want && poll(&p, 1, quietMs) > 0;) {
    const ssize_t n = read(fd, buffer, std::min(sizeof buffer, want - got.size()));
    if (n <= 0)
      break;
    got.append(buffer, std::size_t(n));
  }
  return got;
}

void TPty::CloseMaster()
{
  close(std::exchange(MasterFd, -1));   // once: -1 is no descriptor
}
