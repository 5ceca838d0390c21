// A small in-memory directory store for the tests. It reads its people,
// accounts and groups from "testdb/seed.lst" under the installation's top
// directory when a store is opened; the user and group stores opened on the
// same top directory share one state, so a change made through one is seen by
// the other, as with a store that keeps its data on disk.
//
// Seed lines, fields separated by '|':
//   person|UID|FULL NAME|EMAIL          account|UID|LOGIN|PASSWORD|ADMIN(0/1)
//   leaver|UID (the person leaves the directory; the account stays)
//   group|GID|NAME|OWNER|SHARED(0/1)|MEMBER,MEMBER...
//   document|GID|NAME|DESCRIPTION|OWNER  hotperson|UID|UID2   hotgroup|UID|GID
//   usage-user|UID|BYTES                 usage-group|GID|BYTES  style|UID|STYLE
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "groupDB.h"
#include "userDB.h"
#include "vallist.h"
#include "vcard.h"
#include "zaconfigDB.h"
#include "zadocument.h"

namespace {

const char kSource[] = "dblib/tests/plugin/memory_store";
const int kStoreUnreachable = 3;

struct Person { std::string name, email; };
struct Account { std::string login, password; bool admin = false; };
struct Document { std::string name, description, owner; };
struct Group {
  std::string name, owner;
  bool shared = false;
  std::vector<std::string> members;
  std::vector<Document> documents;
};

struct Directory {
  std::map<std::string, Person> people;
  std::map<std::string, Account> accounts;
  std::map<std::string, Group> groups;
  std::map<std::string, std::vector<std::string>> hotPeople, hotGroups;
  std::map<std::string, long> userUsage, groupUsage;
  std::map<std::string, std::string> styles;
};

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, sep);) fields.push_back(field);
  return fields;
}

void LoadSeedLine(Directory& d, const std::vector<std::string>& f) {
  const std::string& kind = f[0];
  if (kind == "person" && f.size() >= 4) d.people[f[1]] = {f[2], f[3]};
  if (kind == "leaver" && f.size() >= 2) d.people.erase(f[1]);
  if (kind == "account" && f.size() >= 5) d.accounts[f[1]] = {f[2], f[3], f[4] == "1"};
  if (kind == "group" && f.size() >= 5) {
    Group& g = d.groups[f[1]];
    g.name = f[2];
    g.owner = f[3];
    g.shared = f[4] == "1";
    if (f.size() >= 6) g.members = Split(f[5], ',');
  }
  if (kind == "document" && f.size() >= 5) d.groups[f[1]].documents.push_back({f[2], f[3], f[4]});
  if (kind == "hotperson" && f.size() >= 3) d.hotPeople[f[1]].push_back(f[2]);
  if (kind == "hotgroup" && f.size() >= 3) d.hotGroups[f[1]].push_back(f[2]);
  if (kind == "usage-user" && f.size() >= 3) d.userUsage[f[1]] = atol(f[2].c_str());
  if (kind == "usage-group" && f.size() >= 3) d.groupUsage[f[1]] = atol(f[2].c_str());
  if (kind == "style" && f.size() >= 3) d.styles[f[1]] = f[2];
}

[[noreturn]] void RaiseUnreachable(const std::string& path) {
  ZaError* e = new ZaError();
  e->level = kStoreUnreachable;
  e->AddLine(__LINE__, kSource, ("No test store at " + path).c_str(), ZaFalse);
  throw e;
}

// One state per top directory, shared by the user and group stores.
std::shared_ptr<Directory> OpenDirectory(ZaConfigDB* config) {
  static std::map<std::string, std::weak_ptr<Directory>> open;
  std::string top = config->GetTopZarvoDir();
  if (auto existing = open[top].lock()) return existing;
  std::string path = top + "/testdb/seed.lst";
  std::ifstream in(path);
  if (!in) RaiseUnreachable(path);
  auto d = std::make_shared<Directory>();
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields = Split(line, '|');
    if (!fields.empty()) LoadSeedLine(*d, fields);
  }
  open[top] = d;
  return d;
}

char* Dup(const std::string& s) { return strdup(s.c_str()); }
ZaBoolean Bool(bool b) { return b ? ZaTrue : ZaFalse; }

ValList* ToValList(const std::vector<std::string>& items) {
  auto list = new ValList();
  for (const std::string& s : items) list->Append(s.c_str());
  return list;
}

// Disk-usage list: name ID, value display name, extra1 bytes, most bytes first.
ValNameList* UsageList(std::vector<std::pair<std::string, std::string>> named,
                       const std::map<std::string, long>& usage) {
  auto bytes = [&usage](const std::string& id) {
    auto it = usage.find(id);
    return it == usage.end() ? 0L : it->second;
  };
  std::stable_sort(named.begin(), named.end(),
                   [&bytes](const auto& a, const auto& b) { return bytes(a.first) > bytes(b.first); });
  auto list = new ValNameList();
  for (const auto& [id, name] : named)
    list->Append(id.c_str(), name.c_str(), std::to_string(bytes(id)).c_str());
  return list;
}

class MemoryUserDB : public UserDB {
 public:
  ZaBoolean Open(ZaBoolean, ZaConfigDB* config, int*) override {
    d_ = OpenDirectory(config);
    return ZaTrue;
  }
  VCard* GetBaseCard() override {
    VCard* card = new VCard();
    card->AddEntry(VCardPropFn, "Name");
    card->AddEntry(VCardPropEmail, "E-mail");
    return card;
  }
  ZaBoolean IsSetUp() override { return ZaTrue; }
  ZaBoolean NoteLogin(char* uid) override { return Bool(d_->accounts.count(uid)); }
  ZaBoolean DeleteAccount(char* uid) override { return Bool(d_->accounts.erase(uid)); }
  ZaBoolean GetLoginFlag(char* uid) override {
    auto it = d_->accounts.find(uid);
    return Bool(it != d_->accounts.end() && it->second.admin);
  }
  ZaBoolean CheckPassword(char* uid, char* password) override {
    auto it = d_->accounts.find(uid);
    return Bool(it != d_->accounts.end() && it->second.password == password);
  }
  ZaBoolean SetPassword(char* uid, char* password) override {
    auto it = d_->accounts.find(uid);
    if (it == d_->accounts.end()) return ZaFalse;
    it->second.password = password;
    return ZaTrue;
  }
  ZaBoolean UserExists(char* uid) override { return Bool(d_->people.count(uid)); }
  ZaBoolean LoginTaken(char* login) override { return Bool(UidOfLogin(login) != nullptr); }
  char* GetUidFromLogin(char* login) override {
    const std::string* uid = UidOfLogin(login);
    return uid ? Dup(*uid) : nullptr;
  }
  char* GetUidFromServerUser(char* serverUser) override {
    if (const std::string* uid = UidOfLogin(serverUser)) return Dup(*uid);
    return d_->people.count(serverUser) ? strdup(serverUser) : nullptr;
  }
  ZaBoolean AccountExists(char* uid) override { return Bool(d_->accounts.count(uid)); }
  ZaBoolean CreateAccount(char* uid, char* login) override {
    if (d_->accounts.count(uid) || UidOfLogin(login)) return ZaFalse;
    d_->accounts[uid] = {login, "", false};
    return ZaTrue;
  }
  char* GetUserName(char* uid) override {
    auto it = d_->people.find(uid);
    return it == d_->people.end() ? nullptr : Dup(it->second.name);
  }
  char* GetEmailAddress(char* uid) override {
    auto it = d_->people.find(uid);
    return it == d_->people.end() ? nullptr : Dup(it->second.email);
  }
  ValList* GetGroupsOfUser(char* uid) override {
    std::vector<std::string> gids;
    for (const auto& [gid, g] : d_->groups)
      if (std::count(g.members.begin(), g.members.end(), uid)) gids.push_back(gid);
    return ToValList(gids);
  }
  ValList* GetHotlistPeople(char* uid) override { return ToValList(d_->hotPeople[uid]); }
  ValList* GetHotlistGroups(char* uid) override { return ToValList(d_->hotGroups[uid]); }
  ValNameList* GetUserPreferences(char* uid) override {
    auto prefs = new ValNameList();
    auto it = d_->styles.find(uid);
    if (it != d_->styles.end()) prefs->Append("style", it->second.c_str());
    return prefs;
  }
  VCard* GetVCard(char* uid, ZaBoolean) override {
    auto it = d_->people.find(uid);
    if (it == d_->people.end()) return nullptr;
    VCard* card = new VCard();
    card->AddEntry(VCardPropUid, uid)->AddEntry(VCardPropFn, it->second.name.c_str());
    card->AddEntry(VCardPropN, it->second.name.c_str())->AddEntry(VCardPropEmail, it->second.email.c_str());
    return card;
  }
  long GetDiskUsage(char* uid) override { return d_->userUsage[uid]; }
  ValNameList* GetAllDiskUsage() override { return UsageList(Holders(nullptr), d_->userUsage); }
  ValNameList* GetDiskUsageOf(ValList* uids) override { return UsageList(Holders(uids), d_->userUsage); }
  ValNameList* GetCurrentUserNames() override { return GetCurrentUsers(); }
  ValNameList* GetAccountLogins() override {
    auto list = new ValNameList();
    for (const auto& [uid, a] : d_->accounts) list->Append(uid.c_str(), a.login.c_str());
    return list;
  }
  ValNameList* GetAccountNames() override {
    auto list = new ValNameList();
    for (const auto& [uid, a] : d_->accounts) {
      auto person = d_->people.find(uid);
      list->Append(uid.c_str(), person == d_->people.end() ? uid.c_str() : person->second.name.c_str());
    }
    return list;
  }
  ZaBoolean DeleteUserData(char* uid) override {
    d_->userUsage.erase(uid);
    d_->hotPeople.erase(uid);
    d_->hotGroups.erase(uid);
    d_->styles.erase(uid);
    return ZaTrue;
  }
  ZaBoolean IsNonCurrentUser(char* uid) override {
    return Bool(d_->accounts.count(uid) && !d_->people.count(uid));
  }
  ValNameList* GetCurrentUsers() override {
    auto list = new ValNameList();
    for (const auto& [uid, p] : d_->people) list->Append(uid.c_str(), p.name.c_str());
    return list;
  }

 private:
  const std::string* UidOfLogin(const char* login) {
    for (const auto& [uid, a] : d_->accounts)
      if (a.login == login) return &uid;
    return nullptr;
  }
  // Every person and account holder, or only the listed ones, with display names.
  std::vector<std::pair<std::string, std::string>> Holders(ValList* only) {
    std::map<std::string, std::string> all;
    for (const auto& [uid, a] : d_->accounts) all[uid] = uid;
    for (const auto& [uid, p] : d_->people) all[uid] = p.name;
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& entry : all)
      if (!only || only->Lookup(entry.first.c_str())) out.push_back(entry);
    return out;
  }
  std::shared_ptr<Directory> d_;
};

class MemoryGroupDB : public GroupDB {
 public:
  ZaBoolean Open(ZaConfigDB* config, int*) override {
    d_ = OpenDirectory(config);
    return ZaTrue;
  }
  char* GetGroupName(char* gid) override {
    Group* g = Find(gid);
    return g ? Dup(g->name) : nullptr;
  }
  void GetMembersOfGroups(ValList* gids, ValList* members) override {
    for (ValListItem* item = gids->head; item; item = item->next)
      if (Group* g = Find(item->value))
        for (const std::string& uid : g->members) members->Append(uid.c_str());
  }
  ZaGroupRecord* GetGroup(char* gid) override {
    Group* g = Find(gid);
    if (!g) return nullptr;
    auto record = new ZaGroupRecord();
    record->groupId = strdup(gid);
    record->ownerId = Dup(g->owner);
    record->groupName = Dup(g->name);
    record->shared = g->shared ? 1 : 0;
    record->members = ToValList(g->members);
    return record;
  }
  ValNameList* GetAllGroups() override {
    auto list = new ValNameList();
    for (const auto& [gid, g] : d_->groups) list->Append(gid.c_str(), g.name.c_str());
    return list;
  }
  ZaBoolean DeleteGroup(char* gid, UserDB*, ZaBoolean) override { return Bool(d_->groups.erase(gid)); }
  ZaDocumentObjList* GetGroupFiles(char* gid) override {
    auto list = new ZaDocumentObjList();
    if (Group* g = Find(gid)) {
      for (auto doc = g->documents.rbegin(); doc != g->documents.rend(); ++doc) {
        auto record = new ZaDocumentObj();
        record->name = Dup(doc->name);
        record->description = Dup(doc->description);
        record->owner = Dup(doc->owner);
        list->Add(record);
      }
    }
    return list;
  }
  ZaBoolean ChangeOwner(char* gid, char* newOwner, UserDB* users) override {
    Group* g = Find(gid);
    if (!g || users->UserExists(newOwner) != ZaTrue) return ZaFalse;
    g->owner = newOwner;
    return ZaTrue;
  }
  ZaBoolean RemoveMember(char* gid, char* uid, UserDB*) override {
    Group* g = Find(gid);
    if (!g) return ZaFalse;
    auto it = std::find(g->members.begin(), g->members.end(), uid);
    if (it == g->members.end()) return ZaFalse;
    g->members.erase(it);
    return ZaTrue;
  }
  ValList* GetGroupsOwnedBy(char* uid, UserDB*) override {
    std::vector<std::string> gids;
    for (const auto& [gid, g] : d_->groups)
      if (g.owner == uid) gids.push_back(gid);
    return ToValList(gids);
  }
  long GetGroupDiskUsage(char* gid) override { return d_->groupUsage[gid]; }
  ValNameList* GetAllGroupsDiskUsage() override {
    std::vector<std::pair<std::string, std::string>> named;
    for (const auto& [gid, g] : d_->groups) named.emplace_back(gid, g.name);
    return UsageList(named, d_->groupUsage);
  }

 private:
  Group* Find(const char* gid) {
    auto it = d_->groups.find(gid);
    return it == d_->groups.end() ? nullptr : &it->second;
  }
  std::shared_ptr<Directory> d_;
};

}  // namespace

extern "C" {
UserDB* ZaCreateImpUserDB() { return new MemoryUserDB(); }
void ZaDestroyImpUserDB(UserDB* db) { delete db; }
GroupDB* ZaCreateImpGroupDB() { return new MemoryGroupDB(); }
void ZaDestroyImpGroupDB(GroupDB* db) { delete db; }
}
