#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>

#include "fdbpasswd.h"
#include "fdbrecords.h"
#include "fdbstore.h"
#include "fdbtesting.h"
#include "fdbuserdb.h"
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

TEST_F(StoreTest, StaleSummaryIsIgnored) {
  AddPerson("ann", "Ann Smith");
  AddPerson("bob", "Bob Lee");
  // As after a crash between writing the cards and the summary: the summary
  // is older than the cards and lists too little.
  std::string summary = scratch.path + "/people.tab";
  FdbReplaceFile(summary, FdbFormatRecords("people", {{"ann", "Ann Smith", "", "0"}}));
  struct timespec old[2] = {{1, 0}, {1, 0}};
  utimensat(AT_FDCWD, summary.c_str(), old, 0);
  FileDirStore fresh(scratch.path);
  EXPECT_EQ(2u, fresh.People().size());
  EXPECT_TRUE(fresh.FindPerson("bob", nullptr));
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
  EXPECT_NE(FdbHashPassword("x"), FdbHashPassword("x"));  // fresh salt each time
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
  ASSERT_EQ(ZaTrue, users.DeleteUserData(bob));
  EXPECT_EQ(ZaFalse, ZaCheckIfDirectory(store->UserFolder("bob").c_str()));
  EXPECT_EQ(ZaTrue, users.IsSetUp());
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
