// The embedded store's SQLite database: one connection per database file and
// process, shared by every store object, with its statements prepared once
// and kept for the life of the process. Every SQLite failure becomes a
// ZaError*: level 3 (the console's store-error page) when the database cannot
// be reached or is damaged, level 2 otherwise.
#ifndef FDBSQLITE_H
#define FDBSQLITE_H

#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

class FdbDatabase {
 public:
  // The connection to the database file at `path`, opened on first use;
  // with `create` the file is made (mode 0600, whatever the umask) when
  // missing. Raises a ZaError* of level 3 when it cannot be opened.
  static std::shared_ptr<FdbDatabase> Open(const std::string& path, bool create);
  ~FdbDatabase();
  FdbDatabase(const FdbDatabase&) = delete;
  FdbDatabase& operator=(const FdbDatabase&) = delete;

  const std::string& Path() const { return path; }
  // The statement for `sql`, prepared on first use (the text must live as
  // long as the process: a string constant).
  sqlite3_stmt* Statement(const char* sql);
  void Execute(const char* sql);  // runs a statement without parameters or rows
  // Raises the ZaError* for the connection's last failure, naming `what`.
  [[noreturn]] void Fail(int code, const std::string& what);
  bool InTransaction() const { return depth > 0; }

 private:
  friend class FdbTransaction;
  FdbDatabase(const std::string& path, sqlite3* db);
  std::string path;
  sqlite3* db;
  std::unordered_map<const char*, sqlite3_stmt*> statements;
  int depth = 0;  // nested transaction guards; only the outermost one commits
};

// One use of a prepared statement: bind $1, $2... in order, then step
// through the rows. The statement is reset when the query ends.
class FdbQuery {
 public:
  FdbQuery(FdbDatabase& db, const char* sql);
  ~FdbQuery();
  FdbQuery(const FdbQuery&) = delete;
  FdbQuery& operator=(const FdbQuery&) = delete;

  FdbQuery& Bind(const std::string& text);
  FdbQuery& Bind(long long number);
  bool Next();          // true while there is a row
  void Run();           // runs to the end, ignoring rows
  int Changes() const;  // rows changed by the last Run
  std::string Text(int column) const;
  long long Number(int column) const;

 private:
  int NextIndex();
  FdbDatabase& db;
  sqlite3_stmt* stmt;
  int bound = 0;
  const char* sql;
};

// A transaction for as long as the guard lives: writing ones take the write
// lock at once (so that they never fail half-way for a lock); reading ones
// see one state of the database throughout. Commit makes the changes; a guard
// destroyed without it (an error passing) rolls them back. Guards nest: only
// the outermost one acts.
class FdbTransaction {
 public:
  FdbTransaction(FdbDatabase& db, bool write);
  ~FdbTransaction();
  FdbTransaction(const FdbTransaction&) = delete;
  FdbTransaction& operator=(const FdbTransaction&) = delete;
  void Commit();

 private:
  FdbDatabase& db;
  bool done = false;
};

#endif
