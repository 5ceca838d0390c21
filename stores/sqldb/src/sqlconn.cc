// The libpq connection: connecting with settings passed as separate keywords
// (never parsed as a connection string), parameterised statements, COPY, and
// transactions that roll back unless committed.
#include "sqlconn.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "zaerror.h"

static const char kSource[] = "stores/sqldb/src/sqlconn";

void SqlFail(int line, const char* source, const std::string& message, int level) {
  ZaError* e = new ZaError;
  e->level = level;
  e->AddLine(line, source, message.c_str(), ZaFalse);
  throw e;
}

long long SqlResult::Number(int row, int col) const { return IsNull(row, col) ? 0 : atoll(Text(row, col)); }

long long SqlResult::Changed() const {
  const char* n = res ? PQcmdTuples(res.get()) : "";
  return *n ? atoll(n) : 0;
}

bool SqlValidUtf8(const std::string& text) {
  bool ascii = true;
  for (unsigned char c : text) ascii = ascii && c < 0x80;
  if (ascii) return true;
  iconv_t cd = iconv_open("UTF-8", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = text, out(text.size() * 2 + 4, '\0');
  char* inp = &in[0];
  char* outp = &out[0];
  size_t inLeft = in.size(), outLeft = out.size();
  bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  return ok;
}

std::string SqlTextArray(const std::vector<std::string>& items) {
  std::string text = "{";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) text += ',';
    text += '"';
    for (char c : items[i]) {
      if (c == '"' || c == '\\') text += '\\';
      text += c;
    }
    text += '"';
  }
  return text + "}";
}

SqlConnection::SqlConnection(const SqlTarget& t) {
  const char* keys[8];
  const char* values[8];
  int n = 0;
  auto add = [&](const char* key, const std::string& value) {
    if (value.empty()) return;
    keys[n] = key;
    values[n++] = value.c_str();
  };
  add("host", t.host);
  add("port", t.port);
  add("dbname", t.dbName);
  add("user", t.user);
  add("password", t.password);
  keys[n] = "connect_timeout";  // an unreachable server fails the request soon
  values[n++] = "10";
  keys[n] = "application_name";
  values[n++] = "operadmin";
  keys[n] = nullptr;
  values[n] = nullptr;
  conn = PQconnectdbParams(keys, values, 0);
  if (!conn) SqlFail(__LINE__, kSource, "Out of memory while connecting to the SQL database", 3);
  if (PQstatus(conn) != CONNECTION_OK) {
    std::string why = PQerrorMessage(conn);
    PQfinish(conn);
    conn = nullptr;
    ZaError* e = new ZaError;
    e->level = 3;
    e->AddLine(__LINE__, kSource, ("Could not connect to the SQL database: " + why).c_str(), ZaFalse);
    e->AddLine(__LINE__, kSource, "The SQL database cannot be reached.", ZaTrue);
    throw e;
  }
  // Server notices ("schema exists, skipping") would land in the web
  // server's error log; the store reports what matters through its errors.
  PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
}

SqlConnection::~SqlConnection() {
  if (conn) PQfinish(conn);
}

void SqlConnection::Fail(int line, const std::string& what, PGresult* res) {
  std::string message = what + ": " + PQerrorMessage(conn);
  const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
  if (state) message += std::string(" (SQLSTATE ") + state + ")";
  if (res) PQclear(res);
  // A broken connection, a server shutting down or refusing connections
  // means the store is out of reach, not that the statement was wrong.
  bool unreachable = PQstatus(conn) != CONNECTION_OK || (state && (!strncmp(state, "08", 2) ||
                                                                   !strncmp(state, "57P", 3)));
  SqlFail(line, kSource, message, unreachable ? 3 : 2);
}

SqlResult SqlConnection::Run(const std::string& sql, const SqlParams& params) {
  return Execute(nullptr, sql, params);
}

SqlResult SqlConnection::RunTolerating(const char* tolerated, const std::string& sql, const SqlParams& params) {
  return Execute(tolerated, sql, params);
}

SqlResult SqlConnection::Execute(const char* tolerated, const std::string& sql, const SqlParams& params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const SqlParam& p : params) {
    if (p && !SqlValidUtf8(*p)) return SqlResult();
    values.push_back(p ? p->c_str() : nullptr);
  }
  PGresult* res = PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                               values.empty() ? nullptr : values.data(), nullptr, nullptr, 0);
  ExecStatusType status = res ? PQresultStatus(res) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return SqlResult(res);
  const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
  if (tolerated && state && !strcmp(state, tolerated)) {
    PQclear(res);
    return SqlResult();
  }
  Fail(__LINE__, "SQL statement failed", res);
}

void SqlConnection::RunScript(const std::string& sql) {
  PGresult* res = PQexec(conn, sql.c_str());
  if (!res || PQresultStatus(res) != PGRES_COMMAND_OK) Fail(__LINE__, "SQL script failed", res);
  PQclear(res);
}

void SqlConnection::Copy(const std::string& copySql, const std::string& rows) {
  PGresult* res = PQexec(conn, copySql.c_str());
  if (!res || PQresultStatus(res) != PGRES_COPY_IN) Fail(__LINE__, "COPY refused", res);
  PQclear(res);
  const size_t kChunk = 1 << 20;
  for (size_t at = 0; at < rows.size(); at += kChunk) {
    size_t n = std::min(kChunk, rows.size() - at);
    if (PQputCopyData(conn, rows.data() + at, static_cast<int>(n)) != 1) Fail(__LINE__, "COPY failed", nullptr);
  }
  if (PQputCopyEnd(conn, nullptr) != 1) Fail(__LINE__, "COPY failed", nullptr);
  res = PQgetResult(conn);
  if (!res || PQresultStatus(res) != PGRES_COMMAND_OK) Fail(__LINE__, "COPY failed", res);
  PQclear(res);
  while ((res = PQgetResult(conn))) PQclear(res);
}

std::string SqlConnection::QuoteIdentifier(const std::string& name) {
  char* quoted = PQescapeIdentifier(conn, name.c_str(), name.size());
  if (!quoted) Fail(__LINE__, "Unusable SQL name \"" + name + "\"", nullptr);
  std::string text = quoted;
  PQfreemem(quoted);
  return text;
}

SqlTransaction::SqlTransaction(SqlConnection& c, const char* begin) : conn(c) { conn.Run(begin); }

SqlTransaction::~SqlTransaction() {
  if (!open) return;
  PGresult* res = PQexec(conn.Raw(), "ROLLBACK");  // never throws: it may run while an error passes
  if (res) PQclear(res);
}

void SqlTransaction::Commit() {
  conn.Run("COMMIT");
  open = false;
}
