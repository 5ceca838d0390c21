// Groups, members, owners, documents' records, hotlists and preferences.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "fdbsqlite.h"
#include "fdbstore.h"
#include "fdbstore_internal.h"
#include "zadate.h"
#include "zadocument.h"
#include "zafile.h"
#include "zastorefolders.h"
#include "zastorelimits.h"
#include "zastoresql.h"

static const char kSource[] = "stores/filedb/src/fdbgroups";

typedef ZaSqlStatements Sql;

static std::vector<std::string> Column(FdbQuery& q) {
  std::vector<std::string> values;
  while (q.Next()) values.push_back(q.Text(0));
  return values;
}

static bool HasAccount(FdbDatabase& db, const std::string& uid) {
  FdbQuery q(db, Sql::kFindAccount);
  return q.Bind(ZaStoreKey(uid)).Next();
}

bool FileDirStore::FindGroup(const std::string& gid, FdbGroup* out) {
  FdbDatabase& d = Db();
  FdbTransaction read(d, false);  // the group and its members as of one moment
  FdbQuery q(d, Sql::kFindGroup);
  if (!q.Bind(ZaStoreKey(gid)).Next()) return false;
  if (!out) return true;
  out->gid = q.Text(0);
  out->name = q.Text(1);
  out->owner = q.Text(2);
  out->shared = q.Number(3) != 0;
  FdbQuery members(d, Sql::kMembers);
  members.Bind(ZaStoreKey(gid));
  out->members = Column(members);
  read.Commit();
  return true;
}

std::vector<FdbGroup> FileDirStore::Groups() {
  FdbDatabase& d = Db();
  FdbTransaction read(d, false);
  std::vector<FdbGroup> groups;
  std::unordered_map<std::string, size_t> byKey;
  FdbQuery q(d, Sql::kGroups);
  while (q.Next()) {
    FdbGroup g;
    g.gid = q.Text(0);
    g.name = q.Text(1);
    g.owner = q.Text(2);
    g.shared = q.Number(3) != 0;
    byKey[ZaStoreKey(g.gid)] = groups.size();
    groups.push_back(g);
  }
  FdbQuery members(d, Sql::kAllMembers);
  while (members.Next()) {
    auto it = byKey.find(members.Text(0));
    if (it != byKey.end()) groups[it->second].members.push_back(members.Text(1));
  }
  read.Commit();
  return groups;
}

std::vector<std::pair<std::string, std::string>> FileDirStore::GroupNames() {
  std::vector<std::pair<std::string, std::string>> names;
  FdbQuery q(Db(), Sql::kGroupNames);
  while (q.Next()) names.emplace_back(q.Text(0), q.Text(1));
  return names;
}

std::vector<std::string> FileDirStore::GroupsOfUser(const std::string& uid) {
  FdbQuery q(Db(), Sql::kGroupsOfUser);
  q.Bind(ZaStoreKey(uid));
  return Column(q);
}

std::vector<std::string> FileDirStore::GroupsOwnedBy(const std::string& uid) {
  FdbQuery q(Db(), Sql::kGroupsOwnedBy);
  q.Bind(ZaStoreKey(uid));
  return Column(q);
}

void FileDirStore::AddGroup(const FdbGroup& group) {
  ZaCheckStoreId(group.gid, "group ID");
  if (group.name.empty()) ZaStoreRefuse(__LINE__, kSource, "A group needs a name");
  ZaCheckStoreText(group.name, "the group name");
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  if (FindGroup(group.gid, nullptr)) ZaStoreRefuse(__LINE__, kSource, "The group " + group.gid + " exists already");
  std::vector<std::string> members = {group.owner};
  members.insert(members.end(), group.members.begin(), group.members.end());
  for (const std::string& uid : members)
    if (!HasAccount(d, uid)) ZaStoreRefuse(__LINE__, kSource, "The user " + uid + " has no account");
  FdbAccount owner;
  FindAccount(group.owner, &owner);
  std::string key = ZaStoreKey(group.gid);
  FdbQuery(d, Sql::kAddGroup)
      .Bind(key).Bind(group.gid).Bind(group.name).Bind(FdbSortKey(group.name))
      .Bind(ZaStoreKey(owner.uid)).Bind(owner.uid).Bind(group.shared ? 1 : 0)
      .Run();
  for (const std::string& uid : members) {
    FdbAccount member;
    FindAccount(uid, &member);
    FdbQuery(d, Sql::kAddMember).Bind(key).Bind(ZaStoreKey(uid)).Bind(member.uid).Run();
  }
  if (ZaMkdir(GroupFolder(group.gid).c_str(), 0755, ZaTrue) != ZaTrue)
    ZaStoreFail(__LINE__, kSource, "Unable to create the folder " + GroupFolder(group.gid), 3);
  FdbQuery(d, Sql::kSetGroupUsage).Bind(key).Bind(ZaStoreFolderSize(GroupFolder(group.gid))).Run();
  change.Commit();
}

bool FileDirStore::AddMember(const std::string& gid, const std::string& uid) {
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  FdbAccount member;
  if (!FindGroup(gid, nullptr) || !FindAccount(uid, &member)) return false;
  FdbQuery(d, Sql::kAddMember).Bind(ZaStoreKey(gid)).Bind(ZaStoreKey(uid)).Bind(member.uid).Run();
  change.Commit();
  return true;
}

bool FileDirStore::RemoveMember(const std::string& gid, const std::string& uid) {
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  FdbGroup g;
  if (!FindGroup(gid, &g) || ZaStoreKey(g.owner) == ZaStoreKey(uid)) return false;
  FdbQuery q(d, Sql::kRemoveMember);
  q.Bind(ZaStoreKey(gid)).Bind(ZaStoreKey(uid)).Run();
  bool removed = q.Changes() > 0;
  change.Commit();
  return removed;
}

bool FileDirStore::ChangeOwner(const std::string& gid, const std::string& newOwner) {
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  FdbAccount owner;
  if (!FindGroup(gid, nullptr) || !FindAccount(newOwner, &owner)) return false;
  std::string key = ZaStoreKey(gid);
  FdbQuery(d, Sql::kChangeOwner).Bind(key).Bind(ZaStoreKey(owner.uid)).Bind(owner.uid).Run();
  FdbQuery(d, Sql::kAddMember).Bind(key).Bind(ZaStoreKey(owner.uid)).Bind(owner.uid).Run();
  change.Commit();
  return true;
}

// The group's document list in its file form, for the archive folder.
static void ArchiveDocuments(ZaDocumentObjList* docs, const std::string& folder) {
  if (!docs->count) return;
  if (ZaMkdir(folder.c_str(), 0755, ZaTrue) != ZaTrue)
    ZaStoreFail(__LINE__, kSource, "Unable to create the folder " + folder, 3);
  std::string path = folder + "/documents.lst";
  docs->Write(&path[0]);
}

bool FileDirStore::DeleteGroup(const std::string& gid, bool removeData) {
  if (!ZaStoreValidId(gid)) return false;
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  if (!FindGroup(gid, nullptr)) return false;
  std::string key = ZaStoreKey(gid);
  std::unique_ptr<ZaDocumentObjList> docs(GroupDocuments(gid));
  FdbQuery(d, Sql::kDropTarget).Bind(static_cast<long long>(kFdbHotlistGroup)).Bind(key).Run();
  // Members and documents' records go with the group (foreign keys).
  FdbQuery(d, Sql::kDeleteGroup).Bind(key).Run();
  // The files go last, still inside the transaction: should that fail, the
  // group stays whole and the deletion can be repeated.
  if (removeData)
    ZaStoreRemoveFolder(GroupFolder(gid));
  else
    ArchiveDocuments(docs.get(), GroupFolder(gid));
  change.Commit();
  return true;
}

ZaDocumentObjList* FileDirStore::GroupDocuments(const std::string& gid) {
  std::unique_ptr<ZaDocumentObjList> list(new ZaDocumentObjList);
  if (!ZaStoreValidId(gid)) return list.release();
  FdbQuery q(Db(), Sql::kDocuments);
  q.Bind(ZaStoreKey(gid));
  // Add puts each record at the front: collected first, then added last to first.
  std::vector<ZaDocumentObj*> records;
  try {
    while (q.Next()) {
      ZaDocumentObj* record = new ZaDocumentObj;
      records.push_back(record);
      record->name = strdup(q.Text(0).c_str());
      record->description = strdup(q.Text(1).c_str());
      record->owner = strdup(q.Text(2).c_str());
      record->created = new ZaDate(q.Text(3).c_str());
    }
  } catch (ZaError*) {
    for (ZaDocumentObj* r : records) delete r;
    throw;
  }
  for (auto r = records.rbegin(); r != records.rend(); ++r) list->Add(*r);
  return list.release();
}

// The creation time in the versit form the document records keep.
static std::string VersitNow() {
  ZaDate now;
  char* text = now.VersitStyleString();
  std::string s = text ? text : "";
  free(text);
  return s;
}

bool FileDirStore::AddDocument(const std::string& gid, const FdbDocument& doc) {
  if (doc.name.empty()) return false;
  ZaCheckStoreText(doc.name, "the document name");
  ZaCheckStoreText(doc.description, "the description", kZaStoreMaxDescription);
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  if (!FindGroup(gid, nullptr)) return false;
  std::string key = ZaStoreKey(gid), nameKey = FdbSortKey(doc.name);
  FdbQuery exists(d, Sql::kFindDocument);
  if (exists.Bind(key).Bind(nameKey).Next()) return false;
  FdbQuery(d, Sql::kAddDocument).Bind(key).Bind(nameKey).Bind(doc.name).Bind(doc.description).Bind(doc.owner)
      .Bind(VersitNow()).Run();
  change.Commit();
  return true;
}

std::vector<std::string> FileDirStore::Hotlist(const std::string& uid, FdbHotlistKind kind) {
  FdbQuery q(Db(), Sql::kHotlist);
  q.Bind(ZaStoreKey(uid)).Bind(static_cast<long long>(kind));
  return Column(q);
}

bool FileDirStore::AddToHotlist(const std::string& uid, FdbHotlistKind kind, const std::string& target) {
  FdbDatabase& d = Db();
  FdbTransaction change(d, true);
  if (!HasAccount(d, uid)) return false;
  std::string stored;
  if (kind == kFdbHotlistPerson) {
    FdbPerson p;
    if (!FindPerson(target, &p)) return false;
    stored = p.uid;
  } else {
    FdbGroup g;
    if (!FindGroup(target, &g)) return false;
    stored = g.gid;
  }
  FdbQuery(d, Sql::kAddHotlist).Bind(ZaStoreKey(uid)).Bind(static_cast<long long>(kind)).Bind(ZaStoreKey(stored))
      .Bind(stored).Run();
  change.Commit();
  return true;
}

std::vector<std::pair<std::string, std::string>> FileDirStore::Preferences(const std::string& uid) {
  std::vector<std::pair<std::string, std::string>> prefs;
  FdbQuery q(Db(), Sql::kPreferences);
  q.Bind(ZaStoreKey(uid));
  while (q.Next()) prefs.emplace_back(q.Text(0), q.Text(1));
  return prefs;
}

bool FileDirStore::SetPreference(const std::string& uid, const std::string& key, const std::string& value) {
  if (!ZaStoreValidId(uid) || key.empty()) return false;
  FdbQuery(Db(), Sql::kAddPreference).Bind(ZaStoreKey(uid)).Bind(ZaStoreKey(key)).Bind(key).Bind(value).Run();
  return true;
}
