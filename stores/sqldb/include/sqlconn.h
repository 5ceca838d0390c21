// SqlConnection: one libpq connection and the statements run over it. Every
// value travels as a statement parameter; only identifiers that were quoted
// with QuoteIdentifier are ever part of a statement's text.
//
// Failures raise a ZaError*: of level 3 when the server cannot be reached or
// the connection broke, of level 2 for any other refused statement.
#ifndef SQLCONN_H
#define SQLCONN_H

#include <libpq-fe.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A statement parameter: a text, or SQL NULL when empty-handed.
typedef std::optional<std::string> SqlParam;
typedef std::vector<SqlParam> SqlParams;

// The result of one statement; owns the PGresult.
class SqlResult {
 public:
  explicit SqlResult(PGresult* r = nullptr) : res(r, PQclear) {}
  int Rows() const { return res ? PQntuples(res.get()) : 0; }
  bool IsNull(int row, int col) const { return PQgetisnull(res.get(), row, col) != 0; }
  // The field as text ("" for NULL); borrowed, valid while the result lives.
  const char* Text(int row, int col) const { return PQgetvalue(res.get(), row, col); }
  long long Number(int row, int col) const;  // 0 for NULL
  bool Flag(int row, int col) const { return Text(row, col)[0] == 't'; }
  long long Changed() const;  // rows changed by an INSERT, UPDATE or DELETE

 private:
  std::shared_ptr<PGresult> res;
};

// Connection settings; empty texts are left to libpq's defaults and environment.
struct SqlTarget {
  std::string host;  // a host name or address, or a socket folder (starts with '/')
  std::string port, dbName, user, password;
};

class SqlConnection {
 public:
  // Connects; a level-3 ZaError* when the server refuses or cannot be reached.
  explicit SqlConnection(const SqlTarget& target);
  ~SqlConnection();
  SqlConnection(const SqlConnection&) = delete;
  SqlConnection& operator=(const SqlConnection&) = delete;

  // Runs one statement with text parameters $1, $2, ... A parameter that is
  // not valid UTF-8 cannot match anything stored: the statement is not sent
  // and the result is empty (no rows, nothing changed).
  SqlResult Run(const std::string& sql, const SqlParams& params = {});
  // As Run, but a statement refused with the SQLSTATE `tolerated` (such as
  // "23505", a unique key taken) gives an empty result instead of an error.
  SqlResult RunTolerating(const char* tolerated, const std::string& sql, const SqlParams& params = {});
  // Runs statements without parameters, such as a schema file.
  void RunScript(const std::string& sql);
  // Sends the rows (tab-separated text lines, as COPY ... FROM STDIN takes)
  // to a COPY statement.
  void Copy(const std::string& copySql, const std::string& rows);

  std::string QuoteIdentifier(const std::string& name);  // "name" with quotes doubled
  PGconn* Raw() { return conn; }

 private:
  SqlResult Execute(const char* tolerated, const std::string& sql, const SqlParams& params);
  [[noreturn]] void Fail(int line, const std::string& what, PGresult* res);
  PGconn* conn = nullptr;
};

// A transaction: BEGIN on construction, ROLLBACK on destruction unless
// Commit was called, so that an error leaves no half-made change.
class SqlTransaction {
 public:
  explicit SqlTransaction(SqlConnection& c, const char* begin = "BEGIN");
  ~SqlTransaction();
  SqlTransaction(const SqlTransaction&) = delete;
  SqlTransaction& operator=(const SqlTransaction&) = delete;
  void Commit();

 private:
  SqlConnection& conn;
  bool open = true;
};

// A PostgreSQL array literal of texts, for parameters such as "$1::text[]".
std::string SqlTextArray(const std::vector<std::string>& items);

// True when the text is well-formed UTF-8.
bool SqlValidUtf8(const std::string& text);

// Raises a ZaError* from the SQL store with one trace line (not shown to the user).
[[noreturn]] void SqlFail(int line, const char* source, const std::string& message, int level = 2);

#endif
