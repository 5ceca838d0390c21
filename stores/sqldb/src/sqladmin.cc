// The administration interface over the SQL store: set-up from the shipped
// schema, people written through the schema map, accounts made with their
// password in one statement, and bulk loading with COPY.
#include "sqladmin.h"

#include <map>

#include "sqlsupport.h"
#include "vallist.h"
#include "vcard.h"
#include "zaconfigDB.h"
#include "zacrypt.h"
#include "zafile.h"
#include "zastorelimits.h"
#include "zastorepasswd.h"

static const char kSource[] = "stores/sqldb/src/sqladmin";

// Version of the console's tables that za_setup records.
static const int kSchemaVersion = 1;

SqlSettings SqlSettingsAt(const std::string& topDir, ValNameList* settings) {
  auto value = [&](const char* key) -> char* {
    ValNameListItem* item = settings ? settings->Lookup(key) : nullptr;
    return item ? item->value : nullptr;
  };
  SQLInfoRec info{value(ZaCSQLDbServer), value(ZaCSQLDbEnv),      value(ZaCSQLSName),
                  value(ZaCSQLSType),    value(ZaCSQLSUserName), nullptr,
                  value(ZaCSQLSDbName),  value(ZaCSQLSPrimaryKey), value(ZaCSQLSEmpTbl)};
  // The file keeps the password scrambled, as the configuration writes it.
  std::unique_ptr<char, decltype(&free)> password(
      value(ZaCSQLSUserPasswd) && *value(ZaCSQLSUserPasswd) ? ZaCrypt().Decrypt(value(ZaCSQLSUserPasswd)) : nullptr, free);
  info.userPasswd = password.get();
  ValNameList map, schema;
  std::string mapFile = topDir + "/config/sqlSchemaMap.lst", schemaFile = topDir + "/config/sqlSchema.lst";
  if (ZaCheckIfFile(mapFile.c_str()) == ZaTrue) map.Read(mapFile.c_str());
  if (ZaCheckIfFile(schemaFile.c_str()) == ZaTrue) schema.Read(schemaFile.c_str());
  return SqlSettingsFrom(info, &map, &schema);
}

ZaSqlStoreAdmin::ZaSqlStoreAdmin(const SqlSettings& settings) : store(settings) {}
ZaSqlStoreAdmin::~ZaSqlStoreAdmin() = default;

std::string ZaSqlStoreAdmin::Location() {
  const SqlTarget& t = store.Settings().target;
  return "the PostgreSQL database " + (t.dbName.empty() ? std::string("(default)") : t.dbName) + " on " +
         (t.host.empty() ? std::string("the local server") : t.host) + ", schema " + store.Settings().schema;
}

bool ZaSqlStoreAdmin::IsInitialised() {
  SqlConnection& db = store.DbUnchecked();
  SqlResult r = db.Run("SELECT to_regclass(quote_ident($1) || '.za_setup') IS NOT NULL", {store.Settings().schema});
  if (!r.Flag(0, 0)) return false;
  return db.Run("SELECT 1 FROM za_setup WHERE id = 1").Rows() > 0;
}

std::string ZaSqlStoreAdmin::Init() {
  SqlConnection& db = store.DbUnchecked();
  SqlTransaction t(db);
  db.RunScript("CREATE SCHEMA IF NOT EXISTS " + db.QuoteIdentifier(store.Settings().schema));
  db.RunScript(kSqlSchemaText);
  db.Run("INSERT INTO za_setup (id, version) VALUES (1, $1) ON CONFLICT (id) DO NOTHING",
         {std::to_string(kSchemaVersion)});
  t.Commit();
  store.Db();  // the employee table and the schema map are checked now, not at the first request
  return "";
}

std::string ZaSqlStoreAdmin::InitDemoEmployees() {
  SqlConnection& db = store.DbUnchecked();
  SqlTransaction t(db);
  db.RunScript("CREATE SCHEMA IF NOT EXISTS " + db.QuoteIdentifier(store.Settings().schema));
  db.RunScript(kSqlDemoEmployeesText);
  t.Commit();
  return "demonstration employee table za_demo_employees ready";
}

bool ZaSqlStoreAdmin::PersonExists(const std::string& uid) {
  return store.Db().Run("SELECT 1 FROM " + store.Employees() + " e WHERE lower(" + store.KeyText() + ") = lower($1)",
                        {uid}).Rows() > 0;
}

std::vector<std::string> ZaSqlStoreAdmin::PersonColumns() {
  SqlConnection& db = store.Db();
  std::vector<std::string> columns = {db.QuoteIdentifier(store.Settings().keyColumn)};
  for (const SqlMappedProperty& p : store.Settings().map)
    for (const std::string& c : p.columns) columns.push_back(db.QuoteIdentifier(c));
  return columns;
}

// A single column takes the card's value (NULL without one); several columns
// take the value's ';'-separated parts ("" for missing ones).
std::vector<SqlParam> ZaSqlStoreAdmin::PersonValues(VCard* card) {
  std::vector<SqlParam> values;
  VCardEntry* uid = card->GetEntry(VCardPropUid);
  values.push_back(std::string(uid && uid->value ? uid->value : ""));
  for (const SqlMappedProperty& p : store.Settings().map) {
    std::unique_ptr<VCardEntry> probe(VCardEntry::ParsePropertyName(p.property.c_str()));
    VCardEntry* found = probe ? card->GetEntry(probe.get()) : nullptr;
    if (!found && probe && !probe->subTypes) found = card->GetEntry(probe->propId);
    std::string value = found && found->value ? found->value : "";
    if (p.columns.size() == 1) {
      values.push_back(found && found->value ? SqlParam(value) : SqlParam());
      continue;
    }
    size_t start = 0;
    for (size_t i = 0; i < p.columns.size(); ++i) {
      size_t end = i + 1 < p.columns.size() ? value.find(';', start) : std::string::npos;
      values.push_back(start <= value.size() ? value.substr(start, end == std::string::npos ? end : end - start)
                                             : std::string());
      start = end == std::string::npos ? value.size() + 1 : end + 1;
    }
  }
  return values;
}

void ZaSqlStoreAdmin::AddPeople(std::vector<std::unique_ptr<VCard>>* cards) {
  SqlConnection& db = store.Db();
  std::map<std::string, bool> seen;
  for (const auto& card : *cards) {
    VCardEntry* uid = card->GetEntry(VCardPropUid);
    VCardEntry* fn = card->GetEntry(VCardPropFn);
    std::string id = uid && uid->value ? uid->value : "";
    ZaCheckStoreId(id, "user ID");
    if (!fn || !fn->value || !*fn->value) ZaStoreRefuse(__LINE__, kSource, "The card of " + id + " has no name (FN)");
    for (VCardEntry* e = card->entries; e; e = e->next)
      if (e->value) ZaCheckStoreText(e->value, "a card value");
    if (!seen.emplace(SqlLower(id), true).second || PersonExists(id))
      ZaStoreRefuse(__LINE__, kSource, "The person " + id + " is in the directory already");
  }
  std::vector<std::string> columns = PersonColumns();
  std::string sql = "INSERT INTO " + store.Employees() + " (", params;
  for (size_t i = 0; i < columns.size(); ++i) {
    sql += (i ? ", " : "") + columns[i];
    params += (i ? ", $" : "$") + std::to_string(i + 1);
  }
  sql += ") VALUES (" + params + ")";
  SqlTransaction t(db);
  for (const auto& card : *cards) db.Run(sql, PersonValues(card.get()));
  t.Commit();
}

bool ZaSqlStoreAdmin::RemovePerson(const std::string& uid) {
  return store.Db().Run("DELETE FROM " + store.Employees() + " e WHERE lower(" + store.KeyText() + ") = lower($1)",
                        {uid}).Changed() > 0;
}

std::vector<ZaStorePerson> ZaSqlStoreAdmin::People() {
  SqlResult r = store.Db().Run("SELECT " + store.KeyText() + ", " + store.NameSql() + ", " + store.EmailSql() +
                               " FROM " + store.Employees() + " e ORDER BY 1");
  std::vector<ZaStorePerson> people;
  for (int i = 0; i < r.Rows(); ++i) people.push_back({r.Text(i, 0), r.Text(i, 1), r.Text(i, 2)});
  return people;
}

bool ZaSqlStoreAdmin::AccountExists(const std::string& uid) {
  return store.Db().Run("SELECT 1 FROM za_accounts WHERE lower(uid) = lower($1)", {uid}).Rows() > 0;
}

bool ZaSqlStoreAdmin::LoginTaken(const std::string& login) {
  return store.Db().Run("SELECT 1 FROM za_accounts WHERE lower(login) = lower($1)", {login}).Rows() > 0;
}

void ZaSqlStoreAdmin::AddAccount(const std::string& uid, const std::string& login, bool admin,
                                 const std::string& password) {
  ZaCheckStoreId(uid, "user ID");
  ZaCheckStoreId(login, "login name");
  if (!PersonExists(uid)) ZaStoreRefuse(__LINE__, kSource, "no person " + uid + " in the directory");
  if (AccountExists(uid)) ZaStoreRefuse(__LINE__, kSource, uid + " has an account already");
  if (LoginTaken(login)) ZaStoreRefuse(__LINE__, kSource, "the login " + login + " is taken");
  std::string hash = ZaHashPassword(password);
  SqlResult r = store.Db().RunTolerating(
      "23505",
      "INSERT INTO za_accounts (uid, login, admin, password_hash, name) SELECT " + store.KeyText() + ", $2, $3, $4, " +
          store.NameSql() + " FROM " + store.Employees() + " e WHERE lower(" + store.KeyText() + ") = lower($1) LIMIT 1",
      {uid, login, std::string(admin ? "true" : "false"), hash});
  if (r.Changed() != 1) ZaStoreRefuse(__LINE__, kSource, "the account of " + uid + " could not be made (taken meanwhile?)");
}

bool ZaSqlStoreAdmin::SetPassword(const std::string& uid, const std::string& password) {
  std::string hash = ZaHashPassword(password);
  return store.Db().Run("UPDATE za_accounts SET password_hash = $2 WHERE lower(uid) = lower($1)", {uid, hash}).Changed() > 0;
}

std::vector<ZaStoreAccount> ZaSqlStoreAdmin::Accounts() {
  SqlResult r = store.Db().Run(
      "SELECT a.uid, a.login, a.name, a.admin, EXISTS (SELECT 1 FROM " + store.Employees() + " e WHERE lower(" +
      store.KeyText() + ") = lower(a.uid)), coalesce(extract(epoch FROM a.last_login)::bigint, 0) "
      "FROM za_accounts a ORDER BY a.seq");
  std::vector<ZaStoreAccount> accounts;
  for (int i = 0; i < r.Rows(); ++i) {
    ZaStoreAccount a;
    a.uid = r.Text(i, 0);
    a.login = r.Text(i, 1);
    a.name = r.Text(i, 2);
    a.admin = r.Flag(i, 3);
    a.current = r.Flag(i, 4);
    a.lastLogin = r.Number(i, 5);
    accounts.push_back(a);
  }
  return accounts;
}

std::string ZaSqlStoreAdmin::GroupMembersSql() {
  return "SELECT g.gid, g.name, g.owner, g.shared, m.uid FROM za_groups g "
         "LEFT JOIN za_members m ON m.gid = g.gid ";
}

// Rows of GroupMembersSql, one group per run of rows.
static std::vector<ZaStoreGroup> GroupsFrom(const SqlResult& r) {
  std::vector<ZaStoreGroup> groups;
  for (int i = 0; i < r.Rows(); ++i) {
    if (groups.empty() || groups.back().gid != r.Text(i, 0)) {
      groups.emplace_back();
      groups.back().gid = r.Text(i, 0);
      groups.back().name = r.Text(i, 1);
      groups.back().owner = r.Text(i, 2);
      groups.back().shared = r.Flag(i, 3);
    }
    if (!r.IsNull(i, 4)) groups.back().members.push_back(r.Text(i, 4));
  }
  return groups;
}

bool ZaSqlStoreAdmin::FindGroup(const std::string& gid, ZaStoreGroup* out) {
  std::vector<ZaStoreGroup> found =
      GroupsFrom(store.Db().Run(GroupMembersSql() + "WHERE lower(g.gid) = lower($1) ORDER BY m.seq", {gid}));
  if (found.empty()) return false;
  if (out) *out = found[0];
  return true;
}

void ZaSqlStoreAdmin::AddGroup(const ZaStoreGroup& group) {
  ZaCheckStoreId(group.gid, "group ID");
  ZaCheckStoreText(group.name, "the group name");
  if (group.name.empty()) ZaStoreRefuse(__LINE__, kSource, "A group needs a name");
  SqlConnection& db = store.Db();
  SqlTransaction t(db);
  if (FindGroup(group.gid, nullptr)) ZaStoreRefuse(__LINE__, kSource, "The group " + group.gid + " exists already");
  std::vector<std::string> wanted = {group.owner};
  wanted.insert(wanted.end(), group.members.begin(), group.members.end());
  std::vector<std::string> stored;  // each account's ID as the account has it
  for (const std::string& uid : wanted) {
    SqlResult a = db.Run("SELECT uid FROM za_accounts WHERE lower(uid) = lower($1)", {uid});
    if (a.Rows() != 1) ZaStoreRefuse(__LINE__, kSource, "The user " + uid + " has no account");
    stored.push_back(a.Text(0, 0));
  }
  db.Run("INSERT INTO za_groups (gid, name, owner, shared) VALUES ($1, $2, $3, $4)",
         {group.gid, group.name, stored[0], std::string(group.shared ? "true" : "false")});
  for (const std::string& uid : stored)
    db.Run("INSERT INTO za_members (gid, uid) VALUES ($1, $2) ON CONFLICT DO NOTHING", {group.gid, uid});
  t.Commit();
}

bool ZaSqlStoreAdmin::AddMember(const std::string& gid, const std::string& uid) {
  // True when the user is a member afterwards (already being one included).
  SqlConnection& db = store.Db();
  db.Run("INSERT INTO za_members (gid, uid) SELECT g.gid, a.uid FROM za_groups g, za_accounts a "
         "WHERE lower(g.gid) = lower($1) AND lower(a.uid) = lower($2) ON CONFLICT DO NOTHING",
         {gid, uid});
  return db.Run("SELECT 1 FROM za_members m JOIN za_groups g ON g.gid = m.gid "
                "WHERE lower(g.gid) = lower($1) AND lower(m.uid) = lower($2)",
                {gid, uid}).Rows() > 0;
}

std::vector<ZaStoreGroup> ZaSqlStoreAdmin::Groups() {
  return GroupsFrom(store.Db().Run(GroupMembersSql() + "ORDER BY g.gid, m.seq"));
}

bool ZaSqlStoreAdmin::AddDocument(const std::string& gid, const ZaStoreDocument& doc) {
  ZaCheckStoreText(doc.name, "the document name");
  ZaCheckStoreText(doc.description, "the description", kZaStoreMaxDescription);
  if (doc.name.empty()) return false;
  // Names are unique in a group without regard to letter case.
  return store.Db().Run(
      "INSERT INTO za_documents (gid, name, description, owner) SELECT g.gid, $2, $3, $4 FROM za_groups g "
      "WHERE lower(g.gid) = lower($1) AND NOT EXISTS (SELECT 1 FROM za_documents d WHERE d.gid = g.gid AND "
      "lower(d.name) = lower($2))",
      {gid, doc.name, doc.description, doc.owner}).Changed() > 0;
}

bool ZaSqlStoreAdmin::AddToHotlist(const std::string& uid, bool group, const std::string& target) {
  // True when the account and the target exist, whether or not the hotlist
  // already named the target.
  std::string found =
      group ? "SELECT a.uid, g.gid FROM za_accounts a, za_groups g WHERE lower(a.uid) = lower($1) AND "
              "lower(g.gid) = lower($2)"
            : "SELECT a.uid, " + store.KeyText() + " FROM za_accounts a, " + store.Employees() +
                  " e WHERE lower(a.uid) = lower($1) AND lower(" + store.KeyText() + ") = lower($2) LIMIT 1";
  std::string table = group ? "za_hotlist_groups (uid, gid)" : "za_hotlist_people (uid, person)";
  SqlResult r = store.Db().Run("WITH found AS (" + found + "), added AS (INSERT INTO " + table +
                                   " SELECT * FROM found ON CONFLICT DO NOTHING) SELECT count(*) FROM found",
                               {uid, target});
  return r.Number(0, 0) > 0;
}

bool ZaSqlStoreAdmin::SetPreference(const std::string& uid, const std::string& key, const std::string& value) {
  return store.Db().Run(
      "INSERT INTO za_preferences (uid, key, value) SELECT uid, $2, $3 FROM za_accounts WHERE lower(uid) = lower($1) "
      "ON CONFLICT (uid, lower(key)) DO UPDATE SET value = excluded.value",
      {uid, key, value}).Changed() > 0;
}

bool ZaSqlStoreAdmin::AddUsageFile(bool group, const std::string& id, long long bytes) {
  if (bytes < 0) return false;
  const char* sql = group ? "INSERT INTO za_group_usage (gid, bytes) SELECT gid, $2 FROM za_groups WHERE lower(gid) = "
                            "lower($1) ON CONFLICT (gid) DO UPDATE SET bytes = za_group_usage.bytes + excluded.bytes"
                          : "INSERT INTO za_user_usage (uid, bytes) SELECT uid, $2 FROM za_accounts WHERE lower(uid) = "
                            "lower($1) ON CONFLICT (uid) DO UPDATE SET bytes = za_user_usage.bytes + excluded.bytes";
  return store.Db().Run(sql, {id, std::to_string(bytes)}).Changed() > 0;
}

void ZaSqlStoreAdmin::RescanUsage() {}

// One field of a COPY text row: tab, line ends and backslash escaped, NULL as \N.
static void CopyField(std::string* row, const SqlParam& value, bool last) {
  if (!value) {
    *row += "\\N";
  } else {
    for (char c : *value) {
      if (c == '\\') *row += "\\\\";
      else if (c == '\t') *row += "\\t";
      else if (c == '\n') *row += "\\n";
      else if (c == '\r') *row += "\\r";
      else *row += c;
    }
  }
  *row += last ? '\n' : '\t';
}

static void CopyRow(std::string* rows, const std::vector<SqlParam>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) CopyField(rows, fields[i], i + 1 == fields.size());
}

void ZaSqlStoreAdmin::BulkLoad(ZaStoreBulkData* data) {
  SqlConnection& db = store.Db();
  if (db.Run("SELECT 1 FROM za_accounts LIMIT 1").Rows() > 0 ||
      db.Run("SELECT 1 FROM " + store.Employees() + " e LIMIT 1").Rows() > 0)
    ZaStoreRefuse(__LINE__, kSource, "seed fills an empty store only");
  auto flag = [](bool b) { return SqlParam(std::string(b ? "t" : "f")); };
  std::string people, accounts, groups, members, documents, hotPeople, hotGroups, prefs, userUsage, groupUsage;
  for (const auto& card : data->cards) CopyRow(&people, PersonValues(card.get()));
  for (const ZaStoreAccount& a : data->accounts) CopyRow(&accounts, {a.uid, a.login, flag(a.admin), a.name});
  for (const ZaStoreGroup& g : data->groups) {
    CopyRow(&groups, {g.gid, g.name, g.owner, flag(g.shared)});
    for (const std::string& m : g.members) CopyRow(&members, {g.gid, m});
  }
  for (const auto& d : data->documents)
    CopyRow(&documents, {d.first, d.second.name, d.second.description, d.second.owner});
  for (const auto& h : data->personHotlist) CopyRow(&hotPeople, {h.first, h.second});
  for (const auto& h : data->groupHotlist) CopyRow(&hotGroups, {h.first, h.second});
  for (const auto& s : data->styles) CopyRow(&prefs, {s.first, std::string("style"), s.second});
  std::map<std::string, long long> userBytes, groupBytes;
  for (const auto& f : data->userFiles) userBytes[f.first] += f.second;
  for (const auto& f : data->groupFiles) groupBytes[f.first] += f.second;
  for (const auto& u : userBytes) CopyRow(&userUsage, {u.first, std::to_string(u.second)});
  for (const auto& g : groupBytes) CopyRow(&groupUsage, {g.first, std::to_string(g.second)});

  std::vector<std::string> columns = PersonColumns();
  std::string personColumns;
  for (size_t i = 0; i < columns.size(); ++i) personColumns += (i ? ", " : "") + columns[i];
  SqlTransaction t(db);
  db.Copy("COPY " + store.Employees() + " (" + personColumns + ") FROM STDIN", people);
  db.Copy("COPY za_accounts (uid, login, admin, name) FROM STDIN", accounts);
  db.Copy("COPY za_groups (gid, name, owner, shared) FROM STDIN", groups);
  db.Copy("COPY za_members (gid, uid) FROM STDIN", members);
  db.Copy("COPY za_documents (gid, name, description, owner) FROM STDIN", documents);
  db.Copy("COPY za_hotlist_people (uid, person) FROM STDIN", hotPeople);
  db.Copy("COPY za_hotlist_groups (uid, gid) FROM STDIN", hotGroups);
  db.Copy("COPY za_preferences (uid, key, value) FROM STDIN", prefs);
  db.Copy("COPY za_user_usage (uid, bytes) FROM STDIN", userUsage);
  db.Copy("COPY za_group_usage (gid, bytes) FROM STDIN", groupUsage);
  t.Commit();
  std::string analyze = "ANALYZE " + store.Employees();
  for (int i = 0; i < kSqlTableCount; ++i) analyze += std::string(", ") + kSqlTables[i];
  db.RunScript(analyze);
}

// The plug-in's administration entry points.
extern "C" {
__attribute__((visibility("default"))) ZaStoreAdmin* ZaCreateStoreAdmin(const char* topDir, ValNameList* settings) {
  return new ZaSqlStoreAdmin(SqlSettingsAt(topDir ? topDir : ".", settings));
}
__attribute__((visibility("default"))) void ZaDestroyStoreAdmin(ZaStoreAdmin* admin) { delete admin; }
}
