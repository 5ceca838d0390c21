// Helpers for the store's tests: scratch folders and running zastore.
#ifndef FDBTESTING_H
#define FDBTESTING_H

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zaerror.h"

// A fresh folder under the build directory, removed with its contents at the end.
struct ScratchDir {
  std::string path;
  ScratchDir() {
    char name[] = ZA_BINARY_DIR "/fdbtest-XXXXXX";
    path = mkdtemp(name);
  }
  ~ScratchDir() { (void)!system(("rm -rf '" + path + "'").c_str()); }
};

// Runs zastore with the arguments (shell words) and `input` on standard input;
// returns its exit status and stores what it printed.
inline int RunZastore(const std::string& args, const std::string& input = "", std::string* out = nullptr) {
  std::string cmd = "printf '%s' '" + input + "' | " ZA_BINARY_DIR "/bin/zastore " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (out) *out = text;
  return WEXITSTATUS(status);
}

// Every row of every table of the store's database as text, to compare
// before and after; "" when there is no database.
inline std::string DumpDatabase(const std::string& path, const std::string& sql = "") {
  sqlite3* db = nullptr;
  std::string all;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return all;
  }
  std::vector<std::string> queries;
  if (!sql.empty()) queries.push_back(sql);
  sqlite3_stmt* tables = nullptr;
  sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name", -1, &tables, nullptr);
  while (sql.empty() && tables && sqlite3_step(tables) == SQLITE_ROW)
    queries.push_back(std::string("SELECT * FROM ") + reinterpret_cast<const char*>(sqlite3_column_text(tables, 0)));
  sqlite3_finalize(tables);
  for (const std::string& q : queries) {
    sqlite3_stmt* rows = nullptr;
    sqlite3_prepare_v2(db, q.c_str(), -1, &rows, nullptr);
    all += q + "\n";
    while (rows && sqlite3_step(rows) == SQLITE_ROW) {
      for (int i = 0; i < sqlite3_column_count(rows); ++i) {
        const unsigned char* v = sqlite3_column_text(rows, i);
        all += std::string(i ? "\t" : "") + (v ? reinterpret_cast<const char*>(v) : "NULL");
      }
      all += "\n";
    }
    sqlite3_finalize(rows);
  }
  sqlite3_close(db);
  return all;
}

// The level of the ZaError* that f throws, or 0 when it throws none.
template <class F>
int ErrorLevel(F f) {
  try {
    f();
  } catch (ZaError* e) {
    int level = e->level;
    delete e;
    return level;
  }
  return 0;
}

#endif
