// UserDB over the SQL store. People are read from the employee table through
// the fragments SqlStore made from the schema map; IDs and login names are
// compared without regard to letter case.
#include "sqluserdb.h"

#include <unordered_map>
#include <unordered_set>

#include "dbUtil.h"
#include "sqlsupport.h"
#include "vcard.h"
#include "zastorelimits.h"
#include "zastorepasswd.h"

static const char kSource[] = "stores/sqldb/src/sqluserdb";

std::vector<std::string> SqlDistinctIds(ValList* ids) {
  std::vector<std::string> out;
  std::unordered_set<std::string> seen;
  for (ValListItem* i = ids ? ids->head : nullptr; i; i = i->next) {
    if (!i->value) continue;
    if (seen.insert(SqlLower(i->value)).second) out.push_back(i->value);
  }
  return out;
}

template <class F>
static auto Traced(const char* where, F f) -> decltype(f()) {
  return SqlTraced(kSource, (std::string("ZaSqlUserDB::") + where).c_str(), f);
}

ZaSqlUserDB::ZaSqlUserDB() = default;

ZaSqlUserDB::~ZaSqlUserDB() {
  try {
    if (!pendingUid.empty()) MakePendingAccount("");
  } catch (ZaError* e) {
    delete e;  // nothing can report it now; the account is simply not made
  }
}

void ZaSqlUserDB::OpenWith(const SqlSettings& settings) { store = SqlStore::Shared(settings); }

ZaBoolean ZaSqlUserDB::Open(ZaBoolean, ZaConfigDB* config, int*) {
  return Traced("Open", [&] {
    OpenWith(SqlSettingsFrom(config));
    return ZaTrue;
  });
}

SqlStore& ZaSqlUserDB::Store(const char* operation) {
  if (!store) SqlFail(__LINE__, kSource, std::string(operation) + " called before the store was opened");
  // An account that CreateAccount left for SetPassword is made before
  // anything else looks at the accounts.
  if (!pendingUid.empty() && strcmp(operation, "SetPassword") != 0) MakePendingAccount("");
  return *store;
}

// Makes the remembered account with the given hash; nothing is made when
// that became impossible meanwhile (the person left, the ID or login was taken).
void ZaSqlUserDB::MakePendingAccount(const std::string& hash) {
  std::string uid = pendingUid, login = pendingLogin;
  pendingUid.clear();
  pendingLogin.clear();
  SqlStore& s = *store;
  SqlConnection& db = s.Db();
  db.RunTolerating("23505",
                   "INSERT INTO za_accounts (uid, login, password_hash, name) "
                   "SELECT " + s.KeyText() + ", $2, $3, coalesce(" + s.NameSql() + ", '') FROM " + s.Employees() +
                       " e WHERE lower(" + s.KeyText() + ") = lower($1) LIMIT 1",
                   {uid, login, hash});
}

VCard* ZaSqlUserDB::GetBaseCard() {
  // The fields a person table offers, each labelled by its value.
  VCard* card = new VCard;
  card->AddEntry(VCardPropFn, "Name");
  card->AddEntry(VCardPropEmail, "E-mail");
  card->AddEntry((new VCardEntry(VCardPropTel, "Work phone"))->AddSubType(VCardKindType, VCardTypeWork));
  card->AddEntry(VCardPropTitle, "Title");
  return card;
}

ZaBoolean ZaSqlUserDB::IsSetUp() {
  return Traced("IsSetUp", [&] {
    return SqlYes(Store("IsSetUp").Db().Run("SELECT 1 FROM za_setup WHERE id = 1").Rows() > 0);
  });
}

ZaBoolean ZaSqlUserDB::NoteLogin(char* uid) {
  return Traced("NoteLogin", [&] {
    return SqlYes(Store("NoteLogin").Db().Run("UPDATE za_accounts SET last_login = now() WHERE lower(uid) = lower($1)",
                                              {SqlArg(uid)}).Changed() > 0);
  });
}

ZaBoolean ZaSqlUserDB::DeleteAccount(char* uid) {
  // Memberships, hotlists, preferences and the usage figure go with the
  // account (foreign keys); an owner of groups keeps the account.
  return Traced("DeleteAccount", [&] {
    return SqlYes(Store("DeleteAccount").Db().RunTolerating("23503", "DELETE FROM za_accounts WHERE lower(uid) = lower($1)",
                                                            {SqlArg(uid)}).Changed() > 0);
  });
}

ZaBoolean ZaSqlUserDB::GetLoginFlag(char* uid) {
  return Traced("GetLoginFlag", [&] {
    SqlResult r = Store("GetLoginFlag").Db().Run("SELECT admin FROM za_accounts WHERE lower(uid) = lower($1)",
                                                 {SqlArg(uid)});
    return SqlYes(r.Rows() > 0 && r.Flag(0, 0));
  });
}

ZaBoolean ZaSqlUserDB::CheckPassword(char* uid, char* password) {
  return Traced("CheckPassword", [&] {
    SqlResult r = Store("CheckPassword").Db().Run("SELECT password_hash FROM za_accounts WHERE lower(uid) = lower($1)",
                                                  {SqlArg(uid)});
    return SqlYes(password && r.Rows() > 0 && ZaPasswordMatches(password, r.Text(0, 0)));
  });
}

ZaBoolean ZaSqlUserDB::SetPassword(char* uid, char* password) {
  return Traced("SetPassword", [&] {
    SqlStore& s = Store("SetPassword");
    if (!password) return ZaFalse;
    std::string hash = ZaHashPassword(password);  // slow on purpose: before any statement
    if (!pendingUid.empty()) {
      bool forPending = !strcasecmp(pendingUid.c_str(), SqlArg(uid).c_str());
      if (!forPending) MakePendingAccount("");
      else MakePendingAccount(hash);  // the account and its password in one statement
    }
    return SqlYes(s.Db().Run("UPDATE za_accounts SET password_hash = $2 WHERE lower(uid) = lower($1)",
                             {SqlArg(uid), hash}).Changed() > 0);
  });
}

ZaBoolean ZaSqlUserDB::UserExists(char* uid) {
  return Traced("UserExists", [&] {
    SqlStore& s = Store("UserExists");
    return SqlYes(s.Db().Run("SELECT 1 FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() + ") = lower($1) LIMIT 1",
                             {SqlArg(uid)}).Rows() > 0);
  });
}

ZaBoolean ZaSqlUserDB::LoginTaken(char* login) {
  return Traced("LoginTaken", [&] {
    return SqlYes(Store("LoginTaken").Db().Run("SELECT 1 FROM za_accounts WHERE lower(login) = lower($1)",
                                               {SqlArg(login)}).Rows() > 0);
  });
}

char* ZaSqlUserDB::GetUidFromLogin(char* login) {
  return Traced("GetUidFromLogin", [&] {
    return SqlFirstText(Store("GetUidFromLogin").Db().Run("SELECT uid FROM za_accounts WHERE lower(login) = lower($1)",
                                                          {SqlArg(login)}));
  });
}

char* ZaSqlUserDB::GetUidFromServerUser(char* serverUser) {
  // The web server's user is a person's key or the login name of the
  // account of a person still in the employee table.
  return Traced("GetUidFromServerUser", [&] {
    SqlStore& s = Store("GetUidFromServerUser");
    std::string person = "SELECT " + s.KeyText() + " FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() + ") = ";
    return SqlFirstText(s.Db().Run("(" + person + "lower($1) LIMIT 1) UNION ALL (" + person +
                                       "(SELECT lower(uid) FROM za_accounts WHERE lower(login) = lower($1)) LIMIT 1) LIMIT 1",
                                   {SqlArg(serverUser)}));
  });
}

ZaBoolean ZaSqlUserDB::AccountExists(char* uid) {
  return Traced("AccountExists", [&] {
    return SqlYes(Store("AccountExists").Db().Run("SELECT 1 FROM za_accounts WHERE lower(uid) = lower($1)",
                                                  {SqlArg(uid)}).Rows() > 0);
  });
}

ZaBoolean ZaSqlUserDB::CreateAccount(char* uid, char* login) {
  return Traced("CreateAccount", [&] {
    SqlStore& s = Store("CreateAccount");
    std::string id = SqlArg(uid), name = SqlArg(login);
    if (id.empty() || name.empty() || !SqlValidUtf8(id) || !SqlValidUtf8(name)) return ZaFalse;
    SqlResult r = s.Db().Run(
        "SELECT EXISTS (SELECT 1 FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() + ") = lower($1)), "
        "EXISTS (SELECT 1 FROM za_accounts WHERE lower(uid) = lower($1)), "
        "EXISTS (SELECT 1 FROM za_accounts WHERE lower(login) = lower($2))",
        {id, name});
    if (r.Rows() != 1 || !r.Flag(0, 0) || r.Flag(0, 1) || r.Flag(0, 2)) return ZaFalse;
    pendingUid = id;
    pendingLogin = name;
    return ZaTrue;
  });
}

char* ZaSqlUserDB::GetUserName(char* uid) {
  // Users who left the employee table keep the name their account
  // remembers; an unknown ID stands for itself.
  return Traced("GetUserName", [&] {
    SqlStore& s = Store("GetUserName");
    return SqlFirstText(s.Db().Run(
        "SELECT coalesce((SELECT " + s.NameSql() + " FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() +
            ") = lower($1) LIMIT 1), (SELECT nullif(name, '') FROM za_accounts WHERE lower(uid) = lower($1)), $1)",
        {SqlArg(uid)}));
  });
}

char* ZaSqlUserDB::GetEmailAddress(char* uid) {
  return Traced("GetEmailAddress", [&] {
    SqlStore& s = Store("GetEmailAddress");
    return SqlFirstText(s.Db().Run("SELECT nullif(" + s.EmailSql() + ", '') FROM " + s.Employees() + " e WHERE lower(" +
                                       s.KeyText() + ") = lower($1) LIMIT 1",
                                   {SqlArg(uid)}));
  });
}

ValList* ZaSqlUserDB::GetGroupsOfUser(char* uid) {
  return Traced("GetGroupsOfUser", [&] {
    return SqlColumnList(Store("GetGroupsOfUser").Db().Run(
        "SELECT gid FROM za_members WHERE lower(uid) = lower($1) ORDER BY gid", {SqlArg(uid)}));
  });
}

ValList* ZaSqlUserDB::GetHotlistPeople(char* uid) {
  return Traced("GetHotlistPeople", [&] {
    return SqlColumnList(Store("GetHotlistPeople").Db().Run(
        "SELECT person FROM za_hotlist_people WHERE lower(uid) = lower($1) ORDER BY seq", {SqlArg(uid)}));
  });
}

ValList* ZaSqlUserDB::GetHotlistGroups(char* uid) {
  return Traced("GetHotlistGroups", [&] {
    return SqlColumnList(Store("GetHotlistGroups").Db().Run(
        "SELECT gid FROM za_hotlist_groups WHERE lower(uid) = lower($1) ORDER BY seq", {SqlArg(uid)}));
  });
}

ValNameList* ZaSqlUserDB::GetUserPreferences(char* uid) {
  return Traced("GetUserPreferences", [&] {
    return SqlPairList(Store("GetUserPreferences").Db().Run(
        "SELECT key, value FROM za_preferences WHERE lower(uid) = lower($1) ORDER BY key", {SqlArg(uid)}));
  });
}

VCard* ZaSqlUserDB::GetVCard(char* uid, ZaBoolean) {
  return Traced("GetVCard", [&]() -> VCard* {
    SqlStore& s = Store("GetVCard");
    std::string sql = "SELECT " + s.KeyText();
    for (const auto& p : s.CardSql()) sql += ", " + p.second;
    SqlResult r = s.Db().Run(sql + " FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() + ") = lower($1) LIMIT 1",
                             {SqlArg(uid)});
    if (r.Rows() == 0) return nullptr;
    std::unique_ptr<VCard> card(new VCard);
    card->AddEntry(VCardPropUid, r.Text(0, 0));
    for (size_t i = 0; i < s.CardSql().size(); ++i) {
      int col = static_cast<int>(i) + 1;
      if (r.IsNull(0, col) || !*r.Text(0, col)) continue;
      std::unique_ptr<VCardEntry> entry(VCardEntry::ParsePropertyName(s.CardSql()[i].first.c_str()));
      if (!entry || entry->propId == VCardPropIgnored) continue;
      entry->SetPropValue(r.Text(0, col));
      card->AddEntry(entry.release());
    }
    return card.release();
  });
}

ValNameList* ZaSqlUserDB::SortByValue(ValList* uids) {
  return Traced("SortByValue", [&] {
    SqlStore& s = Store("SortByValue");
    // Every name in one statement, then the program's own ordering.
    std::vector<std::string> ids = SqlDistinctIds(uids);
    SqlResult r = s.Db().Run(
        "SELECT l.id, coalesce((SELECT " + s.NameSql() + " FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() +
            ") = lower(l.id) LIMIT 1), (SELECT nullif(name, '') FROM za_accounts a WHERE lower(a.uid) = lower(l.id)), l.id) "
            "FROM unnest($1::text[]) l(id)",
        {SqlTextArray(ids)});
    std::unordered_map<std::string, std::string> names;
    for (int i = 0; i < r.Rows(); ++i) names[SqlLower(r.Text(i, 0))] = r.Text(i, 1);
    return ZaSortIdsByName(uids, [&](char* uid) -> char* {
      auto found = names.find(SqlLower(SqlArg(uid)));
      return found != names.end() ? strdup(found->second.c_str()) : uid ? strdup(uid) : nullptr;
    });
  });
}

long ZaSqlUserDB::GetDiskUsage(char* uid) {
  return Traced("GetDiskUsage", [&] {
    SqlResult r = Store("GetDiskUsage").Db().Run("SELECT bytes FROM za_user_usage WHERE lower(uid) = lower($1)",
                                                 {SqlArg(uid)});
    return static_cast<long>(r.Rows() ? r.Number(0, 0) : 0);
  });
}

// The display name of account `a`: the employee's, else the remembered one.
static std::string AccountName(SqlStore& s) {
  return "coalesce((SELECT " + s.NameSql() + " FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() +
         ") = lower(a.uid) LIMIT 1), nullif(a.name, ''), a.uid)";
}

ValNameList* ZaSqlUserDB::GetAllDiskUsage() {
  return Traced("GetAllDiskUsage", [&] {
    SqlStore& s = Store("GetAllDiskUsage");
    return SqlPairList(s.Db().Run("SELECT a.uid, " + AccountName(s) + ", coalesce(u.bytes, 0) AS bytes "
                                  "FROM za_accounts a LEFT JOIN za_user_usage u ON u.uid = a.uid "
                                  "ORDER BY bytes DESC, a.uid"),
                       true);
  });
}

ValNameList* ZaSqlUserDB::GetDiskUsageOf(ValList* uids) {
  return Traced("GetDiskUsageOf", [&] {
    SqlStore& s = Store("GetDiskUsageOf");
    // One item per user, however often the list names them, largest first.
    SqlResult r = s.Db().Run(
        "SELECT l.id, coalesce((SELECT " + s.NameSql() + " FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() +
            ") = lower(l.id) LIMIT 1), (SELECT nullif(name, '') FROM za_accounts a WHERE lower(a.uid) = lower(l.id)), l.id), "
            "coalesce((SELECT bytes FROM za_user_usage u WHERE lower(u.uid) = lower(l.id)), 0) AS bytes "
            "FROM unnest($1::text[]) WITH ORDINALITY l(id, n) ORDER BY bytes DESC, n",
        {SqlTextArray(SqlDistinctIds(uids))});
    return SqlPairList(r, true);
  });
}

ValNameList* ZaSqlUserDB::GetCurrentUserNames() {
  return Traced("GetCurrentUserNames", [&] {
    SqlStore& s = Store("GetCurrentUserNames");
    // Sorted by the database, so that the console's own sort finds it in order.
    return SqlPairList(s.Db().Run("SELECT " + s.KeyText() + ", coalesce(" + s.NameSql() + ", " + s.KeyText() +
                                  ") AS name FROM " + s.Employees() + " e ORDER BY name, 1"));
  });
}

ValNameList* ZaSqlUserDB::GetAccountLogins() {
  return Traced("GetAccountLogins", [&] {
    return SqlPairList(Store("GetAccountLogins").Db().Run("SELECT uid, login FROM za_accounts ORDER BY seq"));
  });
}

ValNameList* ZaSqlUserDB::GetAccountNames() {
  return Traced("GetAccountNames", [&] {
    SqlStore& s = Store("GetAccountNames");
    return SqlPairList(s.Db().Run("SELECT a.uid, " + AccountName(s) + " FROM za_accounts a ORDER BY a.seq"));
  });
}

ZaBoolean ZaSqlUserDB::DeleteUserData(char* uid) {
  // What the user keeps apart from the account, and the user's place in
  // other people's hotlists, in one transaction.
  return Traced("DeleteUserData", [&] {
    SqlConnection& db = Store("DeleteUserData").Db();
    if (!ZaStoreValidId(SqlArg(uid))) return ZaFalse;
    SqlTransaction t(db);
    db.Run("DELETE FROM za_hotlist_people WHERE lower(uid) = lower($1) OR lower(person) = lower($1)", {SqlArg(uid)});
    db.Run("DELETE FROM za_hotlist_groups WHERE lower(uid) = lower($1)", {SqlArg(uid)});
    db.Run("DELETE FROM za_preferences WHERE lower(uid) = lower($1)", {SqlArg(uid)});
    db.Run("DELETE FROM za_user_usage WHERE lower(uid) = lower($1)", {SqlArg(uid)});
    t.Commit();
    return ZaTrue;
  });
}

ZaBoolean ZaSqlUserDB::IsNonCurrentUser(char* uid) {
  return Traced("IsNonCurrentUser", [&] {
    SqlStore& s = Store("IsNonCurrentUser");
    SqlResult r = s.Db().Run("SELECT EXISTS (SELECT 1 FROM za_accounts WHERE lower(uid) = lower($1)) AND NOT EXISTS "
                             "(SELECT 1 FROM " + s.Employees() + " e WHERE lower(" + s.KeyText() + ") = lower($1))",
                             {SqlArg(uid)});
    return SqlYes(r.Rows() > 0 && r.Flag(0, 0));
  });
}

ValNameList* ZaSqlUserDB::GetCurrentUsers() { return GetCurrentUserNames(); }
