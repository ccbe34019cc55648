#include "platform/Registry.h"

#include "platform/StoreDirectory.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <cstring>
#include <memory>
#include <string>

struct TRegistryKey {
  std::string Path;   // hive name, then the key names, separated by backslashes
  bool Predefined;
};

namespace {

TRegistryKey ClassesRoot {"HKEY_CLASSES_ROOT", true};
TRegistryKey LocalMachine {"HKEY_LOCAL_MACHINE", true};

// A lock held by another process is waited for this long, then the call fails.
constexpr int BusyTimeoutMs = 250;

bool IsHive(const std::string& path)
{
  return path.find('\\') == std::string::npos;
}

std::string Parent(const std::string& path)
{
  return path.substr(0, path.rfind('\\'));
}

// Appends the key names of subKey (separated by backslashes, empty names skipped) to base.
std::string Join(const std::string& base, const char* subKey)
{
  std::string path = base;
  const char* p = subKey ? subKey : "";
  while (*p) {
    const char* end = std::strchr(p, '\\');
    const std::size_t len = end ? std::size_t(end - p) : std::strlen(p);
    if (len > 0)
      path.append("\\").append(p, len);
    p += len;
    if (*p)
      ++p;
  }
  return path;
}

class TStatement {
public:
  TStatement(sqlite3* db, const char* sql) { Ok = sqlite3_prepare_v2(db, sql, -1, &Stmt, nullptr) == SQLITE_OK; }
  ~TStatement() { sqlite3_finalize(Stmt); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  TStatement& Bind(int i, const std::string& text)
  {
    Ok = Ok && sqlite3_bind_text(Stmt, i, text.data(), int(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return *this;
  }
  TStatement& Bind(int i, std::int64_t v)
  {
    Ok = Ok && sqlite3_bind_int64(Stmt, i, v) == SQLITE_OK;
    return *this;
  }
  TStatement& BindBlob(int i, const std::uint8_t* data, std::uint32_t size)
  {
    // A zero-length blob must still be a blob, not NULL.
    Ok = Ok && sqlite3_bind_blob(Stmt, i, size ? static_cast<const void*>(data) : "", int(size), SQLITE_TRANSIENT) ==
                 SQLITE_OK;
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE, or an error code.
  int Step() { return Ok ? sqlite3_step(Stmt) : SQLITE_ERROR; }
  sqlite3_stmt* Get() const { return Stmt; }

private:
  sqlite3_stmt* Stmt = nullptr;
  bool Ok;
};

class TStore {
public:
  explicit TStore(bool write, int lockWaitMs = BusyTimeoutMs)
  {
    const std::string dir = StoreDirectory();
    const std::string file = dir + "/" + RegistryFileName();
    // Anything but a plain file (a FIFO would block the first read for ever) is no store.
    struct stat st {};
    if ((write && !MakeDirectories(dir)) || (stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode))) {
      Failure = sqlite3_errstr(SQLITE_CANTOPEN);
      return;
    }
    const int flags = write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(file.c_str(), &Db, flags | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
      sqlite3_busy_timeout(Db, lockWaitMs);
      Ok = Exec(write ? "BEGIN IMMEDIATE" : "BEGIN");
    }
    if (Ok && write)
      Ok = Exec("CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY COLLATE NOCASE,"
                " parent TEXT NOT NULL COLLATE NOCASE);"
                "CREATE INDEX IF NOT EXISTS keys_parent ON keys(parent);"
                "CREATE TABLE IF NOT EXISTS registry_values(path TEXT NOT NULL COLLATE NOCASE,"
                " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
                " PRIMARY KEY(path, name));");
    if (!Ok)
      Fail();
  }
  ~TStore()
  {
    if (Db && !Committed)
      sqlite3_exec(Db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(Db);
  }
  TStore(const TStore&) = delete;
  TStore& operator=(const TStore&) = delete;

  bool Usable() const { return Ok; }
  sqlite3* Db = nullptr;

  bool Commit()
  {
    if (Ok && !(Committed = Exec("COMMIT")))
      Fail();
    return Committed;
  }
  // Ends the transaction with nothing stored and the store unusable, keeping the reason of the
  // first failure: SQLite's own message unless one is given.
  void Fail(const char* reason = nullptr)
  {
    if (Failure.empty())
      Failure = reason ? reason : Db ? sqlite3_errmsg(Db) : sqlite3_errstr(SQLITE_CANTOPEN);
    if (Db && !sqlite3_get_autocommit(Db))
      Exec("ROLLBACK");
    Ok = false;
  }
  std::string Failure;

  bool Exec(const char* sql) { return sqlite3_exec(Db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

  // 1 exists, 0 does not, -1 the store failed.
  int KeyExists(const std::string& path)
  {
    if (IsHive(path))
      return 1;
    TStatement s(Db, "SELECT 1 FROM keys WHERE path = ?1");
    const int r = s.Bind(1, path).Step();
    return r == SQLITE_ROW ? 1 : r == SQLITE_DONE ? 0 : -1;
  }

  bool CreateKey(const std::string& path)
  {
    if (IsHive(path))
      return true;
    const int exists = KeyExists(path);
    if (exists != 0)
      return exists == 1;
    if (!CreateKey(Parent(path)))
      return false;
    TStatement s(Db, "INSERT INTO keys(path, parent) VALUES(?1, ?2)");
    return s.Bind(1, path).Bind(2, Parent(path)).Step() == SQLITE_DONE;
  }

  bool SetValue(const std::string& path, const char* name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size)
  {
    TStatement s(Db, "INSERT OR REPLACE INTO registry_values(path, name, type, data) VALUES(?1, ?2, ?3, ?4)");
    return s.Bind(1, path)
             .Bind(2, std::string(name ? name : ""))
             .Bind(3, std::int64_t(type))
             .BindBlob(4, data, size)
             .Step() == SQLITE_DONE;
  }

private:
  bool Ok = false;
  bool Committed = false;
};

// The store of the open TRegTransaction, if one is open.
std::unique_ptr<TStore> Transaction;

bool ValidHandle(HKEY key)
{
  return key && !key->Path.empty();
}

// The store a write goes to: the open transaction's, or one of its own kept in own.
TStore& Writer(std::unique_ptr<TStore>& own)
{
  if (Transaction)
    return *Transaction;
  own = std::make_unique<TStore>(true);
  return *own;
}

// Ends a write: a store of its own is committed; a failure ends the store's transaction, so
// that inside a TRegTransaction every write before it is undone as well.
LONG Finish(TStore& store, bool own, LONG result, const char* reason = nullptr)
{
  if (result == ERROR_SUCCESS && own && !store.Commit())
    result = ERROR_REGISTRY_IO_FAILED;
  if (result != ERROR_SUCCESS)
    store.Fail(reason);
  return result;
}

LONG SetValueIn(const std::string& path, const char* name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size)
{
  std::unique_ptr<TStore> own;
  TStore& store = Writer(own);
  if (!store.Usable())
    return ERROR_REGISTRY_IO_FAILED;
  const int exists = store.KeyExists(path);
  if (exists <= 0)
    return Finish(store, bool(own), exists < 0 ? ERROR_REGISTRY_IO_FAILED : ERROR_KEY_DELETED,
                  exists < 0 ? nullptr : "the key has been deleted");
  return Finish(store, bool(own),
                store.SetValue(path, name, type, data, size) ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED);
}

}   // namespace

const HKEY HKEY_CLASSES_ROOT = &ClassesRoot;
const HKEY HKEY_LOCAL_MACHINE = &LocalMachine;

const char* RegistryFileName()
{
  return "registry.db";
}

TRegTransaction::TRegTransaction(int lockWaitMs)
{
  Outermost = !Transaction;
  if (Outermost)
    Transaction = std::make_unique<TStore>(true, lockWaitMs);
}

TRegTransaction::~TRegTransaction()
{
  if (Outermost)
    Transaction.reset();   // what was not committed is rolled back
}

bool TRegTransaction::Commit()
{
  if (!Transaction)
    return false;   // committed already
  const bool stored = Outermost ? Transaction->Commit() : Transaction->Usable();
  Failure = Transaction->Failure;
  if (Outermost)
    Transaction.reset();
  return stored;
}

LONG RegCreateKeyEx(HKEY parent, const char* subKey, HKEY* result)
{
  if (!ValidHandle(parent) || !result)
    return ERROR_INVALID_HANDLE;
  *result = nullptr;
  const std::string path = Join(parent->Path, subKey);
  std::unique_ptr<TStore> own;
  TStore& store = Writer(own);
  if (!store.Usable())
    return ERROR_REGISTRY_IO_FAILED;
  if (const LONG r = Finish(store, bool(own), store.CreateKey(path) ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED);
      r != ERROR_SUCCESS)
    return r;
  *result = new TRegistryKey {path, false};
  return ERROR_SUCCESS;
}

LONG RegOpenKeyEx(HKEY parent, const char* subKey, HKEY* result)
{
  if (!ValidHandle(parent) || !result)
    return ERROR_INVALID_HANDLE;
  *result = nullptr;
  const std::string path = Join(parent->Path, subKey);
  TStore store(false);
  if (!store.Usable())
    return ERROR_FILE_NOT_FOUND;
  const int exists = store.KeyExists(path);
  if (exists < 0)
    return ERROR_REGISTRY_IO_FAILED;
  if (exists == 0)
    return ERROR_FILE_NOT_FOUND;
  *result = new TRegistryKey {path, false};
  return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, const char* name, std::uint32_t* type, std::uint8_t* data, std::uint32_t* size)
{
  if (!ValidHandle(key))
    return ERROR_INVALID_HANDLE;
  if (data && !size)
    return ERROR_INVALID_PARAMETER;
  TStore store(false);
  if (!store.Usable())
    return ERROR_FILE_NOT_FOUND;
  TStatement s(store.Db, "SELECT type, data FROM registry_values WHERE path = ?1 AND name = ?2");
  const int r = s.Bind(1, key->Path).Bind(2, std::string(name ? name : "")).Step();
  if (r == SQLITE_DONE)
    return ERROR_FILE_NOT_FOUND;
  if (r != SQLITE_ROW)
    return ERROR_REGISTRY_IO_FAILED;
  const auto* blob = static_cast<const std::uint8_t*>(sqlite3_column_blob(s.Get(), 1));
  const int bytes = sqlite3_column_bytes(s.Get(), 1);
  if (bytes < 0)
    return ERROR_REGISTRY_IO_FAILED;
  const std::uint32_t valueSize = std::uint32_t(bytes);
  if (type)
    *type = std::uint32_t(sqlite3_column_int64(s.Get(), 0));
  const std::uint32_t room = size ? *size : 0;
  if (size)
    *size = valueSize;
  if (!data)
    return ERROR_SUCCESS;
  if (valueSize > room)
    return ERROR_MORE_DATA;
  if (valueSize > 0)
    std::memcpy(data, blob, valueSize);
  return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY key, const char* name, std::uint32_t type, const std::uint8_t* data, std::uint32_t size)
{
  if (!ValidHandle(key))
    return ERROR_INVALID_HANDLE;
  if (!data && size > 0)
    return ERROR_INVALID_PARAMETER;
  return SetValueIn(key->Path, name, type, data, size);
}

LONG RegSetValue(HKEY key, const char* subKey, std::uint32_t type, const char* data, std::uint32_t)
{
  if (!ValidHandle(key))
    return ERROR_INVALID_HANDLE;
  if (type != REG_SZ || !data)
    return ERROR_INVALID_PARAMETER;
  std::string path = key->Path;
  if (subKey && *subKey) {
    HKEY sub = nullptr;
    if (const LONG r = RegCreateKeyEx(key, subKey, &sub); r != ERROR_SUCCESS)
      return r;
    path = sub->Path;
    RegCloseKey(sub);
  }
  return SetValueIn(path, nullptr, REG_SZ, reinterpret_cast<const std::uint8_t*>(data),
                    std::uint32_t(std::strlen(data) + 1));
}

LONG RegDeleteKey(HKEY key, const char* subKey)
{
  if (!ValidHandle(key))
    return ERROR_INVALID_HANDLE;
  const std::string path = Join(key->Path, subKey);
  if (path == key->Path)
    return ERROR_INVALID_PARAMETER;
  TStore store(true);
  if (!store.Usable())
    return ERROR_REGISTRY_IO_FAILED;
  const int exists = store.KeyExists(path);
  if (exists < 0)
    return ERROR_REGISTRY_IO_FAILED;
  if (exists == 0)
    return ERROR_FILE_NOT_FOUND;
  TStatement children(store.Db, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
  const int r = children.Bind(1, path).Step();
  if (r == SQLITE_ROW)
    return ERROR_ACCESS_DENIED;
  if (r != SQLITE_DONE)
    return ERROR_REGISTRY_IO_FAILED;
  TStatement values(store.Db, "DELETE FROM registry_values WHERE path = ?1");
  TStatement self(store.Db, "DELETE FROM keys WHERE path = ?1");
  if (values.Bind(1, path).Step() != SQLITE_DONE || self.Bind(1, path).Step() != SQLITE_DONE || !store.Commit())
    return ERROR_REGISTRY_IO_FAILED;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
  if (!ValidHandle(key))
    return ERROR_INVALID_HANDLE;
  if (!key->Predefined)
    delete key;
  return ERROR_SUCCESS;
}
