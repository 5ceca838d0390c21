// GroupDB over the LDAP store.
#include <unordered_map>
#include <unordered_set>

#include "ldaptraced.h"
#include "ldapuserdb.h"

static const char kSource[] = "stores/ldapdb/src/ldapgroupdb";

#define TRACED(name, ...) LdapTraced(kSource, "ZaLdapGroupDB::" name, [&]() __VA_ARGS__)

ZaLdapGroupDB::ZaLdapGroupDB() = default;
ZaLdapGroupDB::~ZaLdapGroupDB() = default;

void ZaLdapGroupDB::OpenWith(const LdapSettings& settings) {
  store.reset(new LdapDirStore(LdapConnection::Shared(settings)));
}

LdapDirStore& ZaLdapGroupDB::Store(const char* operation) {
  if (!store) {
    ZaError* e = new ZaError;
    e->AddLine(__LINE__, kSource, (std::string(operation) + " called before the store was opened").c_str(), ZaFalse);
    throw e;
  }
  return *store;
}

ZaBoolean ZaLdapGroupDB::Open(ZaConfigDB* config, int*) {
  return TRACED("Open", -> ZaBoolean {
    OpenWith(LdapSettingsFrom(config));
    return ZaTrue;
  });
}

char* ZaLdapGroupDB::GetGroupName(char* gid) {
  return TRACED("GetGroupName", -> char* {
    LdapGroup g;
    return Store("GetGroupName").FindGroup(LdapText(gid), &g) ? LdapCopy(g.name) : nullptr;
  });
}

void ZaLdapGroupDB::GetMembersOfGroups(ValList* gids, ValList* members) {
  TRACED("GetMembersOfGroups", {
    LdapDirStore& s = Store("GetMembersOfGroups");
    if (!members) return;
    std::unordered_set<std::string> listed;
    for (ValListItem* i = members->head; i; i = i->next)
      if (i->value) listed.insert(LdapKey(i->value));
    for (ValListItem* i = gids ? gids->head : nullptr; i; i = i->next) {
      LdapGroup g;
      if (i->value && s.FindGroup(i->value, &g))
        for (const std::string& m : g.members)
          if (listed.insert(LdapKey(m)).second) members->Append(m.c_str());
    }
  });
}

ZaGroupRecord* ZaLdapGroupDB::GetGroup(char* gid) {
  return TRACED("GetGroup", -> ZaGroupRecord* {
    LdapGroup g;
    if (!Store("GetGroup").FindGroup(LdapText(gid), &g)) return nullptr;
    std::unique_ptr<ZaGroupRecord> record(new ZaGroupRecord);
    record->groupId = LdapCopy(g.gid);
    record->ownerId = LdapCopy(g.owner);
    record->groupName = LdapCopy(g.name);
    record->shared = g.shared ? 1 : 0;
    record->members = LdapValList(g.members);
    return record.release();
  });
}

ValNameList* ZaLdapGroupDB::GetAllGroups() {
  return TRACED("GetAllGroups", {
    std::unique_ptr<ValNameList> list(new ValNameList);
    Store("GetAllGroups").Groups([&](const LdapGroup& g) { list->Append(g.gid.c_str(), g.name.c_str()); });
    return list.release();
  });
}

ZaBoolean ZaLdapGroupDB::DeleteGroup(char* gid, UserDB*, ZaBoolean removeData) {
  return TRACED("DeleteGroup",
                { return LdapYes(Store("DeleteGroup").DeleteGroup(LdapText(gid), removeData == ZaTrue)); });
}

ZaDocumentObjList* ZaLdapGroupDB::GetGroupFiles(char* gid) {
  return TRACED("GetGroupFiles", { return Store("GetGroupFiles").GroupDocuments(LdapText(gid)); });
}

ZaBoolean ZaLdapGroupDB::ChangeOwner(char* gid, char* newOwner, UserDB*) {
  return TRACED("ChangeOwner",
                { return LdapYes(Store("ChangeOwner").ChangeOwner(LdapText(gid), LdapText(newOwner))); });
}

ZaBoolean ZaLdapGroupDB::RemoveMember(char* gid, char* uid, UserDB*) {
  return TRACED("RemoveMember", { return LdapYes(Store("RemoveMember").RemoveMember(LdapText(gid), LdapText(uid))); });
}

ValList* ZaLdapGroupDB::GetGroupsOwnedBy(char* uid, UserDB*) {
  return TRACED("GetGroupsOwnedBy", { return LdapValList(Store("GetGroupsOwnedBy").GroupsOwnedBy(LdapText(uid))); });
}

long ZaLdapGroupDB::GetGroupDiskUsage(char* gid) {
  return TRACED("GetGroupDiskUsage",
                { return static_cast<long>(Store("GetGroupDiskUsage").GroupUsage(LdapText(gid))); });
}

ValNameList* ZaLdapGroupDB::GetAllGroupsDiskUsage() {
  return TRACED("GetAllGroupsDiskUsage", {
    LdapDirStore& s = Store("GetAllGroupsDiskUsage");
    std::vector<std::pair<LdapGroup, long long>> usage;
    s.Groups([&](const LdapGroup& g) { usage.emplace_back(g, s.GroupUsage(g.gid)); });
    std::stable_sort(usage.begin(), usage.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::unique_ptr<ValNameList> list(new ValNameList);
    for (const auto& u : usage)
      list->Append(u.first.gid.c_str(), u.first.name.c_str(), std::to_string(u.second).c_str());
    return list.release();
  });
}
