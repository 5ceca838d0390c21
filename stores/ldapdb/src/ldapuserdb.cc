// UserDB over the LDAP store.
#include "ldapuserdb.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "ldaptraced.h"
#include "vcard.h"

static const char kSource[] = "stores/ldapdb/src/ldapuserdb";

#define TRACED(name, ...) LdapTraced(kSource, "ZaLdapUserDB::" name, [&]() __VA_ARGS__)

ZaLdapUserDB::ZaLdapUserDB() = default;
ZaLdapUserDB::~ZaLdapUserDB() = default;

void ZaLdapUserDB::OpenWith(const LdapSettings& settings) {
  store.reset(new LdapDirStore(LdapConnection::Shared(settings)));
}

LdapDirStore& ZaLdapUserDB::Store(const char* operation) {
  if (!store) {
    ZaError* e = new ZaError;
    e->AddLine(__LINE__, kSource, (std::string(operation) + " called before the store was opened").c_str(), ZaFalse);
    throw e;
  }
  return *store;
}

// Only takes the settings: the server is reached on first use.
ZaBoolean ZaLdapUserDB::Open(ZaBoolean, ZaConfigDB* config, int*) {
  return TRACED("Open", -> ZaBoolean {
    OpenWith(LdapSettingsFrom(config));
    return ZaTrue;
  });
}

VCard* ZaLdapUserDB::GetBaseCard() {
  // The fields a person table offers, each labelled by its value.
  VCard* card = new VCard;
  card->AddEntry(VCardPropFn, "Name");
  card->AddEntry(VCardPropEmail, "E-mail");
  card->AddEntry((new VCardEntry(VCardPropTel, "Work phone"))->AddSubType(VCardKindType, VCardTypeWork));
  card->AddEntry(VCardPropTitle, "Title");
  return card;
}

ZaBoolean ZaLdapUserDB::IsSetUp() { return TRACED("IsSetUp", { return LdapYes(Store("IsSetUp").IsInitialised()); }); }

ZaBoolean ZaLdapUserDB::NoteLogin(char* uid) {
  return TRACED("NoteLogin", { return LdapYes(Store("NoteLogin").NoteLogin(LdapText(uid))); });
}

ZaBoolean ZaLdapUserDB::DeleteAccount(char* uid) {
  return TRACED("DeleteAccount", { return LdapYes(Store("DeleteAccount").DeleteAccount(LdapText(uid))); });
}

ZaBoolean ZaLdapUserDB::GetLoginFlag(char* uid) {
  return TRACED("GetLoginFlag", {
    LdapAccount a;
    return LdapYes(Store("GetLoginFlag").FindAccount(LdapText(uid), &a) && a.admin);
  });
}

ZaBoolean ZaLdapUserDB::CheckPassword(char* uid, char* password) {
  return TRACED("CheckPassword", {
    return LdapYes(password && Store("CheckPassword").CheckPassword(LdapText(uid), password));
  });
}

ZaBoolean ZaLdapUserDB::SetPassword(char* uid, char* password) {
  return TRACED("SetPassword", {
    return LdapYes(password && *password && Store("SetPassword").SetPassword(LdapText(uid), password));
  });
}

ZaBoolean ZaLdapUserDB::UserExists(char* uid) {
  return TRACED("UserExists", { return LdapYes(Store("UserExists").FindPerson(LdapText(uid), nullptr)); });
}

ZaBoolean ZaLdapUserDB::LoginTaken(char* login) {
  return TRACED("LoginTaken", { return LdapYes(Store("LoginTaken").FindAccountByLogin(LdapText(login), nullptr)); });
}

char* ZaLdapUserDB::GetUidFromLogin(char* login) {
  return TRACED("GetUidFromLogin", -> char* {
    LdapAccount a;
    return Store("GetUidFromLogin").FindAccountByLogin(LdapText(login), &a) ? LdapCopy(a.uid) : nullptr;
  });
}

char* ZaLdapUserDB::GetUidFromServerUser(char* serverUser) {
  // The web server's user is a person's user ID or the login name of the
  // account of a person still in the directory.
  return TRACED("GetUidFromServerUser", -> char* {
    LdapDirStore& s = Store("GetUidFromServerUser");
    LdapPerson p;
    if (s.FindPerson(LdapText(serverUser), &p)) return LdapCopy(p.uid);
    LdapAccount a;
    if (s.FindAccountByLogin(LdapText(serverUser), &a) && s.FindPerson(a.uid, nullptr)) return LdapCopy(a.uid);
    return nullptr;
  });
}

ZaBoolean ZaLdapUserDB::AccountExists(char* uid) {
  return TRACED("AccountExists", { return LdapYes(Store("AccountExists").FindAccount(LdapText(uid), nullptr)); });
}

ZaBoolean ZaLdapUserDB::CreateAccount(char* uid, char* login) {
  return TRACED("CreateAccount", {
    return LdapYes(Store("CreateAccount").CreateAccount(LdapText(uid), LdapText(login), false));
  });
}

char* ZaLdapUserDB::GetUserName(char* uid) {
  // Users who left the directory keep the name their account remembers;
  // an unknown ID stands for itself.
  return TRACED("GetUserName", -> char* {
    LdapDirStore& s = Store("GetUserName");
    LdapPerson p;
    LdapAccount a;
    if (s.FindPerson(LdapText(uid), &p)) return LdapCopy(p.name);
    if (s.FindAccount(LdapText(uid), &a) && !a.name.empty()) return LdapCopy(a.name);
    return LdapCopy(LdapText(uid));
  });
}

char* ZaLdapUserDB::GetEmailAddress(char* uid) {
  return TRACED("GetEmailAddress", -> char* {
    LdapPerson p;
    return Store("GetEmailAddress").FindPerson(LdapText(uid), &p) && !p.email.empty() ? LdapCopy(p.email) : nullptr;
  });
}

ValList* ZaLdapUserDB::GetGroupsOfUser(char* uid) {
  return TRACED("GetGroupsOfUser", { return LdapValList(Store("GetGroupsOfUser").GroupsOfUser(LdapText(uid))); });
}

ValList* ZaLdapUserDB::GetHotlistPeople(char* uid) {
  return TRACED("GetHotlistPeople",
                { return LdapValList(Store("GetHotlistPeople").Hotlist(LdapText(uid), kLdapHotlistPerson)); });
}

ValList* ZaLdapUserDB::GetHotlistGroups(char* uid) {
  return TRACED("GetHotlistGroups",
                { return LdapValList(Store("GetHotlistGroups").Hotlist(LdapText(uid), kLdapHotlistGroup)); });
}

ValNameList* ZaLdapUserDB::GetUserPreferences(char* uid) {
  return TRACED("GetUserPreferences", {
    std::unique_ptr<ValNameList> list(new ValNameList);
    for (const auto& p : Store("GetUserPreferences").Preferences(LdapText(uid)))
      list->Append(p.first.c_str(), p.second.c_str());
    return list.release();
  });
}

VCard* ZaLdapUserDB::GetVCard(char* uid, ZaBoolean) {
  return TRACED("GetVCard", { return Store("GetVCard").ReadCard(LdapText(uid)); });
}

long ZaLdapUserDB::GetDiskUsage(char* uid) {
  return TRACED("GetDiskUsage", { return static_cast<long>(Store("GetDiskUsage").UserUsage(LdapText(uid))); });
}

// Display names by lower-cased user ID: of the people in the directory, and
// the names that accounts remember for those who left.
static std::unordered_map<std::string, std::string> NamesOf(LdapDirStore& s, const std::vector<LdapAccount>& accounts) {
  std::unordered_map<std::string, std::string> names;
  for (const LdapAccount& a : accounts) names[LdapKey(a.uid)] = a.name.empty() ? a.uid : a.name;
  s.People([&](const LdapPerson& p) { names[LdapKey(p.uid)] = p.name; });
  return names;
}

static std::vector<LdapAccount> AccountsOf(LdapDirStore& s) {
  std::vector<LdapAccount> all;
  s.Accounts([&](const LdapAccount& a) { all.push_back(a); });
  return all;
}

// One item per user, largest first: user ID, display name, bytes.
static ValNameList* UsageList(LdapDirStore& s, const std::vector<std::string>& uids,
                              const std::unordered_map<std::string, std::string>& names) {
  std::vector<std::pair<std::string, long long>> usage;
  std::unordered_set<std::string> seen;
  for (const std::string& u : uids)
    if (seen.insert(LdapKey(u)).second) usage.emplace_back(u, s.UserUsage(u));
  std::stable_sort(usage.begin(), usage.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  std::unique_ptr<ValNameList> list(new ValNameList);
  for (const auto& u : usage) {
    auto name = names.find(LdapKey(u.first));
    list->Append(u.first.c_str(), name == names.end() ? u.first.c_str() : name->second.c_str(),
                 std::to_string(u.second).c_str());
  }
  return list.release();
}

ValNameList* ZaLdapUserDB::GetAllDiskUsage() {
  return TRACED("GetAllDiskUsage", {
    LdapDirStore& s = Store("GetAllDiskUsage");
    std::vector<LdapAccount> accounts = AccountsOf(s);
    std::vector<std::string> uids;
    for (const LdapAccount& a : accounts) uids.push_back(a.uid);
    return UsageList(s, uids, NamesOf(s, accounts));
  });
}

ValNameList* ZaLdapUserDB::GetDiskUsageOf(ValList* uids) {
  return TRACED("GetDiskUsageOf", {
    LdapDirStore& s = Store("GetDiskUsageOf");
    std::vector<std::string> wanted;
    for (ValListItem* i = uids ? uids->head : nullptr; i; i = i->next)
      if (i->value) wanted.push_back(i->value);
    // Names of the listed users only, in few searches.
    s.Prefetch(wanted);
    std::unordered_map<std::string, std::string> names;
    for (const std::string& u : wanted) {
      LdapPerson p;
      LdapAccount a;
      if (s.FindPerson(u, &p)) names[LdapKey(u)] = p.name;
      else if (s.FindAccount(u, &a) && !a.name.empty()) names[LdapKey(u)] = a.name;
    }
    return UsageList(s, wanted, names);
  });
}

static ValNameList* PeopleList(LdapDirStore& s) {
  std::unique_ptr<ValNameList> list(new ValNameList);
  s.People([&](const LdapPerson& p) { list->Append(p.uid.c_str(), p.name.c_str()); });
  return list.release();
}

ValNameList* ZaLdapUserDB::GetCurrentUserNames() {
  return TRACED("GetCurrentUserNames", { return PeopleList(Store("GetCurrentUserNames")); });
}

ValNameList* ZaLdapUserDB::GetCurrentUsers() {
  return TRACED("GetCurrentUsers", { return PeopleList(Store("GetCurrentUsers")); });
}

ValNameList* ZaLdapUserDB::GetAccountLogins() {
  return TRACED("GetAccountLogins", {
    std::unique_ptr<ValNameList> list(new ValNameList);
    Store("GetAccountLogins").Accounts([&](const LdapAccount& a) { list->Append(a.uid.c_str(), a.login.c_str()); });
    return list.release();
  });
}

ValNameList* ZaLdapUserDB::GetAccountNames() {
  return TRACED("GetAccountNames", {
    LdapDirStore& s = Store("GetAccountNames");
    std::vector<LdapAccount> accounts = AccountsOf(s);
    std::unordered_map<std::string, std::string> names = NamesOf(s, accounts);
    std::unique_ptr<ValNameList> list(new ValNameList);
    for (const LdapAccount& a : accounts) list->Append(a.uid.c_str(), names[LdapKey(a.uid)].c_str());
    return list.release();
  });
}

ZaBoolean ZaLdapUserDB::DeleteUserData(char* uid) {
  return TRACED("DeleteUserData", { return LdapYes(Store("DeleteUserData").DeleteUserData(LdapText(uid))); });
}

ZaBoolean ZaLdapUserDB::IsNonCurrentUser(char* uid) {
  return TRACED("IsNonCurrentUser", {
    LdapDirStore& s = Store("IsNonCurrentUser");
    return LdapYes(s.FindAccount(LdapText(uid), nullptr) && !s.FindPerson(LdapText(uid), nullptr));
  });
}
