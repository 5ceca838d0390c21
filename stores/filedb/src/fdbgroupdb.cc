// GroupDB over the embedded store. The UserDB arguments are not needed:
// people and groups live in the same store.
#include <cstring>
#include <unordered_set>

#include "fdbuserdb.h"
#include "vallist.h"
#include "zastorelimits.h"
#include "zadocument.h"

static const char kSource[] = "stores/filedb/src/fdbgroupdb";

static std::string Text(const char* s) { return s ? s : ""; }
static ZaBoolean Yes(bool b) { return b ? ZaTrue : ZaFalse; }

template <class F>
static auto Traced(const char* where, F f) -> decltype(f()) {
  try {
    return f();
  } catch (ZaError* e) {
    e->AddLine(__LINE__, kSource, (std::string("Error in ZaFileGroupDB::") + where).c_str(), ZaFalse);
    throw;
  }
}

ZaFileGroupDB::ZaFileGroupDB() = default;
ZaFileGroupDB::~ZaFileGroupDB() = default;

void ZaFileGroupDB::OpenAt(const std::string& dataDir) {
  std::unique_ptr<FileDirStore> opened(new FileDirStore(dataDir));
  opened->CheckReachable();
  store = std::move(opened);
}

FileDirStore& ZaFileGroupDB::Store(const char* operation) {
  if (!store) ZaStoreFail(__LINE__, kSource, std::string(operation) + " called before the store was opened");
  return *store;
}

ZaBoolean ZaFileGroupDB::Open(ZaConfigDB* config, int*) {
  return Traced("Open", [&] {
    OpenAt(FdbDataDirFrom(config));
    return ZaTrue;
  });
}

char* ZaFileGroupDB::GetGroupName(char* gid) {
  return Traced("GetGroupName", [&]() -> char* {
    FdbGroup g;
    return Store("GetGroupName").FindGroup(Text(gid), &g) ? strdup(g.name.c_str()) : nullptr;
  });
}

void ZaFileGroupDB::GetMembersOfGroups(ValList* gids, ValList* members) {
  Traced("GetMembersOfGroups", [&] {
    FileDirStore& s = Store("GetMembersOfGroups");
    if (!members) return;
    // IDs already listed, by key: a mail link to many large groups would
    // otherwise search the growing list once per member.
    std::unordered_set<std::string> listed;
    for (ValListItem* i = members->head; i; i = i->next)
      if (i->value) listed.insert(ZaStoreKey(i->value));
    for (ValListItem* i = gids ? gids->head : nullptr; i; i = i->next) {
      FdbGroup g;
      if (i->value && s.FindGroup(i->value, &g))
        for (const std::string& m : g.members)
          if (listed.insert(ZaStoreKey(m)).second) members->Append(m.c_str());
    }
  });
}

ZaGroupRecord* ZaFileGroupDB::GetGroup(char* gid) {
  return Traced("GetGroup", [&]() -> ZaGroupRecord* {
    FdbGroup g;
    if (!Store("GetGroup").FindGroup(Text(gid), &g)) return nullptr;
    ZaGroupRecord* record = new ZaGroupRecord;
    record->groupId = strdup(g.gid.c_str());
    record->ownerId = strdup(g.owner.c_str());
    record->groupName = strdup(g.name.c_str());
    record->shared = g.shared ? 1 : 0;
    record->members = new ValList;
    for (const std::string& m : g.members) record->members->Append(m.c_str());
    return record;
  });
}

ValNameList* ZaFileGroupDB::GetAllGroups() {
  return Traced("GetAllGroups", [&] {
    ValNameList* list = new ValNameList;
    for (const auto& g : Store("GetAllGroups").GroupNames()) list->Append(g.first.c_str(), g.second.c_str());
    return list;
  });
}

ZaBoolean ZaFileGroupDB::DeleteGroup(char* gid, UserDB*, ZaBoolean removeData) {
  return Traced("DeleteGroup",
                [&] { return Yes(Store("DeleteGroup").DeleteGroup(Text(gid), removeData == ZaTrue)); });
}

ZaDocumentObjList* ZaFileGroupDB::GetGroupFiles(char* gid) {
  return Traced("GetGroupFiles", [&] { return Store("GetGroupFiles").GroupDocuments(Text(gid)); });
}

ZaBoolean ZaFileGroupDB::ChangeOwner(char* gid, char* newOwner, UserDB*) {
  return Traced("ChangeOwner",
                [&] { return Yes(Store("ChangeOwner").ChangeOwner(Text(gid), Text(newOwner))); });
}

ZaBoolean ZaFileGroupDB::RemoveMember(char* gid, char* uid, UserDB*) {
  return Traced("RemoveMember", [&] { return Yes(Store("RemoveMember").RemoveMember(Text(gid), Text(uid))); });
}

ValList* ZaFileGroupDB::GetGroupsOwnedBy(char* uid, UserDB*) {
  return Traced("GetGroupsOwnedBy", [&] {
    ValList* list = new ValList;
    for (const std::string& gid : Store("GetGroupsOwnedBy").GroupsOwnedBy(Text(uid))) list->Append(gid.c_str());
    return list;
  });
}

long ZaFileGroupDB::GetGroupDiskUsage(char* gid) {
  return Traced("GetGroupDiskUsage",
                [&] { return static_cast<long>(Store("GetGroupDiskUsage").GroupUsage(Text(gid))); });
}

ValNameList* ZaFileGroupDB::GetAllGroupsDiskUsage() {
  return Traced("GetAllGroupsDiskUsage", [&] {
    ValNameList* list = new ValNameList;
    for (const FdbUsage& u : Store("GetAllGroupsDiskUsage").AllGroupUsage())
      list->Append(u.id.c_str(), u.name.c_str(), std::to_string(u.bytes).c_str());
    return list;
  });
}
