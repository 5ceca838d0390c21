// People and accounts of the LDAP store, and its set-up: person entries are
// found by uid anywhere below the search base; accounts sit at fixed DNs.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

#include "ldapstore.h"
#include "vcard.h"
#include "zafile.h"

static const char kPersonFilter[] = "(objectClass=inetOrgPerson)";
static const size_t kIdLimit = 256;  // longest user ID, login or group ID kept

std::string LdapKey(const std::string& id) {
  std::string key = id;
  for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return key;
}

static bool UsableId(const std::string& id) { return !id.empty() && id.size() <= kIdLimit; }

LdapDirStore::LdapDirStore(std::shared_ptr<LdapConnection> connection)
    : conn(std::move(connection)), base(conn->Settings().base) {}

LdapDirStore::~LdapDirStore() = default;

std::string LdapDirStore::PeopleDN() const { return "ou=people," + base; }
std::string LdapDirStore::AccountsDN() const { return "ou=accounts," + base; }
std::string LdapDirStore::GroupsDN() const { return "ou=groups," + base; }
std::string LdapDirStore::AccountDN(const std::string& uid) const { return LdapRdn("uid", uid) + "," + AccountsDN(); }
std::string LdapDirStore::GroupDN(const std::string& gid) const {
  return LdapRdn("zarvoGroupId", gid) + "," + GroupsDN();
}

bool LdapDirStore::IsInitialised() {
  LdapEntry mark;
  return conn->Read("cn=zarvo," + base, {"zarvoSetupStatus"}, &mark) &&
         LdapKey(mark.First("zarvosetupstatus")) == "done";
}

// Object classes for a base entry named by its first RDN's attribute.
static std::vector<LdapMod> BaseEntry(const std::string& dn) {
  LDAPDN parsed = nullptr;
  std::string type, value;
  if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAP) == LDAP_SUCCESS && parsed && parsed[0] && parsed[0][0]) {
    type.assign(parsed[0][0]->la_attr.bv_val, parsed[0][0]->la_attr.bv_len);
    value.assign(parsed[0][0]->la_value.bv_val, parsed[0][0]->la_value.bv_len);
  }
  if (parsed) ldap_dnfree(parsed);
  type = LdapKey(type);
  if (type == "dc") return {{LDAP_MOD_ADD, "objectClass", {"dcObject", "organization"}},
                            {LDAP_MOD_ADD, "dc", {value}}, {LDAP_MOD_ADD, "o", {value}}};
  if (type == "o") return {{LDAP_MOD_ADD, "objectClass", {"organization"}}, {LDAP_MOD_ADD, "o", {value}}};
  if (type == "c") return {{LDAP_MOD_ADD, "objectClass", {"country"}}, {LDAP_MOD_ADD, "c", {value}}};
  return {{LDAP_MOD_ADD, "objectClass", {"organizationalUnit"}}, {LDAP_MOD_ADD, "ou", {value}}};
}

void LdapDirStore::Initialise() {
  if (!conn->Read(base, {"1.1"}, nullptr)) conn->Add(base, BaseEntry(base), {LDAP_ALREADY_EXISTS});
  for (const char* ou : {"people", "accounts", "groups"})
    conn->Add(std::string("ou=") + ou + "," + base,
              {{LDAP_MOD_ADD, "objectClass", {"organizationalUnit"}}, {LDAP_MOD_ADD, "ou", {ou}}},
              {LDAP_ALREADY_EXISTS});
  std::string mark = "cn=zarvo," + base;
  if (conn->Add(mark, {{LDAP_MOD_ADD, "objectClass", {"zarvoStore"}}, {LDAP_MOD_ADD, "cn", {"zarvo"}},
                       {LDAP_MOD_ADD, "zarvoSetupStatus", {"done"}}},
                {LDAP_ALREADY_EXISTS}) != LDAP_SUCCESS)
    conn->Modify(mark, {{LDAP_MOD_REPLACE, "zarvoSetupStatus", {"done"}}}, {});
  const std::string& data = conn->Settings().dataDir;
  for (const std::string& d : {data, data + "/users", data + "/groups", data + "/documents"}) ZaMkdir(d.c_str(), 0755, ZaTrue);
}

// ---------------------------------------------------------------- people

static const std::vector<std::string> kPersonAttrs = {"uid", "displayName", "cn", "mail"};

LdapPerson LdapDirStore::PersonOf(const LdapEntry& e) const {
  LdapPerson p;
  p.dn = e.dn;
  p.uid = e.First("uid");
  p.name = e.First("displayname").empty() ? e.First("cn") : e.First("displayname");
  p.email = e.First("mail");
  return p;
}

bool LdapDirStore::FindPerson(const std::string& uid, LdapPerson* out) {
  if (uid.empty()) return false;
  auto it = known.find(LdapKey(uid));
  if (it == known.end()) {
    Prefetch({uid});
    it = known.find(LdapKey(uid));
  }
  if (!it->second) return false;
  if (out) *out = *it->second;
  return true;
}

void LdapDirStore::Prefetch(const std::vector<std::string>& uids) {
  const size_t batch = 100;
  std::vector<std::string> wanted;
  std::unordered_map<std::string, bool> asked;
  for (const std::string& u : uids)
    if (!u.empty() && !known.count(LdapKey(u)) && asked.emplace(LdapKey(u), true).second) wanted.push_back(u);
  for (size_t from = 0; from < wanted.size(); from += batch) {
    size_t to = std::min(wanted.size(), from + batch);
    std::string filter = std::string("(&") + kPersonFilter + "(|";
    for (size_t i = from; i < to; ++i) filter += "(uid=" + LdapFilterValue(wanted[i]) + ")";
    filter += "))";
    std::unordered_map<std::string, std::unique_ptr<LdapPerson>> found;
    conn->Search(base, LDAP_SCOPE_SUBTREE, filter, kPersonAttrs, [&](const LdapEntry& e) {
      // A person may carry several uid values: file it under each asked for.
      for (const std::string& u : e.All("uid")) {
        if (!asked.count(LdapKey(u)) || found.count(LdapKey(u))) continue;
        std::unique_ptr<LdapPerson> p(new LdapPerson(PersonOf(e)));
        p->uid = u;
        found[LdapKey(u)] = std::move(p);
      }
    });
    // Only a search that succeeded tells who is absent.
    for (size_t i = from; i < to; ++i) {
      std::string key = LdapKey(wanted[i]);
      known[key] = std::move(found[key]);
    }
  }
}

void LdapDirStore::People(const std::function<void(const LdapPerson&)>& each) {
  conn->Search(base, LDAP_SCOPE_SUBTREE, std::string("(&") + kPersonFilter + "(uid=*))", kPersonAttrs,
               [&](const LdapEntry& e) { each(PersonOf(e)); });
}

VCard* LdapDirStore::ReadCard(const std::string& uid) {
  LdapPerson p;
  if (!FindPerson(uid, &p)) return nullptr;
  LdapEntry e;
  if (!conn->Read(p.dn, {"displayName", "cn", "sn", "givenName", "mail", "telephoneNumber", "title"}, &e))
    return nullptr;
  std::unique_ptr<VCard> card(new VCard);
  card->AddEntry(VCardPropUid, p.uid.c_str());
  card->AddEntry(VCardPropFn, p.name.c_str());
  card->AddEntry(VCardPropN, (e.First("sn") + ";" + e.First("givenname")).c_str());
  if (!e.First("mail").empty()) card->AddEntry(VCardPropEmail, e.First("mail").c_str());
  if (!e.First("telephonenumber").empty())
    card->AddEntry((new VCardEntry(VCardPropTel, e.First("telephonenumber").c_str()))
                       ->AddSubType(VCardKindType, VCardTypeWork));
  if (!e.First("title").empty()) card->AddEntry(VCardPropTitle, e.First("title").c_str());
  return card.release();
}

bool LdapDirStore::AddPerson(const std::string& uid, const std::string& name, const std::string& email) {
  if (!UsableId(uid) || name.empty() || FindPerson(uid, nullptr)) return false;
  std::string surname = name.substr(name.find_last_of(' ') == std::string::npos ? 0 : name.find_last_of(' ') + 1);
  std::vector<LdapMod> attrs = {{LDAP_MOD_ADD, "objectClass", {"inetOrgPerson"}},
                                {LDAP_MOD_ADD, "uid", {uid}},
                                {LDAP_MOD_ADD, "cn", {name}},
                                {LDAP_MOD_ADD, "sn", {surname.empty() ? name : surname}},
                                {LDAP_MOD_ADD, "displayName", {name}}};
  if (!email.empty()) attrs.push_back({LDAP_MOD_ADD, "mail", {email}});
  bool added = conn->Add(LdapRdn("uid", uid) + "," + PeopleDN(), attrs, {LDAP_ALREADY_EXISTS}) == LDAP_SUCCESS;
  known.erase(LdapKey(uid));
  return added;
}

bool LdapDirStore::RemovePerson(const std::string& uid) {
  LdapPerson p;
  if (!FindPerson(uid, &p)) return false;
  known.erase(LdapKey(uid));
  return conn->Delete(p.dn, {LDAP_NO_SUCH_OBJECT}) == LDAP_SUCCESS;
}

// ---------------------------------------------------------------- accounts

static const std::vector<std::string> kAccountAttrs = {"uid", "zarvoLogin", "cn", "zarvoAdmin"};

static LdapAccount AccountOf(const LdapEntry& e) {
  LdapAccount a;
  a.uid = e.First("uid");
  a.login = e.First("zarvologin");
  a.name = e.First("cn");
  a.admin = e.First("zarvoadmin") == "TRUE";
  return a;
}

bool LdapDirStore::FindAccount(const std::string& uid, LdapAccount* out) {
  if (!UsableId(uid)) return false;
  LdapEntry e;
  if (!conn->Read(AccountDN(uid), kAccountAttrs, &e)) return false;
  if (out) *out = AccountOf(e);
  return true;
}

bool LdapDirStore::FindAccountByLogin(const std::string& login, LdapAccount* out) {
  if (!UsableId(login)) return false;
  bool found = false;
  conn->Search(AccountsDN(), LDAP_SCOPE_ONELEVEL, "(zarvoLogin=" + LdapFilterValue(login) + ")", kAccountAttrs,
               [&](const LdapEntry& e) {
                 if (!found && out) *out = AccountOf(e);
                 found = true;
               });
  return found;
}

void LdapDirStore::Accounts(const std::function<void(const LdapAccount&)>& each) {
  conn->Search(AccountsDN(), LDAP_SCOPE_ONELEVEL, "(objectClass=zarvoAccount)", kAccountAttrs,
               [&](const LdapEntry& e) { each(AccountOf(e)); });
}

bool LdapDirStore::CreateAccount(const std::string& uid, const std::string& login, bool admin) {
  LdapPerson p;
  if (!UsableId(login) || !FindPerson(uid, &p) || FindAccountByLogin(login, nullptr)) return false;
  std::vector<LdapMod> attrs = {{LDAP_MOD_ADD, "objectClass", {"zarvoAccount"}},
                                {LDAP_MOD_ADD, "uid", {p.uid}},
                                {LDAP_MOD_ADD, "zarvoLogin", {login}},
                                {LDAP_MOD_ADD, "zarvoAdmin", {admin ? "TRUE" : "FALSE"}}};
  if (!p.name.empty()) attrs.push_back({LDAP_MOD_ADD, "cn", {p.name}});
  if (conn->Add(AccountDN(p.uid), attrs, {LDAP_ALREADY_EXISTS}) != LDAP_SUCCESS) return false;
  ZaMkdir(UserFolder(p.uid).c_str(), 0755, ZaTrue);
  return true;
}

bool LdapDirStore::SetPassword(const std::string& uid, const std::string& password) {
  return UsableId(uid) && conn->SetPassword(AccountDN(uid), password);
}

bool LdapDirStore::CheckPassword(const std::string& uid, const std::string& password) {
  return UsableId(uid) && conn->CheckPassword(AccountDN(uid), password);
}

bool LdapDirStore::NoteLogin(const std::string& uid) {
  return UsableId(uid) && conn->Modify(AccountDN(uid), {{LDAP_MOD_REPLACE, "zarvoLastLogin",
                                                          {std::to_string(static_cast<long long>(time(nullptr)))}}},
                                       {LDAP_NO_SUCH_OBJECT}) == LDAP_SUCCESS;
}

bool LdapDirStore::DeleteAccount(const std::string& uid) {
  return UsableId(uid) && conn->Delete(AccountDN(uid), {LDAP_NO_SUCH_OBJECT}) == LDAP_SUCCESS;
}

bool LdapDirStore::DeleteUserData(const std::string& uid) {
  if (!UsableId(uid)) return false;
  // Replacing with no values removes an attribute, and is no error when it is absent.
  conn->Modify(AccountDN(uid), {{LDAP_MOD_REPLACE, "zarvoHotlistPerson", {}},
                                {LDAP_MOD_REPLACE, "zarvoHotlistGroup", {}},
                                {LDAP_MOD_REPLACE, "zarvoPreference", {}}},
               {LDAP_NO_SUCH_OBJECT});
  std::vector<std::string> holders;
  conn->Search(AccountsDN(), LDAP_SCOPE_ONELEVEL, "(zarvoHotlistPerson=" + LdapFilterValue(uid) + ")", {"1.1"},
               [&](const LdapEntry& e) { holders.push_back(e.dn); });
  for (const std::string& dn : holders)
    conn->Modify(dn, {{LDAP_MOD_DELETE, "zarvoHotlistPerson", {uid}}}, {LDAP_NO_SUCH_ATTRIBUTE, LDAP_NO_SUCH_OBJECT});
  ZaRemoveDir(UserFolder(uid).c_str());
  return true;
}
