// SqlStore: where the SQL directory store's data is and how to reach it. The
// settings come from the configuration (server, database, user, password,
// employee table and key column), the schema map (config/sqlSchemaMap.lst:
// which employee columns give a person's card properties) and the schema
// file (config/sqlSchema.lst: the schema that holds the console's own
// tables). The connection is made on first use and then checked against the
// catalogue: the console's tables, the employee table and every mapped
// column must exist, or the store is unusable (a level-3 ZaError*).
#ifndef SQLSTORE_H
#define SQLSTORE_H

#include <memory>
#include <string>
#include <vector>

#include "sqlconn.h"

class ValNameList;
class ZaConfigDB;
struct SQLInfoRec;

// One card property given by employee columns: "TEL;WORK" from "phone", or
// "N" from "family_name;given_name" (the columns' values joined by ';').
struct SqlMappedProperty {
  std::string property;              // the vCard name part
  std::vector<std::string> columns;  // employee columns, unquoted
};

struct SqlSettings {
  SqlTarget target;
  // DBENV: one NAME=VALUE for libpq's environment. The loader sets it only
  // when it loads the user store; a request that opens the group store alone
  // must connect the same way, so the store sets it too.
  std::string env;
  std::string schema = "zarvo";  // where the console's own tables are
  std::string empTable;          // may be schema-qualified: "hr.staff"
  std::string keyColumn;
  std::vector<SqlMappedProperty> map;
};

// The settings of an installation: `info` from the configuration, `schemaMap`
// and `schemaFile` as read from the two side files (either may be null).
// Raises a level-3 ZaError* when the employee table, its key or its name
// column (FN in the map) is not set.
SqlSettings SqlSettingsFrom(const SQLInfoRec& info, ValNameList* schemaMap, ValNameList* schemaFile);
SqlSettings SqlSettingsFrom(ZaConfigDB* config);

class SqlStore {
 public:
  explicit SqlStore(const SqlSettings& settings);
  ~SqlStore();
  SqlStore(const SqlStore&) = delete;
  SqlStore& operator=(const SqlStore&) = delete;

  // The connection, made and checked on first use.
  SqlConnection& Db();
  // Connects without the catalogue check (to set the store up) and puts the
  // console's schema first on the search path.
  SqlConnection& DbUnchecked();
  const SqlSettings& Settings() const { return settings; }

  // Statement fragments over the employee table, valid after Db(). The table
  // is aliased "e" wherever these are used.
  const std::string& Employees() const { return empSql; }  // quoted table name
  const std::string& KeyText() const { return keySql; }    // the key as text: e."id"
  const std::string& NameSql() const { return nameSql; }   // the display name
  const std::string& EmailSql() const { return emailSql; } // e-mail, or NULL
  // The mapped properties and the expression that gives each.
  const std::vector<std::pair<std::string, std::string>>& CardSql() const { return cardSql; }

  // The one store of this process for these settings, shared by its user and
  // group objects so that a request opens a single connection.
  static std::shared_ptr<SqlStore> Shared(const SqlSettings& settings);

 private:
  void CheckCatalogue();
  std::string ColumnsSql(const std::vector<std::string>& columns);
  SqlSettings settings;
  std::unique_ptr<SqlConnection> conn;
  bool checked = false;
  std::string empSql, keySql, nameSql, emailSql;
  std::vector<std::pair<std::string, std::string>> cardSql;
};

// Names of the console's tables, in the order the schema file creates them.
extern const char* const kSqlTables[];
extern const int kSqlTableCount;

#endif
