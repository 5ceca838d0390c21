// The store's files as kept in memory, with the look-up maps built from them.
// Every table is re-read when its file changed (see FdbFileStamp), so a store
// object can live long while other processes change the files.
//
// Lock order, to keep processes that need several files from deadlocking:
// people, accounts, groups, a group's documents, hotlists, preferences, usage.
// Data folders are changed only under the exclusive usage lock.
#ifndef FDBSTORE_TABLES_H
#define FDBSTORE_TABLES_H

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "fdbrecords.h"
#include "fdbstore.h"

// One record file and its rows.
struct FdbTable {
  FdbTable(std::string path, const char* name, size_t width);
  virtual ~FdbTable() = default;
  // Re-reads the file when it changed; the caller holds its lock. Look-ups
  // need no check of the data folder of their own: a lock file that cannot be
  // opened, or a table gone with its folder, raises the level-3 error here.
  void Refresh();
  // Replaces the file with the rows; the caller holds it exclusively. When the
  // write fails the rows no longer match the file and are read again next time.
  void Save();
  std::string LockFile() const { return path + ".lck"; }

  std::string path;
  const char* name;
  size_t width;  // fields per row; short rows are padded
  FdbFileStamp stamp;
  FdbPinnedFile pinned;  // the file `stamp` describes
  bool loaded = false;  // rows hold the file as `stamp` describes it
  std::vector<FdbRecord> rows;

 protected:
  virtual void Reindex() = 0;
};

// uid, login, admin, hash, name, last login.
struct FdbAccountTable : FdbTable {
  explicit FdbAccountTable(const std::string& dir);
  void Reindex() override;
  static FdbAccount Decode(const FdbRecord& row);
  static FdbRecord Encode(const FdbAccount& account);
  std::unordered_map<std::string, size_t> byUid, byLogin;
};

// gid, name, owner, shared, members (comma separated).
struct FdbGroupTable : FdbTable {
  explicit FdbGroupTable(const std::string& dir);
  void Reindex() override;
  static FdbGroup Decode(const FdbRecord& row);
  static FdbRecord Encode(const FdbGroup& group);
  std::unordered_map<std::string, size_t> byGid;
  std::unordered_map<std::string, std::vector<size_t>> byMember, byOwner;
};

// Rows owned by a user ID in the first field: hotlists (uid, kind, target)
// and preferences (uid, key, value).
struct FdbUserRowsTable : FdbTable {
  FdbUserRowsTable(const std::string& path, const char* name);
  void Reindex() override;
  void RemoveRows(const std::vector<bool>& doomed);
  std::unordered_map<std::string, std::vector<size_t>> byUser;
};

// Usage summary: kind ("user" or "group"), ID, bytes, and the modification
// time of the data folder when the bytes were counted.
struct FdbUsageTable : FdbTable {
  explicit FdbUsageTable(const std::string& dir);
  void Reindex() override;
  void Put(bool group, const std::string& id, long long bytes, long long folderMtime);
  void Drop(bool group, const std::string& id);
  static std::string Key(bool group, const std::string& id);
  std::unordered_map<std::string, size_t> byKey;
};

// The people as listed in the summary file beside the vCard file.
struct FdbPeopleCache {
  FdbFileStamp vcfStamp;
  FdbPinnedFile pinned;  // the vCard file `vcfStamp` describes
  bool loaded = false;  // list holds the vCard file as `vcfStamp` describes it
  std::vector<FdbPerson> list;
  std::unordered_map<std::string, size_t> byUid;
  void Reindex();
};

// Raises a ZaError* of level 3 when the data folder is missing or unusable.
void FdbCheckReachable(const std::string& dir);

// Brings the cache up to date with the files; the caller holds the people lock.
void FdbLoadPeople(FdbPeopleCache& cache, const std::string& dir);
std::string FdbPeopleLock(const std::string& dir);

struct FileDirStore::Tables {
  explicit Tables(const std::string& dir);
  FdbPeopleCache people;
  FdbAccountTable accounts;
  FdbGroupTable groups;
  FdbUserRowsTable hotlists, prefs;
  FdbUsageTable usage;
};

// File names inside the data folder.
extern const char kFdbMarkerFile[];
extern const char kFdbPeopleFile[];
extern const char kFdbIndexFile[];
extern const char kFdbPeopleSummary[];

// Creates a new file of `bytes` bytes (a hole, so it takes no real space) in
// folder, making the folder when needed; false when it cannot.
bool FdbWriteDataFile(const std::string& folder, long long bytes);
// Checks and completes the cards and appends them to the vCard file; the
// caller holds the people lock exclusively. Nothing changes when one fails.
void FdbAppendCards(FdbPeopleCache& cache, const std::string& dir,
                    std::vector<std::unique_ptr<VCard>>* cards);
long long FdbFolderMtime(const std::string& folder);  // 0 when missing
// Measures the folder for the usage summary: its size, and the modification
// time to trust that size by, or -1 when the folder changed while (or in the
// same clock tick as) it was measured, so that a listing measures it again.
std::pair<long long, long long> FdbMeasureFolder(const std::string& folder);
long long FdbFolderSize(const std::string& folder);   // ZaGetDirSize; 0 when missing

#endif
