// Filling an empty store in one go: every file is written once, so that a
// directory of a hundred thousand people is made in seconds.
#include <cstdlib>
#include <cstring>
#include <map>

#include "fdblock.h"
#include "fdbstore.h"
#include "fdbstore_tables.h"
#include "vcard.h"
#include "zadate.h"
#include "zadocument.h"
#include "zafile.h"

static const char kSource[] = "stores/filedb/src/fdbbulk";

[[noreturn]] static void UserError(int line, const std::string& message) {
  ZaError* e = new ZaError;
  e->level = 4;
  e->AddLine(line, kSource, message.c_str(), ZaTrue);
  throw e;
}

static void WriteDocuments(const std::string& path, const std::vector<const FdbDocument*>& docs) {
  ZaDocumentObjList list;
  for (const FdbDocument* doc : docs) {
    ZaDocumentObj* record = new ZaDocumentObj;
    list.Add(record);
    record->name = strdup(doc->name.c_str());
    record->description = strdup(doc->description.c_str());
    record->owner = strdup(doc->owner.c_str());
    record->created = new ZaDate();
  }
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  if (!f) FdbFail(__LINE__, kSource, "Out of memory while writing a document list");
  list.Write(f);
  fclose(f);
  std::string text(buf, len);
  free(buf);
  FdbReplaceFile(path, text);
}

void FileDirStore::BulkLoad(ZaStoreBulkData* data) {
  CheckReachable();
  if (!IsInitialised()) UserError(__LINE__, "The store in " + dir + " is not initialised");
  Tables& t = *tables;
  FdbLockGuard peopleLock(FdbPeopleLock(dir), ZaExclusiveLock);
  FdbLockGuard accountLock(t.accounts.LockFile(), ZaExclusiveLock);
  FdbLockGuard groupLock(t.groups.LockFile(), ZaExclusiveLock);
  FdbLockGuard hotlistLock(t.hotlists.LockFile(), ZaExclusiveLock);
  FdbLockGuard prefsLock(t.prefs.LockFile(), ZaExclusiveLock);
  FdbLockGuard usageLock(t.usage.LockFile(), ZaExclusiveLock);
  FdbLoadPeople(t.people, dir);
  t.accounts.Refresh();
  t.groups.Refresh();
  if (!t.people.list.empty() || !t.accounts.rows.empty() || !t.groups.rows.empty())
    UserError(__LINE__, "The store in " + dir + " is not empty");
  t.usage.Refresh();

  std::map<std::string, std::vector<const FdbDocument*>> documents;
  for (const auto& entry : data->documents) documents[entry.first].push_back(&entry.second);
  for (const auto& entry : documents) WriteDocuments(DocumentFile(entry.first), entry.second);

  std::map<std::string, long long> bytes;  // by folder
  for (const ZaStoreAccount& a : data->accounts) bytes[UserFolder(a.uid)] += 0;
  for (const FdbGroup& g : data->groups) bytes[GroupFolder(g.gid)] += 0;
  for (const auto& f : data->userFiles) bytes[UserFolder(f.first)] += f.second;
  for (const auto& f : data->groupFiles) bytes[GroupFolder(f.first)] += f.second;
  for (const auto& entry : bytes)
    if (ZaMkdir(entry.first.c_str(), 0755, ZaTrue) != ZaTrue)
      FdbFail(__LINE__, kSource, "Unable to create the folder " + entry.first, 3);
  for (const auto& f : data->userFiles)
    if (!FdbWriteDataFile(UserFolder(f.first), f.second))
      FdbFail(__LINE__, kSource, "Unable to write a data file for " + f.first, 3);
  for (const auto& f : data->groupFiles)
    if (!FdbWriteDataFile(GroupFolder(f.first), f.second))
      FdbFail(__LINE__, kSource, "Unable to write a data file for " + f.first, 3);

  // The sizes are the ones just written, and nobody else writes into folders
  // that did not exist before, so their times can be trusted as they are.
  FdbAppendCards(t.people, dir, &data->cards);
  for (const ZaStoreAccount& given : data->accounts) {
    FdbAccount a;
    a.uid = given.uid;
    a.login = given.login;
    a.name = given.name;
    a.admin = given.admin;
    auto person = t.people.byUid.find(FdbKey(a.uid));
    if (a.name.empty() && person != t.people.byUid.end()) a.name = t.people.list[person->second].name;
    t.accounts.rows.push_back(FdbAccountTable::Encode(a));
    t.usage.Put(false, a.uid, bytes[UserFolder(a.uid)], FdbFolderMtime(UserFolder(a.uid)));
  }
  t.accounts.Save();
  for (const FdbGroup& g : data->groups) {
    t.groups.rows.push_back(FdbGroupTable::Encode(g));
    t.usage.Put(true, g.gid, bytes[GroupFolder(g.gid)], FdbFolderMtime(GroupFolder(g.gid)));
  }
  t.groups.Save();
  t.hotlists.Refresh();
  for (const auto& h : data->personHotlist) t.hotlists.rows.push_back({h.first, "person", h.second});
  for (const auto& h : data->groupHotlist) t.hotlists.rows.push_back({h.first, "group", h.second});
  t.hotlists.Save();
  t.prefs.Refresh();
  for (const auto& s : data->styles) t.prefs.rows.push_back({s.first, "style", s.second});
  t.prefs.Save();
  t.usage.Save();
}
