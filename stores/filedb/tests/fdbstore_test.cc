#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "zastorepasswd.h"
#include "fdbrecords.h"
#include "fdbstore.h"
#include "fdbtesting.h"
#include "fdbuserdb.h"
#include "vallist.h"
#include "vcard.h"
#include "versit.h"
#include "zadocument.h"
#include "zafile.h"

namespace {

std::unique_ptr<VCard> Card(const std::string& uid, const std::string& fn, const std::string& email = "") {
  std::unique_ptr<VCard> card(new VCard);
  card->AddEntry(VCardPropUid, uid.c_str());
  card->AddEntry(VCardPropFn, fn.c_str());
  if (!email.empty()) card->AddEntry(VCardPropEmail, email.c_str());
  return card;
}

struct StoreTest : ::testing::Test {
  ScratchDir scratch;
  std::unique_ptr<FileDirStore> store;
  void SetUp() override {
    store.reset(new FileDirStore(scratch.path));
    store->Initialise();
  }
  void AddPerson(const std::string& uid, const std::string& fn, const std::string& email = "") {
    std::vector<std::unique_ptr<VCard>> cards;
    cards.push_back(Card(uid, fn, email));
    store->AddPeople(&cards);
  }
  void AddUser(const std::string& uid, const std::string& fn) {
    AddPerson(uid, fn, uid + "@example.com");
    ASSERT_TRUE(store->CreateAccount(uid, uid + "-login", false));
  }
};

TEST(FdbRecords, FieldsWithSeparatorsComeBackUnchanged) {
  ScratchDir scratch;
  std::vector<FdbRecord> rows = {{"a\tb", "line\nbreak", "back\\slash", "cr\r"}, {"", "plain", "", ""}};
  std::string path = scratch.path + "/t.tab";
  FdbReplaceFile(path, FdbFormatRecords("things", rows));
  EXPECT_EQ(rows, FdbReadRecords(path, "things"));
  EXPECT_TRUE(FdbReadRecords(scratch.path + "/missing.tab", "things").empty());
  EXPECT_EQ(2, ErrorLevel([&] { FdbReadRecords(path, "other"); }));
}

TEST_F(StoreTest, PeopleKeepTheirCardsAcrossRemovals) {
  AddPerson("ann", "Ann Smith", "ann@example.com");
  AddPerson("bob", "Bob Lee");
  AddPerson("cy", "Cy Young", "cy@example.com");
  ASSERT_TRUE(store->RemovePerson("BOB"));
  EXPECT_FALSE(store->RemovePerson("bob"));
  // The card after the removed one moved: its offset must follow.
  std::unique_ptr<VCard> cy(store->ReadCard("cy"));
  ASSERT_TRUE(cy);
  EXPECT_STREQ("Cy Young", cy->GetEntry(VCardPropFn)->value);
  EXPECT_STREQ("Young;Cy", cy->GetEntry(VCardPropN)->value);
  EXPECT_FALSE(store->ReadCard("bob"));
  // The card index serves the versit library's readers too.
  VersitFileWithIndex file;
  ASSERT_EQ(ZaTrue, file.OpenWithIndex((scratch.path + "/people.vcf").c_str(),
                                       (scratch.path + "/people.idx").c_str(), ZaTrue));
  std::unique_ptr<VCard> viaIndex(file.GetVCard("cy"));
  ASSERT_TRUE(viaIndex);
  EXPECT_STREQ("cy@example.com", viaIndex->GetEntry(VCardPropEmail)->value);
  EXPECT_EQ(-1, file.GetVCardOffset("bob"));
}

TEST_F(StoreTest, ImportRefusesBadBatchesWhole) {
  AddPerson("ann", "Ann Smith");
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> cards;  // uid, name
  } cases[] = {
      {"existing UID", {{"new1", "New One"}, {"ANN", "Other Ann"}}},
      {"UID twice", {{"new1", "New One"}, {"new1", "New Again"}}},
      {"bad UID", {{"new1", "New One"}, {"../x", "Sneaky"}}},
      {"no name", {{"new1", "New One"}, {"new2", ""}}},
  };
  for (const Case& c : cases) {
    std::vector<std::unique_ptr<VCard>> cards;
    for (const auto& p : c.cards) {
      cards.emplace_back(new VCard);
      cards.back()->AddEntry(VCardPropUid, p.first.c_str());
      if (!p.second.empty()) cards.back()->AddEntry(VCardPropFn, p.second.c_str());
    }
    EXPECT_EQ(4, ErrorLevel([&] { store->AddPeople(&cards); })) << c.what;
    EXPECT_EQ(1u, store->People().size()) << c.what;
  }
}

TEST_F(StoreTest, SummaryNotMatchingTheCardsIsIgnored) {
  AddPerson("ann", "Ann Smith");
  std::string summary = scratch.path + "/people.tab", earlier;
  ASSERT_TRUE(FdbReadWholeFile(summary, &earlier));
  AddPerson("bob", "Bob Lee");
  // As after a crash between writing the cards and the summary, however the
  // file times fall: the summary left over lists too little; or it is damaged.
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"summary of the earlier cards, written later", earlier},
      {"summary without the cards' identity", FdbFormatRecords("people", {{"ann", "Ann Smith", "", "0"}})},
      {"damaged summary", "garbage\n"},
  };
  for (const Case& c : cases) {
    FdbReplaceFile(summary, c.text);
    FileDirStore fresh(scratch.path);
    EXPECT_EQ(2u, fresh.People().size()) << c.what;
    EXPECT_TRUE(fresh.FindPerson("bob", nullptr)) << c.what;
  }
}

// Makes every write of more than a few bytes fail, as on a full disk.
struct FullDisk {
  struct rlimit saved;
  FullDisk() {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit tiny = {16, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &tiny);
  }
  ~FullDisk() { setrlimit(RLIMIT_FSIZE, &saved); }
};

TEST_F(StoreTest, FailedWriteChangesNeitherFilesNorTheStoreObject) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  store->AddGroup({"g1", "One", "ann", true, {"bob"}});
  ASSERT_TRUE(store->SetPreference("ann", "style", "blue"));
  struct Case {
    const char* what;
    std::function<void(FileDirStore&)> change;
    std::function<bool(FileDirStore&)> unchanged;
  } cases[] = {
      {"delete account", [](FileDirStore& s) { s.DeleteAccount("bob"); },
       [](FileDirStore& s) { return s.FindAccount("bob", nullptr); }},
      {"remove member", [](FileDirStore& s) { s.RemoveMember("g1", "bob"); },
       [](FileDirStore& s) { return s.GroupsOfUser("bob").size() == 1; }},
      {"delete group", [](FileDirStore& s) { s.DeleteGroup("g1", true); },
       [](FileDirStore& s) { return s.FindGroup("g1", nullptr); }},
      {"preference", [](FileDirStore& s) { s.SetPreference("ann", "style", "red"); },
       [](FileDirStore& s) { return s.Preferences("ann").at(0).second == "blue"; }},
      {"remove person", [](FileDirStore& s) { s.RemovePerson("bob"); },
       [](FileDirStore& s) { return s.FindPerson("bob", nullptr) && s.People().size() == 2; }},
  };
  for (const Case& c : cases) {
    {
      FullDisk full;
      EXPECT_EQ(2, ErrorLevel([&] { c.change(*store); })) << c.what;
    }
    EXPECT_TRUE(c.unchanged(*store)) << c.what << ": the store object kept the lost change";
    FileDirStore fresh(scratch.path);
    EXPECT_TRUE(c.unchanged(fresh)) << c.what << ": the files changed";
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path))
      EXPECT_EQ(std::string::npos, entry.path().string().find(".tmp")) << c.what << ": left " << entry.path();
  }
}

TEST_F(StoreTest, AccountsAndPasswords) {
  AddPerson("ann", "Ann Smith");
  AddPerson("bob", "Bob Lee");
  EXPECT_FALSE(store->CreateAccount("nobody", "nob", false));  // not in the directory
  ASSERT_TRUE(store->CreateAccount("ann", "annl", true));
  EXPECT_FALSE(store->CreateAccount("ann", "other", false));  // has one
  EXPECT_FALSE(store->CreateAccount("bob", "ANNL", false));   // login taken
  ASSERT_TRUE(store->SetPassword("ann", "s3cret"));
  EXPECT_TRUE(store->CheckPassword("ann", "s3cret"));
  EXPECT_FALSE(store->CheckPassword("ann", "s3cret "));
  EXPECT_FALSE(store->CheckPassword("bob", ""));
  std::string file;
  ASSERT_TRUE(FdbReadWholeFile(scratch.path + "/accounts.tab", &file));
  EXPECT_EQ(std::string::npos, file.find("s3cret"));
  FdbAccount a;
  ASSERT_TRUE(store->FindAccountByLogin("AnnL", &a));
  EXPECT_TRUE(a.admin);
  EXPECT_EQ("ann", a.uid);
}

TEST_F(StoreTest, GroupMembershipAndOwnership) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  AddUser("cy", "Cy Young");
  store->AddGroup({"g1", "One", "ann", true, {"bob"}});
  store->AddGroup({"g2", "Two", "bob", false, {}});
  EXPECT_EQ(4, ErrorLevel([&] { store->AddGroup({"G1", "Again", "ann", true, {}}); }));
  EXPECT_EQ(4, ErrorLevel([&] { store->AddGroup({"g3", "Three", "ghost", true, {}}); }));
  EXPECT_TRUE(store->AddMember("g1", "cy"));
  EXPECT_TRUE(store->AddMember("g1", "cy"));  // already a member
  EXPECT_FALSE(store->AddMember("g1", "ghost"));
  EXPECT_FALSE(store->RemoveMember("g1", "ann"));  // the owner stays
  EXPECT_EQ((std::vector<std::string>{"g1", "g2"}), store->GroupsOfUser("BOB"));
  EXPECT_TRUE(store->ChangeOwner("g1", "cy"));
  EXPECT_EQ(std::vector<std::string>{"g1"}, store->GroupsOwnedBy("cy"));
  EXPECT_TRUE(store->RemoveMember("g1", "ann"));
  EXPECT_TRUE(store->GroupsOfUser("ann").empty());
  ASSERT_TRUE(store->AddToHotlist("ann", kFdbHotlistGroup, "g1"));
  ASSERT_TRUE(store->AddDocument("g1", {"plan", "The plan", "cy"}));
  EXPECT_FALSE(store->AddDocument("g1", {"PLAN", "again", "cy"}));
  std::unique_ptr<ZaDocumentObjList> docs(store->GroupDocuments("g1"));
  EXPECT_EQ(1, docs->count);
  ASSERT_TRUE(store->DeleteGroup("g1", true));
  EXPECT_FALSE(store->FindGroup("g1", nullptr));
  EXPECT_TRUE(store->Hotlist("ann", kFdbHotlistGroup).empty());
  EXPECT_EQ(ZaFalse, ZaCheckIfDirectory(store->GroupFolder("g1").c_str()));
  docs.reset(store->GroupDocuments("g1"));
  EXPECT_EQ(0, docs->count);
}

TEST_F(StoreTest, UsageMatchesTheFoldersEvenWhenChangedBehindTheStore) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  ASSERT_TRUE(store->AddUsageFile(false, "ann", 1000));
  ASSERT_TRUE(store->AddUsageFile(false, "bob", 300));
  EXPECT_FALSE(store->AddUsageFile(false, "ghost", 1));
  std::ofstream(store->UserFolder("bob") + "/extra") << std::string(5000, 'x');
  auto all = store->AllUserUsage();
  ASSERT_EQ(2u, all.size());
  EXPECT_EQ("bob", all[0].first);
  for (const auto& u : all) EXPECT_EQ(ZaGetDirSize(store->UserFolder(u.first).c_str()), u.second) << u.first;
  EXPECT_EQ(1000, store->UserUsage("ann"));
  // A file added right after the store measured the folder, within the same
  // tick of the file clock, still shows in the listing.
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(store->AddUsageFile(false, "ann", 1));
    std::ofstream(store->UserFolder("ann") + "/quick" + std::to_string(i)) << "12345";
    auto again = store->AllUserUsage();
    ASSERT_EQ("ann", again[1].first);
    ASSERT_EQ(ZaGetDirSize(store->UserFolder("ann").c_str()), again[1].second) << i;
  }
}

TEST_F(StoreTest, ConsoleViewOfNonCurrentUsers) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  ASSERT_TRUE(store->AddUsageFile(false, "ann", 10));
  ASSERT_TRUE(store->AddUsageFile(false, "bob", 20));
  ASSERT_TRUE(store->RemovePerson("bob"));
  ZaFileUserDB users;
  users.OpenAt(scratch.path);
  char bob[] = "bob", ann[] = "ann";
  EXPECT_EQ(ZaTrue, users.IsNonCurrentUser(bob));
  EXPECT_EQ(ZaFalse, users.IsNonCurrentUser(ann));
  EXPECT_EQ(ZaFalse, users.UserExists(bob));
  char* name = users.GetUserName(bob);
  EXPECT_STREQ("Bob Lee", name);  // remembered by the account
  free(name);
  std::unique_ptr<ValNameList> usage(users.GetAllDiskUsage());
  ASSERT_EQ(2, usage->count);
  EXPECT_STREQ("bob", usage->head->name);
  EXPECT_STREQ("Bob Lee", usage->head->value);
  EXPECT_STREQ("20", usage->head->extra1);
  std::unique_ptr<ValNameList> current(users.GetCurrentUsers());
  EXPECT_EQ(1, current->count);
  // One item per user, largest first, however the IDs are repeated or spelt.
  ValList chosen;
  chosen.Append("ANN")->Append("bob")->Append("ann");
  std::unique_ptr<ValNameList> some(users.GetDiskUsageOf(&chosen));
  ASSERT_EQ(2, some->count);
  EXPECT_STREQ("bob", some->head->name);
  EXPECT_STREQ("Ann Smith", some->tail->value);
  EXPECT_STREQ("10", some->tail->extra1);
  store->AddGroup({"g1", "One", "ann", true, {"bob"}});
  store->AddGroup({"g2", "Two", "bob", true, {"ann"}});
  ZaFileGroupDB groups;
  groups.OpenAt(scratch.path);
  ValList gids, members;
  gids.Append("g1")->Append("G2");
  members.Append("BOB");
  groups.GetMembersOfGroups(&gids, &members);
  ASSERT_EQ(2, members.count);
  EXPECT_STREQ("BOB", members.head->value);
  EXPECT_STREQ("ann", members.tail->value);
  ASSERT_EQ(ZaTrue, users.DeleteUserData(bob));
  EXPECT_EQ(ZaFalse, ZaCheckIfDirectory(store->UserFolder("bob").c_str()));
  EXPECT_EQ(ZaTrue, users.IsSetUp());
}

TEST_F(StoreTest, HostileIdsTouchNothingOutsideTheStore) {
  AddUser("ann", "Ann Smith");
  store->AddGroup({"g1", "One", "ann", true, {}});
  // A victim folder beside the store's users and groups folders.
  std::string victim = scratch.path + "/victim";
  ASSERT_EQ(ZaTrue, ZaMkdir(victim.c_str(), 0755, ZaTrue));
  std::ofstream(victim + "/keep") << "data";
  ZaFileUserDB users;
  ZaFileGroupDB groups;
  users.OpenAt(scratch.path);
  groups.OpenAt(scratch.path);
  for (const char* id : {"../victim", "../../victim", "", ".", "..", "a/b", "g1,ann", "ann\n"}) {
    SCOPED_TRACE(std::string("id \"") + id + "\"");
    char* c = const_cast<char*>(id);
    EXPECT_EQ(ZaFalse, users.DeleteUserData(c));
    EXPECT_EQ(ZaFalse, groups.DeleteGroup(c, &users, ZaTrue));
    EXPECT_EQ(0, users.GetDiskUsage(c));
    EXPECT_EQ(0, groups.GetGroupDiskUsage(c));
    EXPECT_EQ(ZaFalse, groups.RemoveMember(const_cast<char*>("g1"), c, &users));
    EXPECT_EQ(ZaFalse, groups.ChangeOwner(const_cast<char*>("g1"), c, &users));
    std::unique_ptr<ZaDocumentObjList> docs(groups.GetGroupFiles(c));
    ASSERT_TRUE(docs);
    EXPECT_EQ(0, docs->count);
    EXPECT_EQ(nullptr, groups.GetGroup(c));
    EXPECT_EQ(nullptr, users.GetUidFromLogin(c));
  }
  EXPECT_EQ(ZaTrue, ZaCheckIfFile((victim + "/keep").c_str()));
  std::unique_ptr<ZaGroupRecord> g1(groups.GetGroup(const_cast<char*>("G1")));
  ASSERT_TRUE(g1);
  EXPECT_STREQ("ann", g1->ownerId);
  EXPECT_EQ(1, g1->members->count);
}

TEST_F(StoreTest, HotlistsAndPreferencesFollowTheirTargets) {
  AddUser("ann", "Ann Smith");
  AddUser("bob", "Bob Lee");
  store->AddGroup({"g1", "One", "bob", true, {}});
  struct Case {
    const char* what;
    FdbHotlistKind kind;
    const char* target;
    bool added;
  } cases[] = {
      {"person", kFdbHotlistPerson, "bob", true},
      {"person again, other spelling", kFdbHotlistPerson, "BOB", true},
      {"unknown person", kFdbHotlistPerson, "ghost", false},
      {"group", kFdbHotlistGroup, "g1", true},
      {"unknown group", kFdbHotlistGroup, "g9", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.added, store->AddToHotlist("ann", c.kind, c.target)) << c.what;
  EXPECT_FALSE(store->AddToHotlist("ghost", kFdbHotlistPerson, "bob"));  // no account
  EXPECT_EQ(std::vector<std::string>{"bob"}, store->Hotlist("ANN", kFdbHotlistPerson));
  EXPECT_EQ(std::vector<std::string>{"g1"}, store->Hotlist("ann", kFdbHotlistGroup));
  ASSERT_TRUE(store->SetPreference("bob", "style", "blue"));
  ASSERT_TRUE(store->SetPreference("bob", "STYLE", "green"));  // replaces
  ZaFileUserDB users;
  users.OpenAt(scratch.path);
  std::unique_ptr<ValNameList> prefs(users.GetUserPreferences(const_cast<char*>("bob")));
  ASSERT_EQ(1, prefs->count);
  EXPECT_STREQ("green", prefs->Lookup("style")->value);
  // Removing bob's data takes him out of ann's hotlist, and his preferences.
  ASSERT_EQ(ZaTrue, users.DeleteUserData(const_cast<char*>("bob")));
  EXPECT_TRUE(store->Hotlist("ann", kFdbHotlistPerson).empty());
  EXPECT_EQ(std::vector<std::string>{"g1"}, store->Hotlist("ann", kFdbHotlistGroup));
  EXPECT_TRUE(store->Preferences("bob").empty());
  // Deleting a group without its data keeps the folder for archiving.
  ASSERT_TRUE(store->AddUsageFile(true, "g1", 10));
  ASSERT_TRUE(store->DeleteGroup("g1", false));
  EXPECT_TRUE(store->Hotlist("ann", kFdbHotlistGroup).empty());
  EXPECT_EQ(ZaTrue, ZaCheckIfDirectory(store->GroupFolder("g1").c_str()));
}

TEST(FdbSlots, UnopenedStoreRaisesInsteadOfCrashing) {
  ZaFileUserDB users;
  ZaFileGroupDB groups;
  char uid[] = "ann";
  EXPECT_EQ(ZaFalse, users.IsSetUp());
  EXPECT_EQ(2, ErrorLevel([&] { users.GetUserName(uid); }));
  EXPECT_EQ(2, ErrorLevel([&] { users.GetAllDiskUsage(); }));
  EXPECT_EQ(2, ErrorLevel([&] { groups.GetGroup(uid); }));
  EXPECT_EQ(2, ErrorLevel([&] { groups.GetAllGroupsDiskUsage(); }));
}

TEST(FdbReachability, MissingFolderIsAStoreError) {
  ScratchDir scratch;
  ZaFileUserDB users;
  ZaFileGroupDB groups;
  EXPECT_EQ(3, ErrorLevel([&] { users.OpenAt(scratch.path + "/nowhere"); }));
  EXPECT_EQ(3, ErrorLevel([&] { groups.OpenAt(scratch.path + "/nowhere"); }));
  EXPECT_EQ(ZaFalse, users.IsSetUp());
  FileDirStore store(scratch.path + "/data");
  ASSERT_EQ(0, mkdir((scratch.path + "/data").c_str(), 0755));
  store.Initialise();
  ASSERT_EQ(0, rename((scratch.path + "/data").c_str(), (scratch.path + "/gone").c_str()));
  EXPECT_EQ(3, ErrorLevel([&] { store.People(); }));
}

}  // namespace
