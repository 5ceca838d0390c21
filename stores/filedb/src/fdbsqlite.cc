// Opening the database, preparing and running statements, transactions.
//
// Settings of every connection: write-ahead journal (readers never wait for a
// writer), synchronous=FULL (a committed change survives a power loss, not
// only a killed process; commits are rare operator actions, so the one sync
// per commit costs little), foreign keys on, and a busy time-out so that
// parallel requests queue for the write lock instead of failing.
#include "fdbsqlite.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "zaerror.h"
#include "zastorelimits.h"

static const char kSource[] = "stores/filedb/src/fdbsqlite";

// How long a request waits for another one's write before it gives up.
static const int kBusyMilliseconds = 10000;

namespace {

bool Unreachable(int code) {
  switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_READONLY:
    case SQLITE_FULL:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return true;
  }
  return false;
}

// Makes the database file with the mode the store wants, which SQLite then
// gives its journal files as well, whatever the umask.
void CreateFile(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (errno == EEXIST) return;
    ZaStoreFail(__LINE__, kSource, "Unable to create the database " + path, 3);
  }
  bool ok = fchmod(fd, 0600) == 0;
  close(fd);
  if (!ok) ZaStoreFail(__LINE__, kSource, "Unable to set the mode of the database " + path, 3);
}

std::unordered_map<std::string, std::weak_ptr<FdbDatabase>>& OpenDatabases() {
  static std::unordered_map<std::string, std::weak_ptr<FdbDatabase>> open;
  return open;
}

}  // namespace

std::shared_ptr<FdbDatabase> FdbDatabase::Open(const std::string& path, bool create) {
  std::shared_ptr<FdbDatabase> shared = OpenDatabases()[path].lock();
  if (shared) return shared;
  struct stat st;
  if (create) {
    CreateFile(path);
  } else if (stat(path.c_str(), &st) != 0) {
    ZaStoreFail(__LINE__, kSource, "No database at " + path, 3);
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string why = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    ZaStoreFail(__LINE__, kSource, "Unable to open the database " + path + ": " + why, 3);
  }
  shared.reset(new FdbDatabase(path, db));
  sqlite3_busy_timeout(db, kBusyMilliseconds);
  sqlite3_extended_result_codes(db, 1);
  shared->Execute("PRAGMA foreign_keys = ON");
  shared->Execute("PRAGMA synchronous = FULL");
  // Reading the journal mode reads the file: a damaged one fails here.
  FdbQuery wal(*shared, "PRAGMA journal_mode = WAL");
  if (!wal.Next() || wal.Text(0) != "wal")
    ZaStoreFail(__LINE__, kSource, "The database " + path + " cannot use a write-ahead journal", 3);
  OpenDatabases()[path] = shared;
  return shared;
}

FdbDatabase::FdbDatabase(const std::string& p, sqlite3* handle) : path(p), db(handle) {}

FdbDatabase::~FdbDatabase() {
  for (auto& s : statements) sqlite3_finalize(s.second);
  sqlite3_close(db);
}

sqlite3_stmt* FdbDatabase::Statement(const char* sql) {
  auto it = statements.find(sql);
  if (it != statements.end()) return it->second;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc, std::string("preparing ") + sql);
  statements[sql] = stmt;
  return stmt;
}

void FdbDatabase::Execute(const char* sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
  sqlite3_free(message);
  if (rc != SQLITE_OK) Fail(rc, sql);
}

void FdbDatabase::Fail(int code, const std::string& what) {
  std::string message = "SQLite error " + std::to_string(code) + " (" + sqlite3_errstr(code) + ") in " +
                        path + " while " + what;
  ZaStoreFail(__LINE__, kSource, message, Unreachable(code) ? 3 : 2);
}

FdbQuery::FdbQuery(FdbDatabase& database, const char* text) : db(database), stmt(database.Statement(text)), sql(text) {}

FdbQuery::~FdbQuery() {
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
}

int FdbQuery::NextIndex() {
  std::string name = "$" + std::to_string(++bound);
  int index = sqlite3_bind_parameter_index(stmt, name.c_str());
  if (index == 0) ZaStoreFail(__LINE__, kSource, "No parameter " + name + " in " + sql);
  return index;
}

FdbQuery& FdbQuery::Bind(const std::string& text) {
  int rc = sqlite3_bind_text(stmt, NextIndex(), text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) db.Fail(rc, std::string("binding ") + sql);
  return *this;
}

FdbQuery& FdbQuery::Bind(long long number) {
  int rc = sqlite3_bind_int64(stmt, NextIndex(), number);
  if (rc != SQLITE_OK) db.Fail(rc, std::string("binding ") + sql);
  return *this;
}

bool FdbQuery::Next() {
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  db.Fail(rc, std::string("running ") + sql);
}

void FdbQuery::Run() {
  while (Next()) {
  }
}

int FdbQuery::Changes() const { return sqlite3_changes(sqlite3_db_handle(stmt)); }

std::string FdbQuery::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt, column);
  return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(stmt, column)) : "";
}

long long FdbQuery::Number(int column) const { return sqlite3_column_int64(stmt, column); }

FdbTransaction::FdbTransaction(FdbDatabase& database, bool write) : db(database) {
  if (db.depth++ > 0) return;
  try {
    db.Execute(write ? "BEGIN IMMEDIATE" : "BEGIN");
  } catch (...) {
    --db.depth;
    throw;
  }
}

void FdbTransaction::Commit() {
  done = true;
  if (--db.depth > 0) return;
  try {
    db.Execute("COMMIT");
  } catch (ZaError*) {
    sqlite3_exec(db.db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

FdbTransaction::~FdbTransaction() {
  if (done) return;
  if (--db.depth > 0) return;
  sqlite3_exec(db.db, "ROLLBACK", nullptr, nullptr, nullptr);
}
