// Per-user hotlists ("hotlists.tab": user, "person" or "group", target) and
// preferences ("prefs.tab": user, key, value).
#include "fdblock.h"
#include "fdbstore.h"
#include "fdbstore_tables.h"

static const char* KindWord(FdbHotlistKind kind) { return kind == kFdbHotlistGroup ? "group" : "person"; }

std::vector<std::string> FileDirStore::Hotlist(const std::string& uid, FdbHotlistKind kind) {
  FdbUserRowsTable& hotlists = tables->hotlists;
  FdbLockGuard lock(hotlists.LockFile(), ZaSharedLock);
  hotlists.Refresh();
  std::vector<std::string> targets;
  auto it = hotlists.byUser.find(FdbKey(uid));
  if (it != hotlists.byUser.end())
    for (size_t row : it->second)
      if (hotlists.rows[row][1] == KindWord(kind)) targets.push_back(hotlists.rows[row][2]);
  return targets;
}

bool FileDirStore::AddToHotlist(const std::string& uid, FdbHotlistKind kind, const std::string& target) {
  CheckReachable();
  Tables& t = *tables;
  // Locks in store order; the target is a person or a group.
  std::unique_ptr<FdbLockGuard> peopleLock, groupLock;
  if (kind == kFdbHotlistPerson) peopleLock.reset(new FdbLockGuard(FdbPeopleLock(dir), ZaSharedLock));
  FdbLockGuard accountLock(t.accounts.LockFile(), ZaSharedLock);
  if (kind == kFdbHotlistGroup) groupLock.reset(new FdbLockGuard(t.groups.LockFile(), ZaSharedLock));
  FdbLockGuard hotlistLock(t.hotlists.LockFile(), ZaExclusiveLock);
  t.accounts.Refresh();
  if (!t.accounts.byUid.count(FdbKey(uid))) return false;
  if (kind == kFdbHotlistPerson) {
    FdbLoadPeople(t.people, dir);
    if (!t.people.byUid.count(FdbKey(target))) return false;
  } else {
    t.groups.Refresh();
    if (!t.groups.byGid.count(FdbKey(target))) return false;
  }
  t.hotlists.Refresh();
  auto it = t.hotlists.byUser.find(FdbKey(uid));
  if (it != t.hotlists.byUser.end())
    for (size_t row : it->second)
      if (t.hotlists.rows[row][1] == KindWord(kind) && FdbKey(t.hotlists.rows[row][2]) == FdbKey(target))
        return true;
  t.hotlists.rows.push_back({uid, KindWord(kind), target});
  t.hotlists.Save();
  return true;
}

std::vector<std::pair<std::string, std::string>> FileDirStore::Preferences(const std::string& uid) {
  FdbUserRowsTable& prefs = tables->prefs;
  FdbLockGuard lock(prefs.LockFile(), ZaSharedLock);
  prefs.Refresh();
  std::vector<std::pair<std::string, std::string>> found;
  auto it = prefs.byUser.find(FdbKey(uid));
  if (it != prefs.byUser.end())
    for (size_t row : it->second) found.emplace_back(prefs.rows[row][1], prefs.rows[row][2]);
  return found;
}

bool FileDirStore::SetPreference(const std::string& uid, const std::string& key, const std::string& value) {
  if (!FdbValidId(uid) || key.empty()) return false;
  CheckReachable();
  FdbUserRowsTable& prefs = tables->prefs;
  FdbLockGuard lock(prefs.LockFile(), ZaExclusiveLock);
  prefs.Refresh();
  auto it = prefs.byUser.find(FdbKey(uid));
  bool replaced = false;
  if (it != prefs.byUser.end())
    for (size_t row : it->second)
      if (FdbKey(prefs.rows[row][1]) == FdbKey(key)) {
        prefs.rows[row][2] = value;
        replaced = true;
      }
  if (!replaced) prefs.rows.push_back({uid, key, value});
  prefs.Save();
  return true;
}
