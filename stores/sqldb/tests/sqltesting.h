// The SQL store's tests run against the private PostgreSQL cluster that
// scripts/test-sql.sh starts: ZA_TEST_PGDIR names its folder (the socket
// folder, the role's password, the superuser's). Each test works in a schema
// of its own, so tests do not see each other's rows.
#ifndef SQLTESTING_H
#define SQLTESTING_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "zacrypt.h"

inline std::string SqlTestDir() {
  const char* dir = getenv("ZA_TEST_PGDIR");
  if (!dir || !*dir) {
    fprintf(stderr, "ZA_TEST_PGDIR is not set: run these tests with scripts/test-sql.sh\n");
    exit(1);
  }
  return dir;
}

inline std::string SqlTestPassword() {
  std::string pw;
  std::ifstream(SqlTestDir() + "/password") >> pw;
  return pw;
}

// Runs SQL as the store's role with psql; true when it succeeded.
inline bool SqlTestPsql(const std::string& sql) {
  std::string file = SqlTestDir() + "/script-" + std::to_string(getpid()) + ".sql";
  std::ofstream(file) << sql;
  std::string cmd = "PGPASSWORD='" + SqlTestPassword() + "' psql -X -q -v ON_ERROR_STOP=1 -h '" + SqlTestDir() +
                    "/socket' -U zarvo -d zarvo -f '" + file + "' >/dev/null";
  int status = system(cmd.c_str());
  unlink(file.c_str());
  return status == 0;
}

// A new schema with the demonstration's employee table, its map and schema
// files written into TOP/config; returns the configuration lines and, when
// asked, the schema's name.
inline std::string SqlTestPrepareIn(const std::string& top, std::string* schemaName) {
  static int serial = 0;
  std::string schema = "t" + std::to_string(getpid()) + "_" + std::to_string(++serial);
  std::string demo;
  std::ifstream in(ZA_SOURCE_DIR "/install/sql/demo-employees.sql");
  demo.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!SqlTestPsql("CREATE SCHEMA " + schema + "; SET search_path TO " + schema + ";\n" + demo)) return "";
  std::ofstream(top + "/config/sqlSchema.lst") << "BEGIN:vNameList\nSCHEMA:" << schema << "\nEND:vNameList\n";
  std::ifstream map(ZA_SOURCE_DIR "/install/config/sqlSchemaMap.lst");
  std::ofstream(top + "/config/sqlSchemaMap.lst") << map.rdbuf();
  char* scrambled = ZaCrypt().Encrypt(SqlTestPassword().c_str());
  std::string lines = "empDirDBFormat:ZA_SQL\nDBSERVER:" + SqlTestDir() + "/socket\nDBNAME:zarvo\nUSERNAME:zarvo\n"
                      "USERPASSWD:" + std::string(scrambled) + "\nEMPTBL:za_demo_employees\nPRIMARYKEY:emp_id\n";
  free(scrambled);
  if (schemaName) *schemaName = schema;
  return lines;
}

inline std::string SqlTestPrepare(const std::string& top) { return SqlTestPrepareIn(top, nullptr); }

#endif
