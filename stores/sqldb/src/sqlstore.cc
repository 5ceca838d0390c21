// The SQL store's settings, its lazily made connection and the catalogue
// check that turns the configured names into quoted statement fragments.
#include "sqlstore.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "vallist.h"
#include "zaconfigDB.h"

static const char kSource[] = "stores/sqldb/src/sqlstore";

const char* const kSqlTables[] = {"za_setup",          "za_accounts",       "za_groups",      "za_members",
                                  "za_documents",      "za_hotlist_people", "za_hotlist_groups",
                                  "za_preferences",    "za_user_usage",     "za_group_usage"};
const int kSqlTableCount = sizeof kSqlTables / sizeof kSqlTables[0];

static std::string Text(const char* s) { return s ? s : ""; }

// A store that cannot be used as configured: the console shows its database
// set-up page with the reason.
[[noreturn]] static void Unusable(int line, const std::string& why) {
  ZaError* e = new ZaError;
  e->level = 3;
  e->AddLine(line, kSource, why.c_str(), ZaTrue);
  throw e;
}

static std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(sep, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

SqlSettings SqlSettingsFrom(const SQLInfoRec& info, ValNameList* schemaMap, ValNameList* schemaFile) {
  SqlSettings s;
  // DBSERVER (or SRVNAME) is a socket folder, or a host with an optional ":port".
  std::string server = Text(info.dbServer).empty() ? Text(info.srvName) : Text(info.dbServer);
  size_t colon = server.rfind(':');
  if (!server.empty() && server[0] != '/' && colon != std::string::npos && server.find(':') == colon) {
    s.target.port = server.substr(colon + 1);
    server.erase(colon);
  }
  s.target.host = server;
  s.env = Text(info.dbEnv);
  s.target.dbName = Text(info.dbName);
  s.target.user = Text(info.userName);
  s.target.password = Text(info.userPasswd);
  s.empTable = Text(info.empTbl);
  s.keyColumn = Text(info.primaryKey);
  ValNameListItem* schema = schemaFile ? schemaFile->Lookup("SCHEMA") : nullptr;
  if (schema && schema->value && *schema->value) s.schema = schema->value;
  bool haveName = false;
  for (ValNameListItem* i = schemaMap ? schemaMap->head : nullptr; i; i = i->next) {
    if (!i->name || !*i->name || !i->value || !*i->value) continue;
    SqlMappedProperty p{i->name, Split(i->value, ';')};
    for (const std::string& c : p.columns)
      if (c.empty()) Unusable(__LINE__, "The schema map gives " + p.property + " an empty column name");
    haveName = haveName || !strcasecmp(i->name, "FN");
    s.map.push_back(p);
  }
  if (s.empTable.empty() || s.keyColumn.empty())
    Unusable(__LINE__, "The SQL store needs the employee table (EMPTBL) and its key column (PRIMARYKEY)");
  if (!haveName) Unusable(__LINE__, "The SQL schema map (sqlSchemaMap.lst) names no column for FN, the display name");
  return s;
}

SqlSettings SqlSettingsFrom(ZaConfigDB* config) {
  SQLInfoRec info{};
  config->GetSQLInfo(&info);
  std::unique_ptr<ValNameList> map(config->ReadSQLSchemaMapFile());
  std::unique_ptr<ValNameList> schema(config->ReadSQLSchemaFile());
  return SqlSettingsFrom(info, map.get(), schema.get());
}

SqlStore::SqlStore(const SqlSettings& s) : settings(s) {}
SqlStore::~SqlStore() = default;

SqlConnection& SqlStore::DbUnchecked() {
  if (!conn) {
    // putenv keeps the text it is given: the copy lives as long as the process.
    if (settings.env.find('=') != std::string::npos) putenv(strdup(settings.env.c_str()));
    std::unique_ptr<SqlConnection> c(new SqlConnection(settings.target));
    // The console's schema first; the rest of the path as the server has it,
    // so that an unqualified employee table is found where it always was.
    std::string path = c->QuoteIdentifier(settings.schema) + ", \"$user\", public";
    c->Run("SELECT set_config('search_path', $1, false)", {path});
    conn = std::move(c);
  }
  return *conn;
}

SqlConnection& SqlStore::Db() {
  SqlConnection& c = DbUnchecked();
  if (!checked) {
    CheckCatalogue();
    checked = true;
  }
  return c;
}

std::string SqlStore::ColumnsSql(const std::vector<std::string>& columns) {
  if (columns.size() == 1) return "e." + conn->QuoteIdentifier(columns[0]) + "::text";
  std::string sql = "concat_ws(';'";
  for (const std::string& c : columns) sql += ", e." + conn->QuoteIdentifier(c) + "::text";
  return sql + ")";
}

void SqlStore::CheckCatalogue() {
  SqlConnection& c = *conn;
  std::vector<std::string> tables(kSqlTables, kSqlTables + kSqlTableCount);
  SqlResult missing = c.Run("SELECT t FROM unnest($1::text[]) t WHERE to_regclass(quote_ident($2) || '.' || t) IS NULL",
                            {SqlTextArray(tables), settings.schema});
  if (missing.Rows() > 0)
    Unusable(__LINE__, std::string("The console's table ") + missing.Text(0, 0) + " is missing from the schema " +
                           settings.schema + "; run zastore init");

  // "hr.staff" names a table in a schema; "staff" one on the search path.
  std::vector<std::string> parts = Split(settings.empTable, '.');
  if (parts.size() > 2) Unusable(__LINE__, "Unusable employee table name " + settings.empTable);
  empSql.clear();
  for (const std::string& p : parts) empSql += (empSql.empty() ? "" : ".") + c.QuoteIdentifier(p);
  SqlResult table = c.Run("SELECT to_regclass($1)::oid", {empSql});
  if (table.Rows() != 1 || table.IsNull(0, 0))
    Unusable(__LINE__, "The employee table " + settings.empTable + " does not exist");
  SqlResult cols = c.Run(
      "SELECT attname, format_type(atttypid, NULL) FROM pg_attribute "
      "WHERE attrelid = $1::oid AND attnum > 0 AND NOT attisdropped",
      {std::string(table.Text(0, 0))});
  std::map<std::string, std::string> types;
  for (int r = 0; r < cols.Rows(); ++r) types[cols.Text(r, 0)] = cols.Text(r, 1);
  auto need = [&](const std::string& column) {
    if (!types.count(column))
      Unusable(__LINE__, "The employee table " + settings.empTable + " has no column " + column);
  };
  need(settings.keyColumn);
  const std::string& keyType = types[settings.keyColumn];
  // A text key is compared as it is (its index serves the lookups); any
  // other type is compared through its text form.
  keySql = "e." + c.QuoteIdentifier(settings.keyColumn);
  if (keyType != "text" && keyType != "character varying") keySql += "::text";
  nameSql = emailSql = "NULL::text";
  cardSql.clear();
  for (const SqlMappedProperty& p : settings.map) {
    for (const std::string& column : p.columns) need(column);
    std::string sql = ColumnsSql(p.columns);
    if (!strcasecmp(p.property.c_str(), "FN") && nameSql == "NULL::text") nameSql = sql;
    if (!strcasecmp(p.property.c_str(), "EMAIL") && emailSql == "NULL::text") emailSql = sql;
    cardSql.emplace_back(p.property, sql);
  }
}

std::shared_ptr<SqlStore> SqlStore::Shared(const SqlSettings& s) {
  static std::weak_ptr<SqlStore> current;
  std::shared_ptr<SqlStore> store = current.lock();
  const SqlTarget& t = s.target;
  if (store) {
    const SqlSettings& o = store->Settings();
    bool same = o.target.host == t.host && o.target.port == t.port && o.target.dbName == t.dbName &&
                o.target.user == t.user && o.target.password == t.password && o.schema == s.schema &&
                o.empTable == s.empTable && o.keyColumn == s.keyColumn && o.env == s.env && o.map.size() == s.map.size();
    for (size_t i = 0; same && i < s.map.size(); ++i)
      same = o.map[i].property == s.map[i].property && o.map[i].columns == s.map[i].columns;
    if (same) return store;
  }
  store = std::make_shared<SqlStore>(s);
  current = store;
  return store;
}
