// UserDB over the embedded store.
#include "fdbuserdb.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "vallist.h"
#include "zastorelimits.h"
#include "vcard.h"

static const char kSource[] = "stores/filedb/src/fdbuserdb";
const char kFdbDirKey[] = "FileDBDir";

std::string FdbDataDirFrom(ZaConfigDB* config) {
  std::string top = config->GetTopZarvoDir();
  const char* configured = config->ReadValue(kFdbDirKey);
  if (!configured || !*configured) return top + "/data";
  return configured[0] == '/' ? configured : top + "/" + configured;
}

static std::string Text(const char* s) { return s ? s : ""; }
static ZaBoolean Yes(bool b) { return b ? ZaTrue : ZaFalse; }
static char* Copy(const std::string& s) { return strdup(s.c_str()); }

// Runs an operation, naming it in the trace of an error passing through.
template <class F>
static auto Traced(const char* where, F f) -> decltype(f()) {
  try {
    return f();
  } catch (ZaError* e) {
    e->AddLine(__LINE__, kSource, (std::string("Error in ZaFileUserDB::") + where).c_str(), ZaFalse);
    throw;
  }
}

static ValList* ToValList(const std::vector<std::string>& items) {
  ValList* list = new ValList;
  for (const std::string& s : items) list->Append(s.c_str());
  return list;
}

ZaFileUserDB::ZaFileUserDB() = default;
ZaFileUserDB::~ZaFileUserDB() = default;

void ZaFileUserDB::OpenAt(const std::string& dataDir) {
  std::unique_ptr<FileDirStore> opened(new FileDirStore(dataDir));
  opened->CheckReachable();
  store = std::move(opened);
}

FileDirStore& ZaFileUserDB::Store(const char* operation) {
  if (!store) ZaStoreFail(__LINE__, kSource, std::string(operation) + " called before the store was opened");
  return *store;
}

ZaBoolean ZaFileUserDB::Open(ZaBoolean, ZaConfigDB* config, int*) {
  return Traced("Open", [&] {
    OpenAt(FdbDataDirFrom(config));
    return ZaTrue;
  });
}

VCard* ZaFileUserDB::GetBaseCard() {
  // The fields a person table offers, each labelled by its value.
  VCard* card = new VCard;
  card->AddEntry(VCardPropFn, "Name");
  card->AddEntry(VCardPropEmail, "E-mail");
  card->AddEntry((new VCardEntry(VCardPropTel, "Work phone"))->AddSubType(VCardKindType, VCardTypeWork));
  card->AddEntry(VCardPropTitle, "Title");
  return card;
}

ZaBoolean ZaFileUserDB::IsSetUp() { return Yes(store && store->IsInitialised()); }

ZaBoolean ZaFileUserDB::NoteLogin(char* uid) {
  return Traced("NoteLogin", [&] { return Yes(Store("NoteLogin").NoteLogin(Text(uid))); });
}

ZaBoolean ZaFileUserDB::DeleteAccount(char* uid) {
  return Traced("DeleteAccount", [&] { return Yes(Store("DeleteAccount").DeleteAccount(Text(uid))); });
}

ZaBoolean ZaFileUserDB::GetLoginFlag(char* uid) {
  return Traced("GetLoginFlag", [&] {
    FdbAccount a;
    return Yes(Store("GetLoginFlag").FindAccount(Text(uid), &a) && a.admin);
  });
}

ZaBoolean ZaFileUserDB::CheckPassword(char* uid, char* password) {
  return Traced("CheckPassword", [&] {
    return Yes(password && Store("CheckPassword").CheckPassword(Text(uid), password));
  });
}

ZaBoolean ZaFileUserDB::SetPassword(char* uid, char* password) {
  return Traced("SetPassword", [&] {
    return Yes(password && Store("SetPassword").SetPassword(Text(uid), password));
  });
}

ZaBoolean ZaFileUserDB::UserExists(char* uid) {
  return Traced("UserExists", [&] { return Yes(Store("UserExists").FindPerson(Text(uid), nullptr)); });
}

ZaBoolean ZaFileUserDB::LoginTaken(char* login) {
  return Traced("LoginTaken", [&] { return Yes(Store("LoginTaken").FindAccountByLogin(Text(login), nullptr)); });
}

char* ZaFileUserDB::GetUidFromLogin(char* login) {
  return Traced("GetUidFromLogin", [&]() -> char* {
    FdbAccount a;
    return Store("GetUidFromLogin").FindAccountByLogin(Text(login), &a) ? Copy(a.uid) : nullptr;
  });
}

char* ZaFileUserDB::GetUidFromServerUser(char* serverUser) {
  // The web server's user is a person's user ID or the login name of the
  // account of a person still in the directory.
  return Traced("GetUidFromServerUser", [&]() -> char* {
    FileDirStore& s = Store("GetUidFromServerUser");
    FdbPerson p;
    if (s.FindPerson(Text(serverUser), &p)) return Copy(p.uid);
    FdbAccount a;
    if (s.FindAccountByLogin(Text(serverUser), &a) && s.FindPerson(a.uid, nullptr)) return Copy(a.uid);
    return nullptr;
  });
}

ZaBoolean ZaFileUserDB::AccountExists(char* uid) {
  return Traced("AccountExists", [&] { return Yes(Store("AccountExists").FindAccount(Text(uid), nullptr)); });
}

ZaBoolean ZaFileUserDB::CreateAccount(char* uid, char* login) {
  return Traced("CreateAccount", [&] {
    return Yes(Store("CreateAccount").CreateAccount(Text(uid), Text(login), false));
  });
}

char* ZaFileUserDB::GetUserName(char* uid) {
  // Users who left the directory keep the name their account remembers;
  // an unknown ID stands for itself.
  return Traced("GetUserName", [&] {
    FileDirStore& s = Store("GetUserName");
    FdbPerson p;
    FdbAccount a;
    if (s.FindPerson(Text(uid), &p)) return Copy(p.name);
    if (s.FindAccount(Text(uid), &a) && !a.name.empty()) return Copy(a.name);
    return Copy(Text(uid));
  });
}

char* ZaFileUserDB::GetEmailAddress(char* uid) {
  return Traced("GetEmailAddress", [&]() -> char* {
    FdbPerson p;
    return Store("GetEmailAddress").FindPerson(Text(uid), &p) && !p.email.empty() ? Copy(p.email) : nullptr;
  });
}

ValList* ZaFileUserDB::GetGroupsOfUser(char* uid) {
  return Traced("GetGroupsOfUser", [&] { return ToValList(Store("GetGroupsOfUser").GroupsOfUser(Text(uid))); });
}

ValList* ZaFileUserDB::GetHotlistPeople(char* uid) {
  return Traced("GetHotlistPeople",
                [&] { return ToValList(Store("GetHotlistPeople").Hotlist(Text(uid), kFdbHotlistPerson)); });
}

ValList* ZaFileUserDB::GetHotlistGroups(char* uid) {
  return Traced("GetHotlistGroups",
                [&] { return ToValList(Store("GetHotlistGroups").Hotlist(Text(uid), kFdbHotlistGroup)); });
}

ValNameList* ZaFileUserDB::GetUserPreferences(char* uid) {
  return Traced("GetUserPreferences", [&] {
    ValNameList* list = new ValNameList;
    for (const auto& p : Store("GetUserPreferences").Preferences(Text(uid)))
      list->Append(p.first.c_str(), p.second.c_str());
    return list;
  });
}

VCard* ZaFileUserDB::GetVCard(char* uid, ZaBoolean) {
  return Traced("GetVCard", [&] { return Store("GetVCard").ReadCard(Text(uid)); });
}

long ZaFileUserDB::GetDiskUsage(char* uid) {
  return Traced("GetDiskUsage", [&] { return static_cast<long>(Store("GetDiskUsage").UserUsage(Text(uid))); });
}

static ValNameList* UsageList(const std::vector<FdbUsage>& usage) {
  ValNameList* list = new ValNameList;
  for (const FdbUsage& u : usage) list->Append(u.id.c_str(), u.name.c_str(), std::to_string(u.bytes).c_str());
  return list;
}

ValNameList* ZaFileUserDB::GetAllDiskUsage() {
  return Traced("GetAllDiskUsage", [&] { return UsageList(Store("GetAllDiskUsage").AllUserUsage()); });
}

ValNameList* ZaFileUserDB::GetDiskUsageOf(ValList* uids) {
  return Traced("GetDiskUsageOf", [&] {
    FileDirStore& s = Store("GetDiskUsageOf");
    // One item per user, however often the list names them.
    std::vector<FdbUsage> usage;
    std::unordered_set<std::string> seen;
    for (ValListItem* i = uids ? uids->head : nullptr; i; i = i->next) {
      if (!i->value || !seen.insert(ZaStoreKey(i->value)).second) continue;
      char* name = GetUserName(i->value);
      usage.push_back({i->value, name ? name : i->value, s.UserUsage(i->value)});
      free(name);
    }
    std::stable_sort(usage.begin(), usage.end(), [](const FdbUsage& a, const FdbUsage& b) { return a.bytes > b.bytes; });
    return UsageList(usage);
  });
}

ValNameList* ZaFileUserDB::GetCurrentUserNames() {
  return Traced("GetCurrentUserNames", [&] {
    ValNameList* list = new ValNameList;
    for (const FdbPerson& p : Store("GetCurrentUserNames").PeopleByName()) list->Append(p.uid.c_str(), p.name.c_str());
    return list;
  });
}

ValNameList* ZaFileUserDB::GetAccountLogins() {
  return Traced("GetAccountLogins", [&] {
    ValNameList* list = new ValNameList;
    for (const FdbAccount& a : Store("GetAccountLogins").Accounts()) list->Append(a.uid.c_str(), a.login.c_str());
    return list;
  });
}

ValNameList* ZaFileUserDB::GetAccountNames() {
  return Traced("GetAccountNames", [&] {
    ValNameList* list = new ValNameList;
    for (const auto& a : Store("GetAccountNames").AccountNames()) list->Append(a.first.c_str(), a.second.c_str());
    return list;
  });
}

ZaBoolean ZaFileUserDB::DeleteUserData(char* uid) {
  return Traced("DeleteUserData", [&] { return Yes(Store("DeleteUserData").DeleteUserData(Text(uid))); });
}

ZaBoolean ZaFileUserDB::IsNonCurrentUser(char* uid) {
  return Traced("IsNonCurrentUser", [&] {
    FileDirStore& s = Store("IsNonCurrentUser");
    return Yes(s.FindAccount(Text(uid), nullptr) && !s.FindPerson(Text(uid), nullptr));
  });
}

ValNameList* ZaFileUserDB::GetCurrentUsers() {
  return Traced("GetCurrentUsers", [&] {
    ValNameList* list = new ValNameList;
    for (const FdbPerson& p : Store("GetCurrentUsers").PeopleByName()) list->Append(p.uid.c_str(), p.name.c_str());
    return list;
  });
}
