#include "fdbstore.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>

#include "fdbstore_tables.h"
#include "vcard.h"
#include "zaerror.h"
#include "zafile.h"

static const char kSource[] = "stores/filedb/src/fdbstore";

const char kFdbMarkerFile[] = "filedb.lst";
const char kFdbPeopleFile[] = "people.vcf";
const char kFdbIndexFile[] = "people.idx";
const char kFdbPeopleSummary[] = "people.tab";

bool FdbValidId(const std::string& id) {
  if (id.empty() || id.size() > 64 || id[0] == '.') return false;
  for (unsigned char c : id)
    if (!isalnum(c) && c != '.' && c != '_' && c != '-' && c != '@') return false;
  return true;
}

std::string FdbKey(const std::string& id) {
  std::string key = id;
  for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return key;
}

long long FdbFolderMtime(const std::string& folder) { return FdbStampOf(folder).mtimeNs; }

std::pair<long long, long long> FdbMeasureFolder(const std::string& folder) {
  // File times come from the kernel's coarse clock (or a finer one that is
  // never behind it), so any change from now on gives the folder a time at
  // least `start`; a time before it proves the size below is still right.
  struct timespec now;
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  long long start = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
  long long bytes = FdbFolderSize(folder), mtime = FdbFolderMtime(folder);
  return {bytes, mtime < start ? mtime : -1};
}

long long FdbFolderSize(const std::string& folder) {
  if (ZaCheckIfDirectory(folder.c_str()) != ZaTrue) return 0;
  return ZaGetDirSize(folder.c_str());
}

// ---- cached tables ----

FdbTable::FdbTable(std::string p, const char* n, size_t w) : path(std::move(p)), name(n), width(w) {}

void FdbTable::Refresh() {
  FdbFileStamp now = FdbStampOf(path);
  // A missing file is an empty table, unless the whole folder went away.
  if (!now.exists) FdbCheckReachable(path.substr(0, path.rfind('/')));
  if (loaded && now == stamp) return;
  loaded = false;
  rows = FdbReadRecords(path, name);
  for (FdbRecord& row : rows) row.resize(width);
  stamp = now;
  pinned.Pin(path);  // under the lock: the same file as read
  loaded = true;
  Reindex();
}

void FdbTable::Save() {
  try {
    FdbReplaceFile(path, FdbFormatRecords(name, rows));
  } catch (ZaError*) {
    loaded = false;  // the rows hold a change the file does not have
    throw;
  }
  stamp = FdbStampOf(path);
  pinned.Pin(path);
  Reindex();
}

FdbAccountTable::FdbAccountTable(const std::string& dir) : FdbTable(dir + "/accounts.tab", "accounts", 6) {}

void FdbAccountTable::Reindex() {
  byUid.clear();
  byLogin.clear();
  for (size_t i = 0; i < rows.size(); ++i) {
    byUid[FdbKey(rows[i][0])] = i;
    byLogin[FdbKey(rows[i][1])] = i;
  }
}

FdbAccount FdbAccountTable::Decode(const FdbRecord& row) {
  FdbAccount a;
  a.uid = row[0];
  a.login = row[1];
  a.admin = row[2] == "1";
  a.hash = row[3];
  a.name = row[4];
  a.lastLogin = atoll(row[5].c_str());
  return a;
}

FdbRecord FdbAccountTable::Encode(const FdbAccount& a) {
  return {a.uid, a.login, a.admin ? "1" : "0", a.hash, a.name, std::to_string(a.lastLogin)};
}

FdbGroupTable::FdbGroupTable(const std::string& dir) : FdbTable(dir + "/groups.tab", "groups", 5) {}

void FdbGroupTable::Reindex() {
  byGid.clear();
  byMember.clear();
  byOwner.clear();
  for (size_t i = 0; i < rows.size(); ++i) {
    byGid[FdbKey(rows[i][0])] = i;
    byOwner[FdbKey(rows[i][2])].push_back(i);
    for (const std::string& m : Decode(rows[i]).members) byMember[FdbKey(m)].push_back(i);
  }
}

FdbGroup FdbGroupTable::Decode(const FdbRecord& row) {
  FdbGroup g;
  g.gid = row[0];
  g.name = row[1];
  g.owner = row[2];
  g.shared = row[3] == "1";
  const std::string& list = row[4];
  for (size_t start = 0; start < list.size();) {
    size_t comma = std::min(list.find(',', start), list.size());
    if (comma > start) g.members.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return g;
}

FdbRecord FdbGroupTable::Encode(const FdbGroup& g) {
  std::string members;
  for (const std::string& m : g.members) members += (members.empty() ? "" : ",") + m;
  return {g.gid, g.name, g.owner, g.shared ? "1" : "0", members};
}

FdbUserRowsTable::FdbUserRowsTable(const std::string& p, const char* n) : FdbTable(p, n, 3) {}

void FdbUserRowsTable::Reindex() {
  byUser.clear();
  for (size_t i = 0; i < rows.size(); ++i) byUser[FdbKey(rows[i][0])].push_back(i);
}

void FdbUserRowsTable::RemoveRows(const std::vector<bool>& doomed) {
  std::vector<FdbRecord> kept;
  kept.reserve(rows.size());
  for (size_t i = 0; i < rows.size(); ++i)
    if (!doomed[i]) kept.push_back(std::move(rows[i]));
  rows.swap(kept);
}

FdbUsageTable::FdbUsageTable(const std::string& dir) : FdbTable(dir + "/usage.tab", "usage", 4) {}

std::string FdbUsageTable::Key(bool group, const std::string& id) {
  return (group ? "group:" : "user:") + FdbKey(id);
}

void FdbUsageTable::Reindex() {
  byKey.clear();
  for (size_t i = 0; i < rows.size(); ++i) byKey[Key(rows[i][0] == "group", rows[i][1])] = i;
}

void FdbUsageTable::Put(bool group, const std::string& id, long long bytes, long long folderMtime) {
  FdbRecord row = {group ? "group" : "user", id, std::to_string(bytes), std::to_string(folderMtime)};
  auto it = byKey.find(Key(group, id));
  if (it != byKey.end()) {
    rows[it->second] = row;
    return;
  }
  byKey[Key(group, id)] = rows.size();
  rows.push_back(row);
}

void FdbUsageTable::Drop(bool group, const std::string& id) {
  auto it = byKey.find(Key(group, id));
  if (it == byKey.end()) return;
  rows.erase(rows.begin() + it->second);
  Reindex();
}

void FdbPeopleCache::Reindex() {
  byUid.clear();
  for (size_t i = 0; i < list.size(); ++i) byUid[FdbKey(list[i].uid)] = i;
}

FileDirStore::Tables::Tables(const std::string& dir)
    : accounts(dir),
      groups(dir),
      hotlists(dir + "/hotlists.tab", "hotlists"),
      prefs(dir + "/prefs.tab", "prefs"),
      usage(dir) {}

// ---- the store ----

FileDirStore::FileDirStore(const std::string& dataDir) : dir(dataDir), tables(new Tables(dataDir)) {}
FileDirStore::~FileDirStore() = default;

void FdbCheckReachable(const std::string& dir) {
  if (ZaCheckIfDirectory(dir.c_str()) != ZaTrue || access(dir.c_str(), R_OK | X_OK) != 0)
    FdbFail(__LINE__, kSource, "The directory store's data folder " + dir + " cannot be reached", 3);
}

void FileDirStore::CheckReachable() const { FdbCheckReachable(dir); }

bool FileDirStore::IsInitialised() const {
  return ZaCheckIfFile((dir + "/" + kFdbMarkerFile).c_str()) == ZaTrue;
}

void FileDirStore::Initialise() {
  for (const std::string& d : {dir, dir + "/users", dir + "/groups", dir + "/documents"})
    if (ZaMkdir(d.c_str(), 0755, ZaTrue) != ZaTrue)
      FdbFail(__LINE__, kSource, "Unable to create the folder " + d, 3);
  if (IsInitialised()) return;
  std::string text = "BEGIN:vNameList\nformat:filedb\nversion:1\nEND:vNameList\n";
  FdbReplaceFile(dir + "/" + kFdbMarkerFile, text);
}

std::string FileDirStore::UserFolder(const std::string& uid) const { return dir + "/users/" + FdbKey(uid); }
std::string FileDirStore::GroupFolder(const std::string& gid) const { return dir + "/groups/" + FdbKey(gid); }
std::string FileDirStore::DocumentFile(const std::string& gid) const {
  return dir + "/documents/" + FdbKey(gid) + ".lst";
}
