// The directory-store contract, exercised through the loader against every
// store that is built: the in-memory test store always, the flat-file store
// when lib/zafiledblib_cgi.so and bin/zastore exist in the build directory. Each test
// gets a fresh installation seeded with the same small directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "groupDB.h"
#include "store_install.h"
#include "userDB.h"
#include "vallist.h"
#include "vcard.h"
#include "zaconfigDB.h"
#include "zadocument.h"

namespace {

// The directory every test starts from, in the test store's seed format (see
// plugin/memory_store.cc). dave has an account but has left the directory;
// carol has no account.
const char kSeed[] =
    "person|alice|Alice Smith|alice@example.com\n"
    "person|bob|Bob Jones|bob@example.com\n"
    "person|carol|Carol White|carol@example.com\n"
    "person|dave|Dave Brown|dave@example.com\n"
    "account|alice|alice|secret1|1\n"
    "account|bob|bobby|secret2|0\n"
    "account|dave|dave|secret3|0\n"
    "leaver|dave\n"
    "group|g1|Engineering|alice|1|alice,bob\n"
    "group|g2|Private Notes|bob|0|bob\n"
    "document|g1|plan.txt|Design notes|alice\n"
    "document|g1|notes.txt|Minutes|bob\n"
    "hotperson|alice|bob\n"
    "hotgroup|alice|g1\n"
    "usage-user|alice|50000\n"
    "usage-user|bob|1000\n"
    "usage-group|g1|30000\n"
    "usage-group|g2|10\n";

std::string Quote(const std::string& s) { return "'" + s + "'"; }

void SeedMemoryStore(const StoreInstall& install) {
  install.InstallLibrary(MemoryStoreLibrary(), "zafiledblib_cgi.so");
  install.WriteFile("testdb/seed.lst", kSeed);
}

// The flat-file store of this build, or of the build directory named by the
// environment variable ZA_FLAT_STORE_BUILD.
fs::path FlatStoreBuild() {
  const char* dir = getenv("ZA_FLAT_STORE_BUILD");
  return dir ? fs::path(dir) : fs::path(ZA_BINARY_DIR);
}
fs::path FlatStoreLibrary() { return FlatStoreBuild() / "lib" / "zafiledblib_cgi.so"; }
fs::path ZastoreTool() { return FlatStoreBuild() / "bin" / "zastore"; }

// The store tool's command for one seed line. No seed value holds a single
// quote, so plain quoting is enough.
std::string ZastoreCommand(const std::string& tool, const std::vector<std::string>& f) {
  const std::string& kind = f[0];
  if (kind == "person") return tool + "person add " + f[1] + " --name " + Quote(f[2]) + " --email " + f[3];
  if (kind == "account")
    return "printf '%s\\n' " + Quote(f[3]) + " | " + tool + "account add " + f[1] + " " + f[2] +
           (f[4] == "1" ? " --admin" : "");
  if (kind == "leaver") return tool + "person remove " + f[1];
  if (kind == "group") {
    std::string c = tool + "group add " + f[1] + " " + Quote(f[2]) + " --owner " + f[3];
    if (f[4] == "1") c += " --shared";
    std::stringstream members(f[5]);
    for (std::string m; std::getline(members, m, ',');) c += " --member " + m;
    return c;
  }
  if (kind == "document")
    return tool + "document add " + f[1] + " " + f[2] + " --owner " + f[4] + " --description " + Quote(f[3]);
  if (kind == "hotperson") return tool + "hotlist add " + f[1] + " --person " + f[2];
  if (kind == "hotgroup") return tool + "hotlist add " + f[1] + " --group " + f[2];
  if (kind == "usage-user") return tool + "usage add --user " + f[1] + " " + f[2];
  return tool + "usage add --group " + f[1] + " " + f[2];
}

void SeedFlatStore(const StoreInstall& install) {
  install.InstallLibrary(FlatStoreLibrary(), "zafiledblib_cgi.so");
  const std::string tool = Quote(ZastoreTool().string()) + " --top " + Quote(install.Top().string()) + " ";
  ASSERT_EQ(std::system((tool + "init >/dev/null").c_str()), 0);
  std::stringstream seed(kSeed);
  for (std::string line; std::getline(seed, line);) {
    std::vector<std::string> fields;
    std::stringstream parts(line);
    for (std::string field; std::getline(parts, field, '|');) fields.push_back(field);
    std::string command = ZastoreCommand(tool, fields);
    ASSERT_EQ(std::system((command + " >/dev/null").c_str()), 0) << command;
  }
}

struct StoreKind {
  const char* name;
  std::function<void(const StoreInstall&)> seed;
  std::function<bool()> available;
};

const StoreKind kStores[] = {
    {"MemoryTestStore", SeedMemoryStore, [] { return fs::exists(MemoryStoreLibrary()); }},
    {"FlatFileStore", SeedFlatStore,
     [] { return fs::exists(FlatStoreLibrary()) && fs::exists(ZastoreTool()); }}};

struct ListDeleter {
  void operator()(ValList* l) const { delete l; }
  void operator()(ValNameList* l) const { delete l; }
  void operator()(ZaGroupRecord* r) const { delete r; }
  void operator()(ZaDocumentObjList* l) const { delete l; }
  void operator()(VCard* c) const { delete c; }
  void operator()(char* t) const { free(t); }
};
template <typename T>
std::unique_ptr<T, ListDeleter> Own(T* p) { return std::unique_ptr<T, ListDeleter>(p); }

std::string Text(char* owned) {
  std::string s = owned ? owned : "<null>";
  free(owned);
  return s;
}
char* C(const char* s) { return const_cast<char*>(s); }

std::set<std::string> Values(ValList* list) {
  std::set<std::string> out;
  for (ValListItem* i = list ? list->head : nullptr; i; i = i->next) out.insert(i->value);
  delete list;
  return out;
}
std::set<std::string> Keys(ValNameList* list) {
  std::set<std::string> out;
  for (ValNameListItem* i = list ? list->head : nullptr; i; i = i->next) out.insert(i->name);
  delete list;
  return out;
}
std::string ValueOf(ValNameList* list, const char* key) {
  ValNameListItem* item = list->Lookup(key);
  return item && item->value ? item->value : "<none>";
}

class StoreContract : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    if (!GetParam().available()) {
      GTEST_SKIP() << GetParam().name << " is not built (needs " << FlatStoreLibrary() << " and "
                   << ZastoreTool() << ")";
    }
    install_ = std::make_unique<StoreInstall>();
    GetParam().seed(*install_);
    if (HasFatalFailure()) return;
    config_ = std::make_unique<ZaConfigDB>(nullptr);
    users_ = ZaCreateUserDB(config_.get());
    groups_ = ZaCreateGroupDB(config_.get());
    int key = 0;
    ASSERT_EQ(users_->Open(ZaFalse, config_.get(), &key), ZaTrue);
    ASSERT_EQ(groups_->Open(config_.get(), &key), ZaTrue);
  }
  void TearDown() override {
    if (users_) ZaDestroyUserDB(users_, config_.get());
    if (groups_) ZaDestroyGroupDB(groups_, config_.get());
    config_.reset();
    install_.reset();
  }
  // A second user store on the same installation, as the next request gets.
  UserDB* ReopenUsers() {
    ZaDestroyUserDB(users_, config_.get());
    users_ = ZaCreateUserDB(config_.get());
    int key = 0;
    EXPECT_EQ(users_->Open(ZaFalse, config_.get(), &key), ZaTrue);
    return users_;
  }
  // Checks a disk-usage list: descending bytes, extra1 agreeing with `bytesOf`.
  void ExpectUsageList(ValNameList* usage, const std::function<long(char*)>& bytesOf) {
    auto list = Own(usage);
    long previous = -1;
    for (ValNameListItem* i = list->head; i; i = i->next) {
      ASSERT_NE(i->extra1, nullptr) << i->name;
      long bytes = atol(i->extra1);
      if (previous >= 0) {
        EXPECT_LE(bytes, previous) << i->name;
      }
      EXPECT_EQ(bytes, bytesOf(i->name)) << i->name;
      previous = bytes;
    }
  }

  std::unique_ptr<StoreInstall> install_;
  std::unique_ptr<ZaConfigDB> config_;
  UserDB* users_ = nullptr;
  GroupDB* groups_ = nullptr;
};

TEST_P(StoreContract, PeopleAndAccounts) {
  EXPECT_EQ(users_->IsSetUp(), ZaTrue);
  struct Row { const char* uid; bool exists, account, nonCurrent, admin; const char* name; const char* email; };
  const Row rows[] = {{"alice", true, true, false, true, "Alice Smith", "alice@example.com"},
                      {"bob", true, true, false, false, "Bob Jones", "bob@example.com"},
                      {"carol", true, false, false, false, "Carol White", "carol@example.com"},
                      {"dave", false, true, true, false, nullptr, nullptr},
                      {"nobody", false, false, false, false, nullptr, nullptr}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.uid);
    EXPECT_EQ(users_->UserExists(C(r.uid)) != ZaFalse, r.exists);
    EXPECT_EQ(users_->AccountExists(C(r.uid)) != ZaFalse, r.account);
    EXPECT_EQ(users_->IsNonCurrentUser(C(r.uid)) != ZaFalse, r.nonCurrent);
    EXPECT_EQ(users_->GetLoginFlag(C(r.uid)), r.admin ? ZaTrue : ZaFalse);
    if (r.name) {
      EXPECT_EQ(Text(users_->GetUserName(C(r.uid))), r.name);
      EXPECT_EQ(Text(users_->GetEmailAddress(C(r.uid))), r.email);
    }
  }
  auto card = Own(users_->GetVCard(C("alice"), ZaFalse));
  ASSERT_NE(card, nullptr);
  ASSERT_NE(card->GetEntry(VCardPropFn), nullptr);
  EXPECT_STREQ(card->GetEntry(VCardPropFn)->value, "Alice Smith");
  EXPECT_EQ(users_->GetVCard(C("nobody"), ZaFalse), nullptr);
  auto base = Own(users_->GetBaseCard());
  EXPECT_NE(base, nullptr);
  EXPECT_NE(Own(users_->GetUserPreferences(C("alice"))), nullptr);
}

TEST_P(StoreContract, LoginsAndPasswords) {
  EXPECT_EQ(Text(users_->GetUidFromLogin(C("bobby"))), "bob");
  EXPECT_EQ(users_->GetUidFromLogin(C("nosuchlogin")), nullptr);
  EXPECT_EQ(Text(users_->GetUidFromServerUser(C("alice"))), "alice");
  EXPECT_EQ(users_->GetUidFromServerUser(C("nosuchuser")), nullptr);
  EXPECT_EQ(users_->LoginTaken(C("bobby")), ZaTrue);
  EXPECT_EQ(users_->LoginTaken(C("carol")), ZaFalse);
  EXPECT_NE(users_->CheckPassword(C("alice"), C("secret1")), ZaFalse);
  EXPECT_EQ(users_->CheckPassword(C("alice"), C("secret2")), ZaFalse);
  EXPECT_EQ(users_->CheckPassword(C("carol"), C("")), ZaFalse);
  users_->NoteLogin(C("alice"));

  // Account creation as the console does it: create, then set the password.
  users_->CreateAccount(C("carol"), C("cwhite"));
  users_->SetPassword(C("carol"), C("fresh pass"));
  users_->SetPassword(C("bob"), C("changed"));
  UserDB* next = ReopenUsers();
  EXPECT_NE(next->AccountExists(C("carol")), ZaFalse);
  EXPECT_EQ(next->LoginTaken(C("cwhite")), ZaTrue);
  EXPECT_EQ(Text(next->GetUidFromLogin(C("cwhite"))), "carol");
  EXPECT_NE(next->CheckPassword(C("carol"), C("fresh pass")), ZaFalse);
  EXPECT_NE(next->CheckPassword(C("bob"), C("changed")), ZaFalse);
  EXPECT_EQ(next->CheckPassword(C("bob"), C("secret2")), ZaFalse);
}

TEST_P(StoreContract, DirectoryLists) {
  auto logins = Own(users_->GetAccountLogins());
  EXPECT_EQ(logins->count, 3);
  EXPECT_EQ(ValueOf(logins.get(), "bob"), "bobby");
  EXPECT_EQ(ValueOf(logins.get(), "dave"), "dave");
  auto names = Own(users_->GetCurrentUserNames());
  EXPECT_EQ(ValueOf(names.get(), "carol"), "Carol White");
  EXPECT_EQ(names->Lookup("dave"), nullptr);
  const std::set<std::string> current = {"alice", "bob", "carol"};
  EXPECT_EQ(Keys(users_->GetCurrentUsers()), current);
  EXPECT_EQ(Keys(users_->GetAccountNames()), (std::set<std::string>{"alice", "bob", "dave"}));
  EXPECT_EQ(Values(users_->GetHotlistPeople(C("alice"))), std::set<std::string>{"bob"});
  EXPECT_EQ(Values(users_->GetHotlistGroups(C("alice"))), std::set<std::string>{"g1"});
  EXPECT_EQ(Values(users_->GetGroupsOfUser(C("bob"))), (std::set<std::string>{"g1", "g2"}));
  EXPECT_EQ(Values(users_->GetGroupsOfUser(C("carol"))), std::set<std::string>{});
}

TEST_P(StoreContract, DiskUsage) {
  EXPECT_GE(users_->GetDiskUsage(C("alice")), 50000);
  EXPECT_GT(users_->GetDiskUsage(C("alice")), users_->GetDiskUsage(C("bob")));
  auto all = Own(users_->GetAllDiskUsage());
  ASSERT_NE(all->head, nullptr);
  EXPECT_STREQ(all->head->name, "alice");
  EXPECT_EQ(ValueOf(all.get(), "alice"), "Alice Smith");
  ExpectUsageList(all.release(), [this](char* uid) { return users_->GetDiskUsage(uid); });

  ValList some;
  some.Append("bob")->Append("alice");
  auto picked = Own(users_->GetDiskUsageOf(&some));
  EXPECT_EQ(Keys(picked->Copy()), (std::set<std::string>{"alice", "bob"}));
  ExpectUsageList(picked.release(), [this](char* uid) { return users_->GetDiskUsage(uid); });

  EXPECT_GE(groups_->GetGroupDiskUsage(C("g1")), 30000);
  auto groups = Own(groups_->GetAllGroupsDiskUsage());
  ASSERT_NE(groups->head, nullptr);
  EXPECT_STREQ(groups->head->name, "g1");
  EXPECT_EQ(ValueOf(groups.get(), "g2"), "Private Notes");
  ExpectUsageList(groups.release(), [this](char* gid) { return groups_->GetGroupDiskUsage(gid); });
}

TEST_P(StoreContract, GroupsAndDocuments) {
  auto g1 = Own(groups_->GetGroup(C("g1")));
  ASSERT_NE(g1, nullptr);
  EXPECT_STREQ(g1->groupId, "g1");
  EXPECT_STREQ(g1->groupName, "Engineering");
  EXPECT_STREQ(g1->ownerId, "alice");
  EXPECT_EQ(g1->shared, 1);
  EXPECT_EQ(Values(g1->members->Copy()), (std::set<std::string>{"alice", "bob"}));
  auto g2 = Own(groups_->GetGroup(C("g2")));
  ASSERT_NE(g2, nullptr);
  EXPECT_NE(g2->shared, 1);
  EXPECT_EQ(groups_->GetGroup(C("nosuchgroup")), nullptr);

  EXPECT_EQ(Text(groups_->GetGroupName(C("g2"))), "Private Notes");
  auto all = Own(groups_->GetAllGroups());
  EXPECT_EQ(ValueOf(all.get(), "g1"), "Engineering");
  EXPECT_EQ(all->count, 2);
  EXPECT_EQ(Values(groups_->GetGroupsOwnedBy(C("bob"), users_)), std::set<std::string>{"g2"});

  ValList gids, members;
  gids.Append("g1")->Append("g2");
  members.Append("earlier");
  groups_->GetMembersOfGroups(&gids, &members);
  EXPECT_EQ(Values(members.Copy()), (std::set<std::string>{"earlier", "alice", "bob"}));

  auto docs = Own(groups_->GetGroupFiles(C("g1")));
  ASSERT_NE(docs, nullptr);
  EXPECT_EQ(docs->count, 2);
  ZaDocumentObj* plan = docs->Lookup(C("PLAN.TXT"));
  ASSERT_NE(plan, nullptr);
  EXPECT_STREQ(plan->description, "Design notes");
  EXPECT_STREQ(plan->owner, "alice");
  auto none = Own(groups_->GetGroupFiles(C("g2")));
  EXPECT_TRUE(none == nullptr || none->count == 0);
}

TEST_P(StoreContract, GroupChanges) {
  EXPECT_NE(groups_->ChangeOwner(C("g1"), C("bob"), users_), ZaFalse);
  EXPECT_STREQ(Own(groups_->GetGroup(C("g1")))->ownerId, "bob");
  EXPECT_EQ(Values(groups_->GetGroupsOwnedBy(C("bob"), users_)), (std::set<std::string>{"g1", "g2"}));
  EXPECT_EQ(groups_->ChangeOwner(C("nosuchgroup"), C("bob"), users_), ZaFalse);

  EXPECT_NE(groups_->RemoveMember(C("g1"), C("alice"), users_), ZaFalse);
  EXPECT_EQ(Values(Own(groups_->GetGroup(C("g1")))->members->Copy()), std::set<std::string>{"bob"});
  EXPECT_EQ(Values(ReopenUsers()->GetGroupsOfUser(C("alice"))), std::set<std::string>{});
  EXPECT_EQ(groups_->RemoveMember(C("g1"), C("carol"), users_), ZaFalse);

  EXPECT_NE(groups_->DeleteGroup(C("g2"), users_, ZaTrue), ZaFalse);
  EXPECT_EQ(groups_->GetGroup(C("g2")), nullptr);
  EXPECT_EQ(Keys(groups_->GetAllGroups()), std::set<std::string>{"g1"});
  EXPECT_EQ(groups_->DeleteGroup(C("g2"), users_, ZaTrue), ZaFalse);
}

TEST_P(StoreContract, CleanUpOfANonCurrentUser) {
  users_->DeleteAccount(C("dave"));
  users_->DeleteUserData(C("dave"));
  UserDB* next = ReopenUsers();
  EXPECT_EQ(next->AccountExists(C("dave")), ZaFalse);
  EXPECT_EQ(next->IsNonCurrentUser(C("dave")), ZaFalse);
  EXPECT_EQ(Keys(next->GetAccountNames()), (std::set<std::string>{"alice", "bob"}));
  EXPECT_EQ(Keys(next->GetAllDiskUsage()).count("dave"), 0u);
}

TEST_P(StoreContract, SortByValueUsesStoreNames) {
  ValList uids;
  uids.Append("carol")->Append("alice")->Append("bob");
  auto sorted = Own(users_->SortByValue(&uids));
  std::vector<std::string> order;
  for (ValNameListItem* i = sorted->head; i; i = i->next) order.push_back(std::string(i->name) + "=" + i->value);
  EXPECT_EQ(order, (std::vector<std::string>{"alice=Alice Smith", "bob=Bob Jones", "carol=Carol White"}));
  ValList gids;
  gids.Append("g2")->Append("g1");
  EXPECT_STREQ(Own(groups_->SortByValue(&gids))->head->name, "g1");
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreContract, ::testing::ValuesIn(kStores),
                         [](const ::testing::TestParamInfo<StoreKind>& info) { return info.param.name; });

}  // namespace
