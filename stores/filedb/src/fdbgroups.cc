// Groups ("groups.tab"): name, owner, sharing flag and members per group ID,
// the group's data folder, and its document list ("documents/<gid>.lst").
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fdblock.h"
#include "fdbstore.h"
#include "fdbstore_tables.h"
#include "zadate.h"
#include "zadocument.h"
#include "zafile.h"
#include "zalock.h"

static const char kSource[] = "stores/filedb/src/fdbgroups";

[[noreturn]] static void UserError(int line, const std::string& message) {
  ZaError* e = new ZaError;
  e->level = 4;
  e->AddLine(line, kSource, message.c_str(), ZaTrue);
  throw e;
}

static bool IsMember(const FdbGroup& g, const std::string& uid) {
  for (const std::string& m : g.members)
    if (FdbKey(m) == FdbKey(uid)) return true;
  return false;
}

bool FileDirStore::FindGroup(const std::string& gid, FdbGroup* out) {
  FdbGroupTable& groups = tables->groups;
  FdbLockGuard lock(groups.LockFile(), ZaSharedLock);
  groups.Refresh();
  auto it = groups.byGid.find(FdbKey(gid));
  if (it == groups.byGid.end()) return false;
  if (out) *out = FdbGroupTable::Decode(groups.rows[it->second]);
  return true;
}

std::vector<FdbGroup> FileDirStore::Groups() {
  CheckReachable();
  FdbGroupTable& groups = tables->groups;
  FdbLockGuard lock(groups.LockFile(), ZaSharedLock);
  groups.Refresh();
  std::vector<FdbGroup> all;
  all.reserve(groups.rows.size());
  for (const FdbRecord& row : groups.rows) all.push_back(FdbGroupTable::Decode(row));
  return all;
}

static std::vector<std::string> GroupIds(FdbGroupTable& groups,
                                         const std::unordered_map<std::string, std::vector<size_t>>& index,
                                         const std::string& uid) {
  std::vector<std::string> ids;
  auto it = index.find(FdbKey(uid));
  if (it != index.end())
    for (size_t row : it->second) ids.push_back(groups.rows[row][0]);
  return ids;
}

std::vector<std::string> FileDirStore::GroupsOfUser(const std::string& uid) {
  FdbGroupTable& groups = tables->groups;
  FdbLockGuard lock(groups.LockFile(), ZaSharedLock);
  groups.Refresh();
  return GroupIds(groups, groups.byMember, uid);
}

std::vector<std::string> FileDirStore::GroupsOwnedBy(const std::string& uid) {
  FdbGroupTable& groups = tables->groups;
  FdbLockGuard lock(groups.LockFile(), ZaSharedLock);
  groups.Refresh();
  return GroupIds(groups, groups.byOwner, uid);
}

void FileDirStore::AddGroup(const FdbGroup& group) {
  if (!FdbValidId(group.gid)) UserError(__LINE__, "Invalid group ID \"" + group.gid + "\"");
  if (group.name.empty()) UserError(__LINE__, "A group needs a name");
  CheckReachable();
  FdbAccountTable& accounts = tables->accounts;
  FdbGroupTable& groups = tables->groups;
  FdbLockGuard accountLock(accounts.LockFile(), ZaSharedLock);
  FdbLockGuard groupLock(groups.LockFile(), ZaExclusiveLock);
  FdbLockGuard usageLock(tables->usage.LockFile(), ZaExclusiveLock);
  accounts.Refresh();
  groups.Refresh();
  if (groups.byGid.count(FdbKey(group.gid))) UserError(__LINE__, "The group " + group.gid + " exists already");
  FdbGroup added = group;
  added.members.clear();
  std::vector<std::string> wanted = {group.owner};
  wanted.insert(wanted.end(), group.members.begin(), group.members.end());
  for (const std::string& uid : wanted) {
    if (!accounts.byUid.count(FdbKey(uid))) UserError(__LINE__, "The user " + uid + " has no account");
    if (!IsMember(added, uid)) added.members.push_back(uid);
  }
  if (ZaMkdir(GroupFolder(group.gid).c_str(), 0755, ZaTrue) != ZaTrue)
    FdbFail(__LINE__, kSource, "Unable to create the data folder of group " + group.gid, 3);
  groups.rows.push_back(FdbGroupTable::Encode(added));
  groups.Save();
}

// Changes one group under the exclusive group lock (after a shared lock on
// the accounts when `needAccount` names a user who must have one).
template <class Change>
static bool ChangeGroup(FileDirStore::Tables& t, const std::string& gid, const std::string& needAccount,
                        Change change) {
  std::unique_ptr<FdbLockGuard> accountLock;
  if (!needAccount.empty()) {
    accountLock.reset(new FdbLockGuard(t.accounts.LockFile(), ZaSharedLock));
    t.accounts.Refresh();
    if (!t.accounts.byUid.count(FdbKey(needAccount))) return false;
  }
  FdbLockGuard lock(t.groups.LockFile(), ZaExclusiveLock);
  t.groups.Refresh();
  auto it = t.groups.byGid.find(FdbKey(gid));
  if (it == t.groups.byGid.end()) return false;
  FdbGroup group = FdbGroupTable::Decode(t.groups.rows[it->second]);
  if (!change(group)) return false;
  t.groups.rows[it->second] = FdbGroupTable::Encode(group);
  t.groups.Save();
  return true;
}

bool FileDirStore::AddMember(const std::string& gid, const std::string& uid) {
  if (uid.empty()) return false;
  CheckReachable();
  bool member = false;  // true once the group and the account were found
  ChangeGroup(*tables, gid, uid, [&](FdbGroup& g) {
    member = true;
    if (IsMember(g, uid)) return false;
    g.members.push_back(uid);
    return true;
  });
  return member;
}

bool FileDirStore::RemoveMember(const std::string& gid, const std::string& uid) {
  CheckReachable();
  return ChangeGroup(*tables, gid, "", [&](FdbGroup& g) {
    // The owner stays a member; ownership has to move first.
    if (FdbKey(g.owner) == FdbKey(uid) || !IsMember(g, uid)) return false;
    for (size_t i = 0; i < g.members.size(); ++i)
      if (FdbKey(g.members[i]) == FdbKey(uid)) g.members.erase(g.members.begin() + i--);
    return true;
  });
}

bool FileDirStore::ChangeOwner(const std::string& gid, const std::string& newOwner) {
  if (newOwner.empty()) return false;
  CheckReachable();
  return ChangeGroup(*tables, gid, newOwner, [&](FdbGroup& g) {
    g.owner = newOwner;
    if (!IsMember(g, newOwner)) g.members.push_back(newOwner);
    return true;
  });
}

bool FileDirStore::DeleteGroup(const std::string& gid, bool removeData) {
  if (!FdbValidId(gid)) return false;
  CheckReachable();
  FdbGroupTable& groups = tables->groups;
  FdbUserRowsTable& hotlists = tables->hotlists;
  FdbLockGuard groupLock(groups.LockFile(), ZaExclusiveLock);
  ZaLockFileGuard documentLock((DocumentFile(gid) + ".lck").c_str(), ZaExclusiveLock);
  FdbLockGuard hotlistLock(hotlists.LockFile(), ZaExclusiveLock);
  FdbLockGuard usageLock(tables->usage.LockFile(), ZaExclusiveLock);
  groups.Refresh();
  auto it = groups.byGid.find(FdbKey(gid));
  if (it == groups.byGid.end()) return false;
  groups.rows.erase(groups.rows.begin() + it->second);
  groups.Save();
  hotlists.Refresh();
  std::vector<bool> doomed(hotlists.rows.size());
  for (size_t i = 0; i < doomed.size(); ++i)
    doomed[i] = hotlists.rows[i][1] == "group" && FdbKey(hotlists.rows[i][2]) == FdbKey(gid);
  hotlists.RemoveRows(doomed);
  hotlists.Save();
  if (removeData) {
    ZaRemoveFile(DocumentFile(gid).c_str());
    ZaRemoveDir(GroupFolder(gid).c_str());
    tables->usage.Refresh();
    tables->usage.Drop(true, gid);
    tables->usage.Save();
  }
  return true;
}

ZaDocumentObjList* FileDirStore::GroupDocuments(const std::string& gid) {
  std::unique_ptr<ZaDocumentObjList> list(new ZaDocumentObjList);
  if (!FdbValidId(gid)) return list.release();
  CheckReachable();
  std::string path = DocumentFile(gid);
  ZaLockFileGuard lock((path + ".lck").c_str(), ZaSharedLock);
  list->Read(&path[0]);
  return list.release();
}

// The list in its file form.
static std::string DocumentText(ZaDocumentObjList* list) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  if (!f) FdbFail(__LINE__, kSource, "Out of memory while writing a document list");
  list->Write(f);
  fclose(f);
  std::string text(buf, len);
  free(buf);
  return text;
}

bool FileDirStore::AddDocument(const std::string& gid, const FdbDocument& doc) {
  if (doc.name.empty()) return false;
  CheckReachable();
  FdbGroupTable& groups = tables->groups;
  FdbLockGuard groupLock(groups.LockFile(), ZaSharedLock);
  groups.Refresh();
  if (!groups.byGid.count(FdbKey(gid))) return false;
  std::string path = DocumentFile(gid);
  ZaLockFileGuard lock((path + ".lck").c_str(), ZaExclusiveLock);
  ZaDocumentObjList list;
  list.Read(&path[0]);
  if (list.Lookup(const_cast<char*>(doc.name.c_str()))) return false;
  ZaDocumentObj* record = new ZaDocumentObj;
  list.Add(record);
  record->name = strdup(doc.name.c_str());
  record->description = strdup(doc.description.c_str());
  record->owner = strdup(doc.owner.c_str());
  record->created = new ZaDate();
  FdbReplaceFile(path, DocumentText(&list));
  return true;
}
