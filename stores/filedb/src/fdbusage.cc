// Disk usage. One user's or group's usage is measured from the data folder
// (ZaGetDirSize); the listings over everybody read the figures kept with each
// account and group, largest first from an index, so that they cost the same
// whatever the size of the folders. The store's own changes keep the figures
// right; files that other programs change wait for `zastore usage rescan`.
#include "fdbsqlite.h"
#include "fdbstore.h"
#include "zastorefolders.h"
#include "zastorelimits.h"
#include "zastoresql.h"

static const char kSource[] = "stores/filedb/src/fdbusage";

typedef ZaSqlStatements Sql;

long long FileDirStore::UserUsage(const std::string& uid) {
  if (!ZaStoreValidId(uid)) return 0;
  Db();
  return ZaStoreFolderSize(UserFolder(uid));
}

long long FileDirStore::GroupUsage(const std::string& gid) {
  if (!ZaStoreValidId(gid)) return 0;
  Db();
  return ZaStoreFolderSize(GroupFolder(gid));
}

static std::vector<FdbUsage> Listing(FdbDatabase& db, const char* sql) {
  std::vector<FdbUsage> usage;
  FdbQuery q(db, sql);
  while (q.Next()) usage.push_back({q.Text(0), q.Text(1), q.Number(2)});
  return usage;
}

std::vector<FdbUsage> FileDirStore::AllUserUsage() { return Listing(Db(), Sql::kUserUsage); }
std::vector<FdbUsage> FileDirStore::AllGroupUsage() { return Listing(Db(), Sql::kGroupUsage); }

bool FileDirStore::AddUsageFile(bool group, const std::string& id, long long bytes) {
  if (bytes < 0) return false;
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  if (group ? !FindGroup(id, nullptr) : !FindAccount(id, nullptr)) return false;
  std::string folder = group ? GroupFolder(id) : UserFolder(id);
  if (!ZaStoreWriteDataFile(folder, bytes)) ZaStoreFail(__LINE__, kSource, "Unable to write a file into " + folder);
  FdbQuery(d, group ? Sql::kSetGroupUsage : Sql::kSetUserUsage).Bind(ZaStoreKey(id)).Bind(ZaStoreFolderSize(folder)).Run();
  change.Commit();
  return true;
}

void FileDirStore::RescanUsage() {
  FdbDatabase& d = Db();
  // Measured first, written in one short transaction.
  std::vector<std::pair<std::string, long long>> users, groups;
  for (const FdbAccount& a : Accounts()) users.emplace_back(ZaStoreKey(a.uid), ZaStoreFolderSize(UserFolder(a.uid)));
  for (const FdbUsage& g : AllGroupUsage()) groups.emplace_back(ZaStoreKey(g.id), ZaStoreFolderSize(GroupFolder(g.id)));
  FdbTransaction change(d, true);
  for (const auto& u : users) FdbQuery(d, Sql::kSetUserUsage).Bind(u.first).Bind(u.second).Run();
  for (const auto& g : groups) FdbQuery(d, Sql::kSetGroupUsage).Bind(g.first).Bind(g.second).Run();
  change.Commit();
}
