// Groups, hotlists, preferences, documents and data folders of the LDAP store.
// Changes to a group are single modify operations, which the server applies
// whole, so that parallel requests lose no member.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "ldapstore.h"
#include "zadate.h"
#include "zadocument.h"
#include "zafile.h"
#include "zalock.h"

static const char kSource[] = "stores/ldapdb/src/ldapgroups";
static const std::vector<std::string> kGroupAttrs = {"zarvoGroupId", "cn", "owner", "member", "zarvoShared"};

// A folder name for an ID: lower case, with every byte other than letters,
// digits, '_', '-', '@' and an inner '.' written as %XX, so that no ID can
// reach outside the folder it is kept in.
static std::string FolderName(const std::string& id) {
  std::string out;
  for (unsigned char c : LdapKey(id)) {
    if (isalnum(c) || c == '_' || c == '-' || c == '@' || (c == '.' && !out.empty())) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      snprintf(hex, sizeof hex, "%%%02x", c);
      out += hex;
    }
  }
  return out;
}

std::string LdapDirStore::UserFolder(const std::string& uid) const {
  return conn->Settings().dataDir + "/users/" + FolderName(uid);
}
std::string LdapDirStore::GroupFolder(const std::string& gid) const {
  return conn->Settings().dataDir + "/groups/" + FolderName(gid);
}
std::string LdapDirStore::DocumentFile(const std::string& gid) const {
  return conn->Settings().dataDir + "/documents/" + FolderName(gid) + ".lst";
}

static long long Usage(const std::string& folder) {
  return ZaCheckIfDirectory(folder.c_str()) == ZaTrue ? ZaGetDirSize(folder.c_str()) : 0;
}
long long LdapDirStore::UserUsage(const std::string& uid) { return uid.empty() ? 0 : Usage(UserFolder(uid)); }
long long LdapDirStore::GroupUsage(const std::string& gid) { return gid.empty() ? 0 : Usage(GroupFolder(gid)); }

// ---------------------------------------------------------------- groups

LdapGroup LdapDirStore::GroupOf(const LdapEntry& e) const {
  LdapGroup g;
  g.gid = e.First("zarvogroupid");
  g.name = e.First("cn");
  g.owner = LdapFirstRdnValue(e.First("owner"));
  g.shared = e.First("zarvoshared") == "TRUE";
  for (const std::string& dn : e.All("member")) {
    std::string uid = LdapFirstRdnValue(dn);
    if (!uid.empty()) g.members.push_back(uid);
  }
  return g;
}

bool LdapDirStore::FindGroup(const std::string& gid, LdapGroup* out) {
  if (gid.empty()) return false;
  LdapEntry e;
  if (!conn->Read(GroupDN(gid), kGroupAttrs, &e)) return false;
  if (out) *out = GroupOf(e);
  return true;
}

void LdapDirStore::Groups(const std::function<void(const LdapGroup&)>& each) {
  conn->Search(GroupsDN(), LDAP_SCOPE_ONELEVEL, "(objectClass=zarvoGroup)", kGroupAttrs,
               [&](const LdapEntry& e) { each(GroupOf(e)); });
}

std::vector<std::string> LdapDirStore::GroupsWith(const char* attr, const std::string& uid) {
  std::vector<std::string> gids;
  if (uid.empty()) return gids;
  conn->Search(GroupsDN(), LDAP_SCOPE_ONELEVEL,
               std::string("(&(objectClass=zarvoGroup)(") + attr + "=" + LdapFilterValue(AccountDN(uid)) + "))",
               {"zarvoGroupId"}, [&](const LdapEntry& e) { gids.push_back(e.First("zarvogroupid")); });
  return gids;
}

std::vector<std::string> LdapDirStore::GroupsOfUser(const std::string& uid) { return GroupsWith("member", uid); }
std::vector<std::string> LdapDirStore::GroupsOwnedBy(const std::string& uid) { return GroupsWith("owner", uid); }

bool LdapDirStore::AddGroup(const LdapGroup& group) {
  if (group.gid.empty() || group.name.empty() || !FindAccount(group.owner, nullptr)) return false;
  std::vector<std::string> members = {AccountDN(group.owner)};
  std::vector<std::string> seen = {LdapKey(group.owner)};
  for (const std::string& m : group.members) {
    if (std::find(seen.begin(), seen.end(), LdapKey(m)) != seen.end()) continue;
    if (!FindAccount(m, nullptr)) return false;
    seen.push_back(LdapKey(m));
    members.push_back(AccountDN(m));
  }
  return conn->Add(GroupDN(group.gid),
                   {{LDAP_MOD_ADD, "objectClass", {"groupOfNames", "zarvoGroup"}},
                    {LDAP_MOD_ADD, "zarvoGroupId", {group.gid}},
                    {LDAP_MOD_ADD, "cn", {group.name}},
                    {LDAP_MOD_ADD, "owner", {AccountDN(group.owner)}},
                    {LDAP_MOD_ADD, "member", members},
                    {LDAP_MOD_ADD, "zarvoShared", {group.shared ? "TRUE" : "FALSE"}}},
                   {LDAP_ALREADY_EXISTS}) == LDAP_SUCCESS;
}

bool LdapDirStore::AddMember(const std::string& gid, const std::string& uid) {
  if (gid.empty() || !FindAccount(uid, nullptr)) return false;
  return conn->Modify(GroupDN(gid), {{LDAP_MOD_ADD, "member", {AccountDN(uid)}}},
                      {LDAP_NO_SUCH_OBJECT, LDAP_TYPE_OR_VALUE_EXISTS}) == LDAP_SUCCESS;
}

bool LdapDirStore::RemoveMember(const std::string& gid, const std::string& uid) {
  if (gid.empty() || uid.empty()) return false;
  std::string member = AccountDN(uid);
  // The server checks that the user does not own the group as it removes the member.
  return conn->Modify(GroupDN(gid), {{LDAP_MOD_DELETE, "member", {member}}},
                      {LDAP_NO_SUCH_OBJECT, LDAP_NO_SUCH_ATTRIBUTE, LDAP_ASSERTION_FAILED},
                      "(!(owner=" + LdapFilterValue(member) + "))") == LDAP_SUCCESS;
}

bool LdapDirStore::ChangeOwner(const std::string& gid, const std::string& newOwner) {
  if (gid.empty() || !FindAccount(newOwner, nullptr)) return false;
  std::string owner = AccountDN(newOwner);
  int rc = conn->Modify(GroupDN(gid), {{LDAP_MOD_REPLACE, "owner", {owner}}, {LDAP_MOD_ADD, "member", {owner}}},
                        {LDAP_NO_SUCH_OBJECT, LDAP_TYPE_OR_VALUE_EXISTS});
  if (rc == LDAP_TYPE_OR_VALUE_EXISTS)  // already a member
    rc = conn->Modify(GroupDN(gid), {{LDAP_MOD_REPLACE, "owner", {owner}}}, {LDAP_NO_SUCH_OBJECT});
  return rc == LDAP_SUCCESS;
}

bool LdapDirStore::DeleteGroup(const std::string& gid, bool removeData) {
  LdapGroup g;
  if (!FindGroup(gid, &g)) return false;
  std::vector<std::string> holders;
  conn->Search(AccountsDN(), LDAP_SCOPE_ONELEVEL, "(zarvoHotlistGroup=" + LdapFilterValue(gid) + ")", {"1.1"},
               [&](const LdapEntry& e) { holders.push_back(e.dn); });
  for (const std::string& dn : holders)
    conn->Modify(dn, {{LDAP_MOD_DELETE, "zarvoHotlistGroup", {gid}}}, {LDAP_NO_SUCH_ATTRIBUTE, LDAP_NO_SUCH_OBJECT});
  if (removeData) {
    ZaLockFileGuard lock((DocumentFile(gid) + ".lck").c_str(), ZaExclusiveLock);
    ZaRemoveFile(DocumentFile(gid).c_str());
    ZaRemoveDir(GroupFolder(gid).c_str());
  }
  // The entry goes last: while it exists, the deletion can be run again.
  return conn->Delete(GroupDN(gid), {LDAP_NO_SUCH_OBJECT}) == LDAP_SUCCESS;
}

// ---------------------------------------------------------------- documents

ZaDocumentObjList* LdapDirStore::GroupDocuments(const std::string& gid) {
  std::unique_ptr<ZaDocumentObjList> list(new ZaDocumentObjList);
  if (gid.empty()) return list.release();
  std::string path = DocumentFile(gid);
  if (ZaCheckIfFile(path.c_str()) != ZaTrue) return list.release();
  ZaLockFileGuard lock((path + ".lck").c_str(), ZaSharedLock);
  list->Read(&path[0]);
  return list.release();
}

bool LdapDirStore::AddDocument(const std::string& gid, const LdapDocument& doc) {
  if (doc.name.empty() || !FindGroup(gid, nullptr)) return false;
  ZaMkdir((conn->Settings().dataDir + "/documents").c_str(), 0755, ZaTrue);
  std::string path = DocumentFile(gid);
  ZaLockFileGuard lock((path + ".lck").c_str(), ZaExclusiveLock);
  ZaDocumentObjList list;
  if (ZaCheckIfFile(path.c_str()) == ZaTrue) list.Read(&path[0]);
  if (list.Lookup(const_cast<char*>(doc.name.c_str()))) return false;
  ZaDocumentObj* record = new ZaDocumentObj;
  list.Add(record);
  record->name = strdup(doc.name.c_str());
  record->description = strdup(doc.description.c_str());
  record->owner = strdup(doc.owner.c_str());
  record->created = new ZaDate();
  // Readers see the old list or the new one, never a part.
  std::string temporary = path + ".new";
  list.Write(&temporary[0]);
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    ZaError* e = new ZaError;
    e->AddLine(__LINE__, kSource, ("Unable to replace " + path).c_str(), ZaFalse);
    throw e;
  }
  return true;
}

// ---------------------------------------------------------------- hotlists and preferences

static const char* HotlistAttr(LdapHotlistKind kind) {
  return kind == kLdapHotlistPerson ? "zarvoHotlistPerson" : "zarvoHotlistGroup";
}

std::vector<std::string> LdapDirStore::Hotlist(const std::string& uid, LdapHotlistKind kind) {
  LdapEntry e;
  if (uid.empty() || !conn->Read(AccountDN(uid), {HotlistAttr(kind)}, &e)) return {};
  return e.All(LdapKey(HotlistAttr(kind)));
}

bool LdapDirStore::AddToHotlist(const std::string& uid, LdapHotlistKind kind, const std::string& target) {
  if (uid.empty() || target.empty()) return false;
  bool exists = kind == kLdapHotlistPerson ? FindPerson(target, nullptr) : FindGroup(target, nullptr);
  return exists && conn->Modify(AccountDN(uid), {{LDAP_MOD_ADD, HotlistAttr(kind), {target}}},
                                {LDAP_NO_SUCH_OBJECT, LDAP_TYPE_OR_VALUE_EXISTS}) == LDAP_SUCCESS;
}

std::vector<std::pair<std::string, std::string>> LdapDirStore::Preferences(const std::string& uid) {
  std::vector<std::pair<std::string, std::string>> prefs;
  LdapEntry e;
  if (uid.empty() || !conn->Read(AccountDN(uid), {"zarvoPreference"}, &e)) return prefs;
  for (const std::string& v : e.All("zarvopreference")) {
    size_t eq = v.find('=');
    if (eq != std::string::npos) prefs.emplace_back(v.substr(0, eq), v.substr(eq + 1));
  }
  return prefs;
}

bool LdapDirStore::SetPreference(const std::string& uid, const std::string& key, const std::string& value) {
  if (key.empty() || key.find('=') != std::string::npos) return false;
  std::vector<LdapMod> mods;
  for (const auto& p : Preferences(uid))
    if (LdapKey(p.first) == LdapKey(key)) mods.push_back({LDAP_MOD_DELETE, "zarvoPreference", {p.first + "=" + p.second}});
  mods.push_back({LDAP_MOD_ADD, "zarvoPreference", {key + "=" + value}});
  return conn->Modify(AccountDN(uid), mods, {LDAP_NO_SUCH_OBJECT, LDAP_NO_SUCH_ATTRIBUTE, LDAP_TYPE_OR_VALUE_EXISTS}) ==
         LDAP_SUCCESS;
}
