// Accounts ("accounts.tab"): login name, administrator flag, password hash
// and last login per user ID, and the user's data folder.
#include <ctime>

#include "fdblock.h"
#include "zastorepasswd.h"
#include "fdbstore.h"
#include "fdbstore_tables.h"
#include "zafile.h"

static const char kSource[] = "stores/filedb/src/fdbaccounts";

bool FileDirStore::FindAccount(const std::string& uid, FdbAccount* out) {
  FdbAccountTable& accounts = tables->accounts;
  FdbLockGuard lock(accounts.LockFile(), ZaSharedLock);
  accounts.Refresh();
  auto it = accounts.byUid.find(FdbKey(uid));
  if (it == accounts.byUid.end()) return false;
  if (out) *out = FdbAccountTable::Decode(accounts.rows[it->second]);
  return true;
}

bool FileDirStore::FindAccountByLogin(const std::string& login, FdbAccount* out) {
  FdbAccountTable& accounts = tables->accounts;
  FdbLockGuard lock(accounts.LockFile(), ZaSharedLock);
  accounts.Refresh();
  auto it = accounts.byLogin.find(FdbKey(login));
  if (it == accounts.byLogin.end()) return false;
  if (out) *out = FdbAccountTable::Decode(accounts.rows[it->second]);
  return true;
}

std::vector<FdbAccount> FileDirStore::Accounts() {
  CheckReachable();
  FdbAccountTable& accounts = tables->accounts;
  FdbLockGuard lock(accounts.LockFile(), ZaSharedLock);
  accounts.Refresh();
  std::vector<FdbAccount> all;
  all.reserve(accounts.rows.size());
  for (const FdbRecord& row : accounts.rows) all.push_back(FdbAccountTable::Decode(row));
  return all;
}

bool FileDirStore::CreateAccount(const std::string& uid, const std::string& login, bool admin,
                                 const std::string& hash) {
  if (!FdbValidId(uid) || !FdbValidId(login)) return false;
  CheckReachable();
  FdbLockGuard peopleLock(FdbPeopleLock(dir), ZaSharedLock);
  FdbAccountTable& accounts = tables->accounts;
  FdbLockGuard accountLock(accounts.LockFile(), ZaExclusiveLock);
  FdbLockGuard usageLock(tables->usage.LockFile(), ZaExclusiveLock);
  FdbLoadPeople(tables->people, dir);
  accounts.Refresh();
  auto person = tables->people.byUid.find(FdbKey(uid));
  if (person == tables->people.byUid.end() || accounts.byUid.count(FdbKey(uid)) ||
      accounts.byLogin.count(FdbKey(login)))
    return false;
  if (ZaMkdir(UserFolder(uid).c_str(), 0755, ZaTrue) != ZaTrue)
    FdbFail(__LINE__, kSource, "Unable to create the data folder of " + uid, 3);
  FdbAccount account;
  account.uid = tables->people.list[person->second].uid;
  account.login = login;
  account.admin = admin;
  account.hash = hash;
  account.name = tables->people.list[person->second].name;
  accounts.rows.push_back(FdbAccountTable::Encode(account));
  accounts.Save();
  return true;
}

// Changes one account under the exclusive lock; false when there is none.
template <class Change>
static bool ChangeAccount(FdbAccountTable& accounts, const std::string& uid, Change change) {
  FdbLockGuard lock(accounts.LockFile(), ZaExclusiveLock);
  accounts.Refresh();
  auto it = accounts.byUid.find(FdbKey(uid));
  if (it == accounts.byUid.end()) return false;
  FdbAccount account = FdbAccountTable::Decode(accounts.rows[it->second]);
  change(account);
  accounts.rows[it->second] = FdbAccountTable::Encode(account);
  accounts.Save();
  return true;
}

bool FileDirStore::SetPassword(const std::string& uid, const std::string& password) {
  CheckReachable();
  // Hashing is slow on purpose: do it before taking the lock.
  std::string hash = ZaHashPassword(password);
  return ChangeAccount(tables->accounts, uid, [&](FdbAccount& a) { a.hash = hash; });
}

bool FileDirStore::CheckPassword(const std::string& uid, const std::string& password) {
  FdbAccount account;
  return FindAccount(uid, &account) && ZaPasswordMatches(password, account.hash);
}

bool FileDirStore::NoteLogin(const std::string& uid) {
  CheckReachable();
  long long now = time(nullptr);
  return ChangeAccount(tables->accounts, uid, [&](FdbAccount& a) { a.lastLogin = now; });
}

bool FileDirStore::DeleteAccount(const std::string& uid) {
  CheckReachable();
  FdbAccountTable& accounts = tables->accounts;
  FdbLockGuard lock(accounts.LockFile(), ZaExclusiveLock);
  accounts.Refresh();
  auto it = accounts.byUid.find(FdbKey(uid));
  if (it == accounts.byUid.end()) return false;
  accounts.rows.erase(accounts.rows.begin() + it->second);
  accounts.Save();
  return true;
}

bool FileDirStore::DeleteUserData(const std::string& uid) {
  if (!FdbValidId(uid)) return false;
  CheckReachable();
  FdbUserRowsTable& hotlists = tables->hotlists;
  FdbUserRowsTable& prefs = tables->prefs;
  FdbLockGuard hotlistLock(hotlists.LockFile(), ZaExclusiveLock);
  FdbLockGuard prefsLock(prefs.LockFile(), ZaExclusiveLock);
  FdbLockGuard usageLock(tables->usage.LockFile(), ZaExclusiveLock);
  std::string key = FdbKey(uid);
  hotlists.Refresh();
  std::vector<bool> doomed(hotlists.rows.size());
  for (size_t i = 0; i < doomed.size(); ++i) {
    const FdbRecord& row = hotlists.rows[i];
    doomed[i] = FdbKey(row[0]) == key || (row[1] == "person" && FdbKey(row[2]) == key);
  }
  hotlists.RemoveRows(doomed);
  hotlists.Save();
  prefs.Refresh();
  doomed.assign(prefs.rows.size(), false);
  for (size_t i = 0; i < doomed.size(); ++i) doomed[i] = FdbKey(prefs.rows[i][0]) == key;
  prefs.RemoveRows(doomed);
  prefs.Save();
  ZaRemoveDir(UserFolder(uid).c_str());
  tables->usage.Refresh();
  tables->usage.Drop(false, uid);
  tables->usage.Save();
  return true;
}
