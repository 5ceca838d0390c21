// Disk usage. Single users and groups are measured directly (ZaGetDirSize).
// The listings over everybody read the summary "usage.tab", which every
// change made through the store keeps up to date, and trust an entry while
// its folder's modification time is the one recorded with it; any other
// folder (changed behind the store's back, or new) is measured again. Files
// that other programs add, remove or replace by renaming, as the store itself
// does, always change that time; changes inside sub-folders and files
// rewritten in place do not, and wait for a rescan.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "fdblock.h"
#include "fdbstore.h"
#include "fdbstore_tables.h"
#include "zafile.h"

static const char kSource[] = "stores/filedb/src/fdbusage";

long long FileDirStore::UserUsage(const std::string& uid) {
  if (!FdbValidId(uid)) return 0;
  CheckReachable();
  FdbLockGuard lock(tables->usage.LockFile(), ZaSharedLock);
  return FdbFolderSize(UserFolder(uid));
}

long long FileDirStore::GroupUsage(const std::string& gid) {
  if (!FdbValidId(gid)) return 0;
  CheckReachable();
  FdbLockGuard lock(tables->usage.LockFile(), ZaSharedLock);
  return FdbFolderSize(GroupFolder(gid));
}

// Usage of each ID from the summary where it is still right; caller holds the usage lock.
static std::vector<std::pair<std::string, long long>> Summarise(FileDirStore& store, FdbUsageTable& usage,
                                                                const std::vector<std::string>& ids,
                                                                bool group) {
  usage.Refresh();
  std::vector<std::pair<std::string, long long>> result;
  result.reserve(ids.size());
  for (const std::string& id : ids) {
    std::string folder = group ? store.GroupFolder(id) : store.UserFolder(id);
    long long mtime = FdbFolderMtime(folder), bytes = 0;
    auto it = usage.byKey.find(FdbUsageTable::Key(group, id));
    if (it != usage.byKey.end() && usage.rows[it->second][3] == std::to_string(mtime))
      bytes = atoll(usage.rows[it->second][2].c_str());
    else if (mtime)
      bytes = FdbFolderSize(folder);
    result.emplace_back(id, bytes);
  }
  std::stable_sort(result.begin(), result.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  return result;
}

std::vector<std::pair<std::string, long long>> FileDirStore::AllUserUsage() {
  CheckReachable();
  std::vector<std::string> ids;
  {
    FdbLockGuard lock(tables->accounts.LockFile(), ZaSharedLock);
    tables->accounts.Refresh();
    for (const FdbRecord& row : tables->accounts.rows) ids.push_back(row[0]);
  }
  FdbLockGuard lock(tables->usage.LockFile(), ZaSharedLock);
  return Summarise(*this, tables->usage, ids, false);
}

std::vector<std::pair<std::string, long long>> FileDirStore::AllGroupUsage() {
  CheckReachable();
  std::vector<std::string> ids;
  {
    FdbLockGuard lock(tables->groups.LockFile(), ZaSharedLock);
    tables->groups.Refresh();
    for (const FdbRecord& row : tables->groups.rows) ids.push_back(row[0]);
  }
  FdbLockGuard lock(tables->usage.LockFile(), ZaSharedLock);
  return Summarise(*this, tables->usage, ids, true);
}

bool FdbWriteDataFile(const std::string& folder, long long bytes) {
  if (ZaMkdir(folder.c_str(), 0755, ZaTrue) != ZaTrue) return false;
  std::string name = folder + "/data-XXXXXX";
  int fd = mkstemp(&name[0]);
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0644) == 0 && ftruncate(fd, bytes) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok) unlink(name.c_str());
  return ok;
}

bool FileDirStore::AddUsageFile(bool group, const std::string& id, long long bytes) {
  if (bytes < 0) return false;
  CheckReachable();
  FdbTable& owners = group ? static_cast<FdbTable&>(tables->groups) : tables->accounts;
  FdbLockGuard lock(owners.LockFile(), ZaSharedLock);
  owners.Refresh();
  bool known = group ? tables->groups.byGid.count(FdbKey(id)) : tables->accounts.byUid.count(FdbKey(id));
  if (!known) return false;
  FdbLockGuard usageLock(tables->usage.LockFile(), ZaExclusiveLock);
  std::string folder = group ? GroupFolder(id) : UserFolder(id);
  if (!FdbWriteDataFile(folder, bytes)) FdbFail(__LINE__, kSource, "Unable to write a file into " + folder);
  tables->usage.Refresh();
  std::pair<long long, long long> measured = FdbMeasureFolder(folder);
  tables->usage.Put(group, id, measured.first, measured.second);
  tables->usage.Save();
  return true;
}

void FileDirStore::RescanUsage() {
  CheckReachable();
  FdbLockGuard accountLock(tables->accounts.LockFile(), ZaSharedLock);
  FdbLockGuard groupLock(tables->groups.LockFile(), ZaSharedLock);
  FdbLockGuard usageLock(tables->usage.LockFile(), ZaExclusiveLock);
  tables->accounts.Refresh();
  tables->groups.Refresh();
  FdbUsageTable& usage = tables->usage;
  usage.Refresh();
  usage.rows.clear();
  usage.byKey.clear();
  for (const FdbRecord& row : tables->accounts.rows) {
    std::pair<long long, long long> measured = FdbMeasureFolder(UserFolder(row[0]));
    usage.Put(false, row[0], measured.first, measured.second);
  }
  for (const FdbRecord& row : tables->groups.rows) {
    std::pair<long long, long long> measured = FdbMeasureFolder(GroupFolder(row[0]));
    usage.Put(true, row[0], measured.first, measured.second);
  }
  usage.Save();
}
