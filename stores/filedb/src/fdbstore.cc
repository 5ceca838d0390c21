// The embedded store over its SQLite database: people, accounts and the
// store's set-up. Groups, documents, hotlists and preferences are in
// fdbgroups.cc, disk usage in fdbusage.cc, bulk loading in fdbbulk.cc, the
// one-time move of the older text tables in fdbimport.cc.
#include "fdbstore.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unordered_set>

#include "fdbsqlite.h"
#include "fdbstore_internal.h"
#include "vcard.h"
#include "versit.h"
#include "zafile.h"
#include "zastorefolders.h"
#include "zastorelimits.h"
#include "zastorepasswd.h"
#include "zastoresql.h"

static const char kSource[] = "stores/filedb/src/fdbstore";

const char kFdbDatabaseFile[] = "zarvo.db";

typedef ZaSqlStatements Sql;

// ---- helpers shared by the store's files ----

std::string FdbSortKey(const std::string& name) { return ZaStoreKey(name); }

std::string FdbCardValue(const VCard* card, int propId) {
  VCardEntry* e = card->GetEntry(propId);
  return e && e->value ? e->value : "";
}

std::string FdbCardText(const VCard* card) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  if (!f) ZaStoreFail(__LINE__, kSource, "Out of memory while writing a card");
  card->Print(f);
  fclose(f);
  std::string text(buf, len);
  free(buf);
  return text;
}

VCard* FdbCardFromText(const std::string& text) {
  VersitFile reader;
  reader.keepAsRead = ZaTrue;
  reader.file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  if (!reader.file) ZaStoreFail(__LINE__, kSource, "Out of memory while reading a card");
  return reader.GetVCardFromFile();
}

// Gives the card the entries every person has: FN from N or N from FN.
static void CompleteCard(VCard* card) {
  std::string fn = FdbCardValue(card, VCardPropFn), uid = FdbCardValue(card, VCardPropUid);
  VCardEntry* n = card->GetEntry(VCardPropN);
  if (fn.empty() && n && n->value) {
    char* formatted = n->FormatN();
    std::string name = formatted ? formatted : "";
    free(formatted);
    size_t a = name.find_first_not_of(' '), b = name.find_last_not_of(' ');
    fn = a == std::string::npos ? "" : name.substr(a, b - a + 1);
    if (!fn.empty()) card->AddEntry(VCardPropFn, fn.c_str());
  }
  if (fn.empty()) ZaStoreRefuse(__LINE__, kSource, "The card of " + uid + " has no name");
  if (!n) {
    size_t space = fn.find_last_of(' ');
    std::string family = space == std::string::npos ? fn : fn.substr(space + 1);
    std::string given = space == std::string::npos ? "" : fn.substr(0, space);
    card->AddEntry(VCardPropN, (family + ";" + given).c_str());
  }
}

void FdbCheckCards(FdbDatabase& db, std::vector<std::unique_ptr<VCard>>* cards) {
  std::unordered_set<std::string> seen;
  for (auto& card : *cards) {
    std::string uid = FdbCardValue(card.get(), VCardPropUid);
    if (!ZaStoreValidId(uid)) ZaStoreRefuse(__LINE__, kSource, "Invalid or missing UID \"" + uid.substr(0, 80) + "\" on a card");
    std::string key = ZaStoreKey(uid);
    FdbQuery q(db, Sql::kFindPerson);
    if (q.Bind(key).Next() || !seen.insert(key).second)
      ZaStoreRefuse(__LINE__, kSource, "The directory already holds a person with the UID " + uid);
    CompleteCard(card.get());
    ZaCheckStoreText(FdbCardValue(card.get(), VCardPropFn), "the display name");
    ZaCheckStoreText(FdbCardValue(card.get(), VCardPropEmail), "the e-mail address");
  }
}

void FdbInsertCard(FdbDatabase& db, const VCard* card) {
  std::string uid = FdbCardValue(card, VCardPropUid), name = FdbCardValue(card, VCardPropFn);
  FdbQuery(db, Sql::kAddPerson)
      .Bind(ZaStoreKey(uid))
      .Bind(uid)
      .Bind(name)
      .Bind(FdbCardValue(card, VCardPropEmail))
      .Bind(FdbSortKey(name))
      .Bind(FdbCardText(card))
      .Run();
}

// ---- the store ----

FileDirStore::FileDirStore(const std::string& dataDir) : dir(dataDir) {}
FileDirStore::~FileDirStore() = default;

std::string FileDirStore::UserFolder(const std::string& uid) const { return ZaStoreUserFolder(dir, uid); }
std::string FileDirStore::GroupFolder(const std::string& gid) const { return ZaStoreGroupFolder(dir, gid); }

FdbDatabase& FileDirStore::Db() {
  if (!db) {
    if (ZaCheckIfDirectory(dir.c_str()) != ZaTrue)
      ZaStoreFail(__LINE__, kSource, "The store's folder " + dir + " is missing or unreadable", 3);
    db = FdbDatabase::Open(dir + "/" + kFdbDatabaseFile, false);
  }
  return *db;
}

void FileDirStore::CheckReachable() {
  if (ZaCheckIfDirectory(dir.c_str()) != ZaTrue)
    ZaStoreFail(__LINE__, kSource, "The store's folder " + dir + " is missing or unreadable", 3);
  // A folder without a database is a store not yet set up (IsInitialised).
  if (ZaCheckIfFile((dir + "/" + kFdbDatabaseFile).c_str()) != ZaTrue) return;
  FdbQuery q(Db(), "SELECT COUNT(*) FROM sqlite_master");
  q.Next();
}

// The meta table's value of `name`, "" when the database has none (or no tables yet).
static std::string Meta(FdbDatabase& db, const char* name) {
  FdbQuery tables(db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'za_meta'");
  if (!tables.Next() || tables.Number(0) == 0) return "";
  FdbQuery q(db, Sql::kGetMeta);
  return q.Bind(name).Next() ? q.Text(0) : "";
}

bool FileDirStore::IsInitialised() {
  if (ZaCheckIfFile((dir + "/" + kFdbDatabaseFile).c_str()) != ZaTrue) return false;
  return Meta(Db(), "set_up") == "1";
}

std::string FileDirStore::Initialise() {
  for (const std::string& d : {dir, dir + "/users", dir + "/groups"})
    if (ZaMkdir(d.c_str(), 0755, ZaTrue) != ZaTrue)
      ZaStoreFail(__LINE__, kSource, "Unable to create the folder " + d, 3);
  if (!db) db = FdbDatabase::Open(dir + "/" + kFdbDatabaseFile, true);
  FdbTransaction change(*db, true);
  if (atoi(Meta(*db, "schema_version").c_str()) > kZaSqlSchemaVersion)
    ZaStoreFail(__LINE__, kSource, "The database in " + dir + " was written by a newer version", 3);
  for (int i = 0; i < kZaSqlSchemaCount; ++i) db->Execute(kZaSqlSchema[i]);
  std::string said;
  bool imported = Meta(*db, "set_up") != "1" && ImportOldTables(&said);
  FdbQuery(*db, Sql::kPutMeta).Bind("schema_version").Bind(std::to_string(kZaSqlSchemaVersion)).Run();
  FdbQuery(*db, Sql::kPutMeta).Bind("set_up").Bind("1").Run();
  change.Commit();
  if (imported) {
    std::string backup = FdbMoveOldTables(dir);
    said += backup.empty() ? "; the old files could not all be moved and can be removed"
                           : "; the old files are in " + backup;
  }
  return said;
}

// ---- people ----

bool FileDirStore::FindPerson(const std::string& uid, FdbPerson* out) {
  FdbQuery q(Db(), Sql::kFindPerson);
  if (!q.Bind(ZaStoreKey(uid)).Next()) return false;
  if (out) *out = {q.Text(0), q.Text(1), q.Text(2)};
  return true;
}

static std::vector<FdbPerson> PeopleFrom(FdbDatabase& db, const char* sql, bool withEmail) {
  std::vector<FdbPerson> people;
  FdbQuery q(db, sql);
  while (q.Next()) people.push_back({q.Text(0), q.Text(1), withEmail ? q.Text(2) : ""});
  return people;
}

std::vector<FdbPerson> FileDirStore::People() { return PeopleFrom(Db(), Sql::kPeople, true); }
std::vector<FdbPerson> FileDirStore::PeopleByName() { return PeopleFrom(Db(), Sql::kPeopleByName, false); }

VCard* FileDirStore::ReadCard(const std::string& uid) {
  FdbQuery q(Db(), Sql::kCard);
  if (!q.Bind(ZaStoreKey(uid)).Next()) return nullptr;
  return FdbCardFromText(q.Text(0));
}

void FileDirStore::AddPeople(std::vector<std::unique_ptr<VCard>>* cards) {
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  FdbCheckCards(d, cards);
  for (const auto& card : *cards) FdbInsertCard(d, card.get());
  change.Commit();
  cards->clear();
}

bool FileDirStore::RemovePerson(const std::string& uid) {
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  FdbPerson p;
  if (!FindPerson(uid, &p)) return false;
  // The account keeps the name the person had, for the clean-up pages.
  FdbQuery(d, "UPDATE za_accounts SET name = $2, sort_key = $3 WHERE uid_key = $1")
      .Bind(ZaStoreKey(uid)).Bind(p.name).Bind(FdbSortKey(p.name)).Run();
  FdbQuery(d, Sql::kRemovePerson).Bind(ZaStoreKey(uid)).Run();
  change.Commit();
  return true;
}

// ---- accounts ----

static bool AccountFrom(FdbQuery& q, FdbAccount* out) {
  if (!q.Next()) return false;
  if (out) {
    out->uid = q.Text(0);
    out->login = q.Text(1);
    out->hash = q.Text(2);
    out->admin = q.Number(3) != 0;
    out->lastLogin = q.Number(4);
    out->name = q.Text(5);
  }
  return true;
}

bool FileDirStore::FindAccount(const std::string& uid, FdbAccount* out) {
  FdbQuery q(Db(), Sql::kFindAccount);
  q.Bind(ZaStoreKey(uid));
  return AccountFrom(q, out);
}

bool FileDirStore::FindAccountByLogin(const std::string& login, FdbAccount* out) {
  std::string uid;
  {
    FdbQuery q(Db(), Sql::kFindLogin);
    if (!q.Bind(ZaStoreKey(login)).Next()) return false;
    uid = q.Text(0);
  }
  return FindAccount(uid, out);
}

std::vector<FdbAccount> FileDirStore::Accounts() {
  std::vector<FdbAccount> accounts;
  FdbQuery q(Db(), Sql::kAccounts);
  while (q.Next()) {
    FdbAccount a;
    a.uid = q.Text(0);
    a.login = q.Text(1);
    a.admin = q.Number(2) != 0;
    a.lastLogin = q.Number(3);
    a.name = q.Text(4);
    accounts.push_back(a);
  }
  return accounts;
}

std::vector<std::pair<std::string, std::string>> FileDirStore::AccountNames() {
  std::vector<std::pair<std::string, std::string>> names;
  FdbQuery q(Db(), Sql::kAccountNames);
  while (q.Next()) names.emplace_back(q.Text(0), q.Text(1));
  return names;
}

bool FileDirStore::CreateAccount(const std::string& uid, const std::string& login, bool admin,
                                 const std::string& hash) {
  if (!ZaStoreValidId(uid) || !ZaStoreValidId(login)) return false;
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  FdbPerson p;
  if (!FindPerson(uid, &p) || FindAccount(uid, nullptr) || FindAccountByLogin(login, nullptr)) return false;
  FdbQuery(d, Sql::kAddAccount)
      .Bind(ZaStoreKey(uid)).Bind(p.uid).Bind(ZaStoreKey(login)).Bind(login).Bind(hash)
      .Bind(admin ? 1 : 0).Bind(p.name).Bind(FdbSortKey(p.name))
      .Run();
  FdbQuery(d, Sql::kSetUserUsage).Bind(ZaStoreKey(uid)).Bind(ZaStoreFolderSize(UserFolder(uid))).Run();
  change.Commit();
  return true;
}

bool FileDirStore::SetPassword(const std::string& uid, const std::string& password) {
  // Hashing is slow on purpose: done before the write lock is taken.
  std::string hash = ZaHashPassword(password);
  FdbQuery q(Db(), Sql::kSetHash);
  q.Bind(ZaStoreKey(uid)).Bind(hash).Run();
  return q.Changes() > 0;
}

bool FileDirStore::CheckPassword(const std::string& uid, const std::string& password) {
  FdbAccount account;
  return FindAccount(uid, &account) && ZaPasswordMatches(password, account.hash);
}

bool FileDirStore::NoteLogin(const std::string& uid) {
  FdbQuery q(Db(), Sql::kNoteLogin);
  q.Bind(ZaStoreKey(uid)).Bind(static_cast<long long>(time(nullptr))).Run();
  return q.Changes() > 0;
}

bool FileDirStore::DeleteAccount(const std::string& uid) {
  FdbQuery q(Db(), Sql::kDeleteAccount);
  q.Bind(ZaStoreKey(uid)).Run();
  return q.Changes() > 0;
}

bool FileDirStore::DeleteUserData(const std::string& uid) {
  if (!ZaStoreValidId(uid)) return false;
  FdbDatabase& d = Db();
  std::string key = ZaStoreKey(uid);
  FdbTransaction change(d, true);
  FdbQuery(d, Sql::kDropHotlistsOf).Bind(key).Run();
  FdbQuery(d, Sql::kDropTarget).Bind(static_cast<long long>(kFdbHotlistPerson)).Bind(key).Run();
  FdbQuery(d, Sql::kDropPreferencesOf).Bind(key).Run();
  FdbQuery(d, Sql::kSetUserUsage).Bind(key).Bind(0LL).Run();
  // The folder goes inside the transaction: should its removal fail, the
  // records stay and the step can be repeated.
  ZaStoreRemoveFolder(UserFolder(uid));
  change.Commit();
  return true;
}
