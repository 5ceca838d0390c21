// The store administration interface over the embedded store.
#include <cstring>

#include "fdbstore.h"
#include "fdbuserdb.h"
#include "vcard.h"
#include "vallist.h"
#include "zastorelimits.h"
#include "zastorepasswd.h"

static const char kSource[] = "stores/filedb/src/fdbadmin";

namespace {

std::string EntryText(VCard* card, VCardPropId property) {
  VCardEntry* e = card->GetEntry(property);
  return e && e->value ? e->value : "";
}

class FileStoreAdmin : public ZaStoreAdmin {
 public:
  explicit FileStoreAdmin(const std::string& dataDir) : store(dataDir) {}

  std::string Location() override { return store.DataDir(); }
  bool IsInitialised() override { return store.IsInitialised(); }
  std::string Init() override { return store.Initialise(); }

  bool PersonExists(const std::string& uid) override { return store.FindPerson(uid, nullptr); }
  void AddPeople(std::vector<std::unique_ptr<VCard>>* cards) override {
    for (const auto& card : *cards) {
      ZaCheckStoreText(EntryText(card.get(), VCardPropFn), "the display name");
      ZaCheckStoreText(EntryText(card.get(), VCardPropEmail), "the e-mail address");
    }
    store.AddPeople(cards);
  }
  bool RemovePerson(const std::string& uid) override { return store.RemovePerson(uid); }
  std::vector<ZaStorePerson> People() override {
    std::vector<ZaStorePerson> people;
    for (const FdbPerson& p : store.People()) people.push_back({p.uid, p.name, p.email});
    return people;
  }

  bool AccountExists(const std::string& uid) override { return store.FindAccount(uid, nullptr); }
  bool LoginTaken(const std::string& login) override { return store.FindAccountByLogin(login, nullptr); }
  void AddAccount(const std::string& uid, const std::string& login, bool admin,
                  const std::string& password) override {
    ZaCheckStoreId(uid, "user ID");
    ZaCheckStoreId(login, "login name");
    if (!store.FindPerson(uid, nullptr)) ZaStoreRefuse(__LINE__, kSource, "no person " + uid + " in the directory");
    if (store.FindAccount(uid, nullptr)) ZaStoreRefuse(__LINE__, kSource, uid + " has an account already");
    if (store.FindAccountByLogin(login, nullptr)) ZaStoreRefuse(__LINE__, kSource, "the login " + login + " is taken");
    if (!store.CreateAccount(uid, login, admin, ZaHashPassword(password)))
      ZaStoreRefuse(__LINE__, kSource, "the account could not be created (taken meanwhile?)");
  }
  bool SetPassword(const std::string& uid, const std::string& password) override {
    return store.SetPassword(uid, password);
  }
  std::vector<ZaStoreAccount> Accounts() override {
    std::vector<ZaStoreAccount> accounts;
    for (const FdbAccount& a : store.Accounts()) {
      ZaStoreAccount out;
      out.uid = a.uid;
      out.login = a.login;
      out.name = a.name;
      out.admin = a.admin;
      out.lastLogin = a.lastLogin;
      out.current = store.FindPerson(a.uid, nullptr);
      accounts.push_back(out);
    }
    return accounts;
  }

  bool FindGroup(const std::string& gid, ZaStoreGroup* out) override { return store.FindGroup(gid, out); }
  void AddGroup(const ZaStoreGroup& group) override {
    ZaCheckStoreId(group.gid, "group ID");
    ZaCheckStoreText(group.name, "the group name");
    store.AddGroup(group);
  }
  bool AddMember(const std::string& gid, const std::string& uid) override { return store.AddMember(gid, uid); }
  std::vector<ZaStoreGroup> Groups() override { return store.Groups(); }
  bool AddDocument(const std::string& gid, const ZaStoreDocument& doc) override {
    ZaCheckStoreText(doc.name, "the document name");
    ZaCheckStoreText(doc.description, "the description", kZaStoreMaxDescription);
    return store.AddDocument(gid, doc);
  }
  bool AddToHotlist(const std::string& uid, bool group, const std::string& target) override {
    return store.AddToHotlist(uid, group ? kFdbHotlistGroup : kFdbHotlistPerson, target);
  }
  bool SetPreference(const std::string& uid, const std::string& key, const std::string& value) override {
    ZaCheckStoreText(key, "the preference name");
    ZaCheckStoreText(value, "the preference value");
    return store.SetPreference(uid, key, value);
  }

  bool AddUsageFile(bool group, const std::string& id, long long bytes) override {
    return store.AddUsageFile(group, id, bytes);
  }
  void RescanUsage() override { store.RescanUsage(); }
  void BulkLoad(ZaStoreBulkData* data) override { store.BulkLoad(data); }

 private:
  FileDirStore store;
};

}  // namespace

ZaStoreAdmin* FdbCreateAdmin(const std::string& top, ValNameList* settings) {
  ValNameListItem* item = settings ? settings->Lookup(kFdbDirKey) : nullptr;
  const char* configured = item ? item->value : nullptr;
  std::string dir = !configured || !*configured ? top + "/data"
                    : configured[0] == '/'      ? configured
                                                : top + "/" + configured;
  return new FileStoreAdmin(dir);
}
