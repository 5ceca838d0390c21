// The store contract suite (see storecontract.h): what the console relies on
// from any store, filled through the administration interface.
#include "storecontract.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <vector>

#include "vallist.h"
#include "vcard.h"
#include "zadocument.h"
#include "zafile.h"
#include "zastorelimits.h"
#include "zastoreseed.h"

namespace {

// Texts handed to the slots: the program passes writable char*.
char* C(const std::string& s) { return const_cast<char*>(s.c_str()); }

std::string Taken(char* text) {
  std::string s = text ? text : "(null)";
  free(text);
  return s;
}

std::vector<std::string> Values(ValList* list) {
  std::unique_ptr<ValList> owned(list);
  std::vector<std::string> out;
  for (ValListItem* i = list ? list->head : nullptr; i; i = i->next) out.push_back(i->value);
  return out;
}

// Name to value, and name to extra1 when `extra` is set.
std::map<std::string, std::string> Pairs(ValNameList* list, bool extra = false) {
  std::unique_ptr<ValNameList> owned(list);
  std::map<std::string, std::string> out;
  for (ValNameListItem* i = list ? list->head : nullptr; i; i = i->next)
    out[i->name] = extra ? (i->extra1 ? i->extra1 : "") : (i->value ? i->value : "");
  return out;
}

// The level of the ZaError* that f throws, or 0 when it throws none.
template <class F>
int ErrorLevel(F f) {
  try {
    f();
  } catch (ZaError* e) {
    int level = e->level;
    delete e;
    return level;
  }
  return 0;
}

std::unique_ptr<VCard> Card(const std::string& uid, const std::string& fn, const std::string& email = "") {
  std::unique_ptr<VCard> card(new VCard);
  card->AddEntry(VCardPropUid, uid.c_str());
  if (!fn.empty()) card->AddEntry(VCardPropFn, fn.c_str());
  if (!email.empty()) card->AddEntry(VCardPropEmail, email.c_str());
  return card;
}

}  // namespace

void PrintTo(const StoreContractTarget& target, std::ostream* out) { *out << target.name; }

void StoreContract::SetUp() {
  char scratch[] = ZA_BINARY_DIR "/contract-XXXXXX";
  ASSERT_TRUE(mkdtemp(scratch));
  top = scratch;
  for (const char* d : {"/lib", "/config", "/logs", "/web", "/web/admin", "/web/admin/bin"})
    ASSERT_EQ(ZaTrue, ZaMkdir((top + d).c_str(), 0755, ZaTrue));
  const std::string& plugin = GetParam().plugin;
  ASSERT_EQ(0, symlink(plugin.c_str(), (top + "/lib/" + plugin.substr(plugin.rfind('/') + 1)).c_str()));
  std::ofstream(top + "/config/configInfo.lst") << "BEGIN:vNameList\n" << GetParam().prepare(top) << "END:vNameList\n";
  std::ofstream(top + "/config/setup.lst") << "BEGIN:vNameList\nstatus:done\nEND:vNameList\n";
  char here[4096];
  ASSERT_TRUE(getcwd(here, sizeof here));
  previousDir = here;
  // The program's loader finds the installation from the console's folder.
  ASSERT_EQ(0, chdir((top + "/web/admin/bin").c_str()));
  config.reset(new ZaConfigDB(nullptr));
  settings.reset(ZaReadStoreSettings(top));
  admin.reset(new ZaLoadedStoreAdmin(top + "/lib/" + plugin.substr(plugin.rfind('/') + 1), top, settings.get()));
  (*admin)->Init();
  ASSERT_TRUE((*admin)->IsInitialised());
  users = ZaCreateUserDB(config.get());
  groups = ZaCreateGroupDB(config.get());
  int key = 0;
  ASSERT_EQ(ZaTrue, users->Open(ZaFalse, config.get(), &key));
  ASSERT_EQ(ZaTrue, groups->Open(config.get(), &key));
}

void StoreContract::TearDown() {
  if (groups) ZaDestroyGroupDB(groups, config.get());
  if (users) ZaDestroyUserDB(users, config.get());
  admin.reset();
  settings.reset();
  config.reset();
  if (!previousDir.empty()) {
    EXPECT_EQ(0, chdir(previousDir.c_str()));
  }
  if (!top.empty()) (void)!system(("rm -rf '" + top + "'").c_str());
}

void StoreContract::AddUser(const std::string& uid, const std::string& name, bool account) {
  std::vector<std::unique_ptr<VCard>> cards;
  cards.push_back(Card(uid, name, uid + "@example.com"));
  (*admin)->AddPeople(&cards);
  if (account) (*admin)->AddAccount(uid, uid + "-login", false, "pw-" + uid);
}

TEST_P(StoreContract, PeopleAndTheirCards) {
  AddUser("ann", "Ann Smith");
  AddUser("Bob", "Bob Lee", false);
  EXPECT_EQ(ZaTrue, users->IsSetUp());
  EXPECT_EQ(ZaTrue, users->UserExists(C("ANN")));
  EXPECT_EQ(ZaFalse, users->UserExists(C("ghost")));
  EXPECT_EQ("Ann Smith", Taken(users->GetUserName(C("ann"))));
  EXPECT_EQ("Bob@example.com", Taken(users->GetEmailAddress(C("bob"))));
  std::unique_ptr<VCard> card(users->GetVCard(C("bob"), ZaFalse));
  ASSERT_TRUE(card);
  EXPECT_STREQ("Bob Lee", card->GetEntry(VCardPropFn)->value);
  EXPECT_FALSE(std::unique_ptr<VCard>(users->GetVCard(C("ghost"), ZaFalse)));
  EXPECT_EQ((std::map<std::string, std::string>{{"ann", "Ann Smith"}, {"Bob", "Bob Lee"}}),
            Pairs(users->GetCurrentUserNames()));
  EXPECT_EQ(2u, Pairs(users->GetCurrentUsers()).size());
  EXPECT_EQ((std::map<std::string, std::string>{{"ann", "Ann Smith"}}), Pairs(users->GetAccountNames()));

  // A whole batch is refused when one card is bad, and nothing is added.
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> cards;  // uid, name
  } cases[] = {
      {"existing UID", {{"new1", "New One"}, {"ANN", "Other Ann"}}},
      {"UID twice", {{"new1", "New One"}, {"new1", "New Again"}}},
      {"bad UID", {{"new1", "New One"}, {"../x", "Sneaky"}}},
      {"no name", {{"new1", "New One"}, {"new2", ""}}},
      {"name too long", {{"new1", "New One"}, {"new2", std::string(kZaStoreMaxName + 1, 'x')}}},
  };
  for (const Case& c : cases) {
    std::vector<std::unique_ptr<VCard>> cards;
    for (const auto& p : c.cards) cards.push_back(Card(p.first, p.second));
    EXPECT_EQ(4, ErrorLevel([&] { (*admin)->AddPeople(&cards); })) << c.what;
    EXPECT_EQ(2u, (*admin)->People().size()) << c.what;
  }
  std::vector<std::unique_ptr<VCard>> longMail;
  longMail.push_back(Card("new1", "New", std::string(kZaStoreMaxName, 'm') + "@x"));
  EXPECT_EQ(4, ErrorLevel([&] { (*admin)->AddPeople(&longMail); }));
  EXPECT_EQ(ZaFalse, users->UserExists(C("new1")));
}

TEST_P(StoreContract, AccountsLoginsAndPasswords) {
  AddUser("ann", "Ann Smith", false);
  AddUser("bob", "Bob Lee", false);
  (*admin)->AddAccount("ann", "AnnL", true, "s3cret");
  EXPECT_EQ(4, ErrorLevel([&] { (*admin)->AddAccount("ghost", "gl", false, "x"); }));  // not in the directory
  EXPECT_EQ(4, ErrorLevel([&] { (*admin)->AddAccount("ann", "other", false, "x"); }));  // has one
  EXPECT_EQ(4, ErrorLevel([&] { (*admin)->AddAccount("bob", "annl", false, "x"); }));   // login taken
  EXPECT_EQ(ZaTrue, users->LoginTaken(C("ANNL")));
  EXPECT_EQ("ann", Taken(users->GetUidFromLogin(C("annl"))));
  EXPECT_EQ(nullptr, users->GetUidFromLogin(C("nobody")));
  EXPECT_EQ(ZaTrue, users->GetLoginFlag(C("ann")));
  EXPECT_NE(ZaFalse, users->CheckPassword(C("ann"), C("s3cret")));
  EXPECT_EQ(ZaFalse, users->CheckPassword(C("ann"), C("s3cret ")));
  EXPECT_EQ(ZaFalse, users->CheckPassword(C("bob"), C("")));

  // The console's account creation: the account, then its password.
  EXPECT_EQ(ZaFalse, users->AccountExists(C("bob")));
  users->CreateAccount(C("bob"), C("bobl"));
  users->SetPassword(C("bob"), C("new pw"));
  EXPECT_NE(ZaFalse, users->AccountExists(C("BOB")));
  EXPECT_NE(ZaFalse, users->CheckPassword(C("bob"), C("new pw")));
  EXPECT_EQ(ZaFalse, users->GetLoginFlag(C("bob")));
  EXPECT_EQ((std::map<std::string, std::string>{{"ann", "AnnL"}, {"bob", "bobl"}}),
            Pairs(users->GetAccountLogins()));
  users->NoteLogin(C("bob"));
  ASSERT_TRUE((*admin)->SetPassword("bob", "other"));
  EXPECT_EQ(ZaFalse, users->CheckPassword(C("bob"), C("new pw")));
  EXPECT_FALSE((*admin)->SetPassword("ghost", "x"));
}

TEST_P(StoreContract, NonCurrentUsersAndTheirCleanUp) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  (*admin)->AddGroup({"g1", "One", "bob", true, {"ann"}});
  ASSERT_TRUE((*admin)->AddToHotlist("ann", false, "bob"));
  ASSERT_TRUE((*admin)->SetPreference("bob", "style", "blue"));
  ASSERT_TRUE((*admin)->AddUsageFile(false, "bob", 20));
  ASSERT_TRUE((*admin)->RemovePerson("BOB"));
  EXPECT_FALSE((*admin)->RemovePerson("bob"));
  EXPECT_NE(ZaFalse, users->IsNonCurrentUser(C("bob")));
  EXPECT_EQ(ZaFalse, users->IsNonCurrentUser(C("ann")));
  EXPECT_EQ(ZaFalse, users->UserExists(C("bob")));
  EXPECT_EQ("Bob Lee", Taken(users->GetUserName(C("bob"))));  // remembered by the account
  EXPECT_EQ(1u, Pairs(users->GetCurrentUserNames()).size());
  EXPECT_EQ(2u, Pairs(users->GetAccountNames()).size());

  // The clean-up steps the console takes, in its order.
  ASSERT_NE(ZaFalse, groups->ChangeOwner(C("g1"), C("ann"), users));
  EXPECT_EQ(std::vector<std::string>{"g1"}, Values(groups->GetGroupsOwnedBy(C("ann"), users)));
  ASSERT_NE(ZaFalse, groups->RemoveMember(C("g1"), C("bob"), users));
  EXPECT_TRUE(Values(users->GetGroupsOfUser(C("bob"))).empty());
  users->DeleteAccount(C("bob"));
  users->DeleteUserData(C("bob"));
  EXPECT_EQ(ZaFalse, users->AccountExists(C("bob")));
  EXPECT_EQ(ZaFalse, users->IsNonCurrentUser(C("bob")));
  EXPECT_TRUE(Values(users->GetHotlistPeople(C("ann"))).empty());
  EXPECT_EQ(0u, Pairs(users->GetUserPreferences(C("bob"))).size());
  EXPECT_EQ(0, users->GetDiskUsage(C("bob")));
  EXPECT_EQ(1u, Pairs(users->GetAllDiskUsage()).size());
}

TEST_P(StoreContract, GroupsMembersOwnersAndDocuments) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  AddUser("cy", "Cy Young");
  (*admin)->AddGroup({"g1", "One", "ann", true, {"bob"}});
  (*admin)->AddGroup({"g2", "Two", "bob", false, {}});
  struct Case {
    const char* what;
    ZaStoreGroup group;
  } refused[] = {
      {"existing ID", {"G1", "Again", "ann", true, {}}},
      {"owner without account", {"g3", "Three", "ghost", true, {}}},
      {"member without account", {"g3", "Three", "ann", true, {"ghost"}}},
      {"bad ID", {"../g", "Three", "ann", true, {}}},
      {"name too long", {"g3", std::string(kZaStoreMaxName + 1, 'n'), "ann", true, {}}},
  };
  for (const Case& c : refused) EXPECT_EQ(4, ErrorLevel([&] { (*admin)->AddGroup(c.group); })) << c.what;
  EXPECT_EQ(2u, (*admin)->Groups().size());
  EXPECT_TRUE((*admin)->AddMember("g1", "cy"));
  EXPECT_TRUE((*admin)->AddMember("g1", "CY"));  // already a member
  EXPECT_FALSE((*admin)->AddMember("g1", "ghost"));

  std::unique_ptr<ZaGroupRecord> g1(groups->GetGroup(C("G1")));
  ASSERT_TRUE(g1);
  EXPECT_STREQ("g1", g1->groupId);
  EXPECT_STREQ("ann", g1->ownerId);
  EXPECT_STREQ("One", g1->groupName);
  EXPECT_EQ(1, g1->shared);
  EXPECT_EQ((std::vector<std::string>{"ann", "bob", "cy"}), Values(g1->members));
  g1->members = nullptr;  // Values took it
  std::unique_ptr<ZaGroupRecord> g2(groups->GetGroup(C("g2")));
  ASSERT_TRUE(g2);
  EXPECT_NE(1, g2->shared);
  EXPECT_EQ(nullptr, groups->GetGroup(C("g9")));
  EXPECT_EQ("Two", Taken(groups->GetGroupName(C("g2"))));
  EXPECT_EQ((std::map<std::string, std::string>{{"g1", "One"}, {"g2", "Two"}}), Pairs(groups->GetAllGroups()));
  EXPECT_EQ((std::vector<std::string>{"g1", "g2"}), Values(users->GetGroupsOfUser(C("BOB"))));
  ValList wanted, members;
  wanted.Append("g1");
  wanted.Append("g2");
  members.Append("ANN");
  groups->GetMembersOfGroups(&wanted, &members);
  EXPECT_EQ(3, members.count);  // each member once, those listed before included

  EXPECT_EQ(ZaFalse, groups->RemoveMember(C("g1"), C("ann"), users));  // the owner stays
  ASSERT_NE(ZaFalse, groups->ChangeOwner(C("g1"), C("cy"), users));
  EXPECT_EQ(std::vector<std::string>{"g1"}, Values(groups->GetGroupsOwnedBy(C("cy"), users)));
  EXPECT_TRUE(Values(groups->GetGroupsOwnedBy(C("ann"), users)).empty());
  ASSERT_NE(ZaFalse, groups->RemoveMember(C("g1"), C("ann"), users));
  EXPECT_TRUE(Values(users->GetGroupsOfUser(C("ann"))).empty());

  EXPECT_TRUE((*admin)->AddDocument("g1", {"plan", "The plan", "cy"}));
  EXPECT_FALSE((*admin)->AddDocument("g1", {"PLAN", "again", "cy"}));
  EXPECT_EQ(4, ErrorLevel([&] {
              (*admin)->AddDocument("g1", {"notes", std::string(kZaStoreMaxDescription + 1, 'd'), "cy"});
            }));
  EXPECT_EQ(4, ErrorLevel([&] { (*admin)->AddDocument("g1", {std::string(300, 'n'), "", "cy"}); }));
  std::unique_ptr<ZaDocumentObjList> docs(groups->GetGroupFiles(C("g1")));
  ASSERT_EQ(1, docs->count);
  EXPECT_STREQ("The plan", docs->head->description);

  ASSERT_TRUE((*admin)->AddToHotlist("ann", true, "g1"));
  ASSERT_TRUE((*admin)->AddUsageFile(true, "g1", 10));
  ASSERT_NE(ZaFalse, groups->DeleteGroup(C("g1"), users, ZaTrue));
  EXPECT_EQ(nullptr, groups->GetGroup(C("g1")));
  EXPECT_TRUE(Values(users->GetHotlistGroups(C("ann"))).empty());
  EXPECT_EQ(0, groups->GetGroupDiskUsage(C("g1")));
  EXPECT_EQ(0, std::unique_ptr<ZaDocumentObjList>(groups->GetGroupFiles(C("g1")))->count);
  EXPECT_EQ(ZaFalse, groups->DeleteGroup(C("g1"), users, ZaTrue));
}

TEST_P(StoreContract, HotlistsAndPreferences) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  (*admin)->AddGroup({"g1", "One", "bob", true, {}});
  struct Case {
    const char* what;
    bool group;
    const char* target;
    bool added;
  } cases[] = {
      {"person", false, "bob", true},
      {"person again, other spelling", false, "BOB", true},
      {"unknown person", false, "ghost", false},
      {"group", true, "g1", true},
      {"unknown group", true, "g9", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.added, (*admin)->AddToHotlist("ann", c.group, c.target)) << c.what;
  EXPECT_FALSE((*admin)->AddToHotlist("ghost", false, "bob"));
  EXPECT_EQ(std::vector<std::string>{"bob"}, Values(users->GetHotlistPeople(C("ANN"))));
  EXPECT_EQ(std::vector<std::string>{"g1"}, Values(users->GetHotlistGroups(C("ann"))));
  ASSERT_TRUE((*admin)->SetPreference("bob", "style", "blue"));
  ASSERT_TRUE((*admin)->SetPreference("bob", "STYLE", "green"));  // replaces
  EXPECT_EQ((std::map<std::string, std::string>{{"style", "green"}}), Pairs(users->GetUserPreferences(C("bob"))));
}

TEST_P(StoreContract, DiskUsageLargestFirst) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  AddUser("cy", "Cy Young");
  (*admin)->AddGroup({"g1", "One", "ann", true, {}});
  (*admin)->AddGroup({"g2", "Two", "ann", true, {}});
  ASSERT_TRUE((*admin)->AddUsageFile(false, "ann", 1000));
  ASSERT_TRUE((*admin)->AddUsageFile(false, "bob", 3000));
  ASSERT_TRUE((*admin)->AddUsageFile(false, "bob", 500));
  ASSERT_TRUE((*admin)->AddUsageFile(true, "g2", 70));
  EXPECT_FALSE((*admin)->AddUsageFile(false, "ghost", 1));
  EXPECT_FALSE((*admin)->AddUsageFile(true, "g9", 1));
  EXPECT_EQ(3500, users->GetDiskUsage(C("BOB")));
  EXPECT_EQ(70, groups->GetGroupDiskUsage(C("g2")));
  std::unique_ptr<ValNameList> all(users->GetAllDiskUsage());
  std::vector<std::string> order;
  for (ValNameListItem* i = all->head; i; i = i->next) order.push_back(std::string(i->name) + "=" + i->extra1);
  EXPECT_EQ((std::vector<std::string>{"bob=3500", "ann=1000", "cy=0"}), order);
  EXPECT_STREQ("Bob Lee", all->head->value);
  ValList some;
  some.Append("cy");
  some.Append("ann");
  EXPECT_EQ((std::map<std::string, std::string>{{"ann", "1000"}, {"cy", "0"}}),
            Pairs(users->GetDiskUsageOf(&some), true));
  std::unique_ptr<ValNameList> byGroup(groups->GetAllGroupsDiskUsage());
  ASSERT_EQ(2, byGroup->count);
  EXPECT_STREQ("g2", byGroup->head->name);
  EXPECT_STREQ("Two", byGroup->head->value);
  EXPECT_STREQ("70", byGroup->head->extra1);
  (*admin)->RescanUsage();
  EXPECT_EQ("3500", Pairs(users->GetAllDiskUsage(), true)["bob"]);
}

// Hostile IDs reach the slots from request parameters: they find nothing and
// touch nothing outside the store.
TEST_P(StoreContract, HostileIdsFindNothing) {
  AddUser("ann", "Ann Smith");
  (*admin)->AddGroup({"g1", "One", "ann", true, {}});
  for (const char* id : {"../victim", "../../victim", "", ".", "..", "a/b", "g1,ann", "ann\n", "ann'--", "%"}) {
    SCOPED_TRACE(std::string("id \"") + id + "\"");
    char* c = const_cast<char*>(id);
    EXPECT_EQ(ZaFalse, users->DeleteUserData(c));
    EXPECT_EQ(ZaFalse, groups->DeleteGroup(c, users, ZaTrue));
    EXPECT_EQ(0, users->GetDiskUsage(c));
    EXPECT_EQ(0, groups->GetGroupDiskUsage(c));
    EXPECT_EQ(ZaFalse, groups->RemoveMember(C("g1"), c, users));
    EXPECT_EQ(ZaFalse, groups->ChangeOwner(C("g1"), c, users));
    EXPECT_EQ(0, std::unique_ptr<ZaDocumentObjList>(groups->GetGroupFiles(c))->count);
    EXPECT_EQ(nullptr, groups->GetGroup(c));
    EXPECT_EQ(nullptr, users->GetUidFromLogin(c));
    EXPECT_EQ(ZaFalse, users->CheckPassword(c, c));
  }
  std::unique_ptr<ZaGroupRecord> g1(groups->GetGroup(C("g1")));
  ASSERT_TRUE(g1);
  EXPECT_STREQ("ann", g1->ownerId);
  EXPECT_EQ(1, g1->members->count);
}

TEST_P(StoreContract, SeededDirectoryIsConsistent) {
  ZaStoreBulkData data;
  ZaStoreGenerate(60, 9, 4, 7, &data);
  (*admin)->BulkLoad(&data);
  std::map<std::string, std::string> current = Pairs(users->GetCurrentUserNames());
  std::map<std::string, std::string> accounts = Pairs(users->GetAccountNames());
  EXPECT_EQ(60u, current.size());
  size_t nonCurrent = 0;
  for (const auto& a : accounts) nonCurrent += users->IsNonCurrentUser(C(a.first)) != ZaFalse;
  EXPECT_EQ(4u, nonCurrent);
  std::map<std::string, std::string> all = Pairs(groups->GetAllGroups());
  EXPECT_EQ(9u, all.size());
  for (const auto& g : all) {
    std::unique_ptr<ZaGroupRecord> record(groups->GetGroup(C(g.first)));
    ASSERT_TRUE(record);
    EXPECT_TRUE(accounts.count(record->ownerId)) << g.first;
    for (ValListItem* m = record->members->head; m; m = m->next) EXPECT_TRUE(accounts.count(m->value)) << m->value;
  }
  std::unique_ptr<ValNameList> usage(users->GetAllDiskUsage());
  EXPECT_EQ(static_cast<int>(accounts.size()), usage->count);
  for (ValNameListItem* i = usage->head; i && i->next; i = i->next) EXPECT_GE(atoll(i->extra1), atoll(i->next->extra1));
  ZaStoreBulkData again;
  ZaStoreGenerate(3, 1, 0, 1, &again);
  EXPECT_EQ(4, ErrorLevel([&] { (*admin)->BulkLoad(&again); }));  // not empty
}
