// The store loader, the program's own store operations and the slot layout
// that separately built plug-ins bind to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dbUtil.h"
#include "groupDB.h"
#include "list.h"
#include "store_install.h"
#include "userDB.h"
#include "vcard.h"
#include "zaconfigDB.h"

namespace {

// Itanium C++ ABI: a pointer to a virtual member function holds 1 + the byte
// offset of its vtable entry. The destructor takes two entries, so slot N
// (N >= 2, counting the destructor as slot 1) sits at entry N.
template <typename F>
long SlotOf(F member) {
  struct Rep { long ptr; long adj; } rep;
  static_assert(sizeof(member) == sizeof(rep), "unexpected member pointer size");
  memcpy(&rep, &member, sizeof rep);
  return (rep.ptr - 1) / static_cast<long>(sizeof(void*));
}

TEST(SlotLayout, UserDBOperationsSitAtTheirSlots) {
  const std::vector<std::pair<long, long>> slots = {
      {SlotOf(&UserDB::Open), 2}, {SlotOf(&UserDB::Connect), 3}, {SlotOf(&UserDB::ReadDBFiles), 4},
      {SlotOf(&UserDB::GetBaseCard), 7}, {SlotOf(&UserDB::CheckIfColdStart), 14},
      {SlotOf(&UserDB::IsSetUp), 15}, {SlotOf(&UserDB::NoteLogin), 17},
      {SlotOf(&UserDB::DeleteAccount), 18}, {SlotOf(&UserDB::GetLoginFlag), 19},
      {SlotOf(&UserDB::CheckPassword), 27}, {SlotOf(&UserDB::SetPassword), 28},
      {SlotOf(&UserDB::UserExists), 29}, {SlotOf(&UserDB::LoginTaken), 30},
      {SlotOf(&UserDB::GetUidFromLogin), 31}, {SlotOf(&UserDB::GetUidFromServerUser), 32},
      {SlotOf(&UserDB::AccountExists), 33}, {SlotOf(&UserDB::CreateAccount), 34},
      {SlotOf(&UserDB::GetUserName), 36}, {SlotOf(&UserDB::GetRole), 37},
      {SlotOf(&UserDB::GetIndirectReport), 38}, {SlotOf(&UserDB::GetEmailAddress), 39},
      {SlotOf(&UserDB::GetGroupsOfUser), 40}, {SlotOf(&UserDB::GetHotlistPeople), 48},
      {SlotOf(&UserDB::GetHotlistGroups), 49}, {SlotOf(&UserDB::GetUserPreferences), 56},
      {SlotOf(&UserDB::GetVCard), 58},
      {SlotOf(static_cast<ValNameList* (UserDB::*)(ValList*)>(&UserDB::SortByValue)), 62},
      {SlotOf(static_cast<void (UserDB::*)(VoidList*)>(&UserDB::SortByValue)), 63},
      {SlotOf(&UserDB::GetDiskUsage), 66}, {SlotOf(&UserDB::GetAllDiskUsage), 67},
      {SlotOf(&UserDB::GetDiskUsageOf), 68}, {SlotOf(&UserDB::GetCurrentUserNames), 69},
      {SlotOf(&UserDB::GetAccountLogins), 70}, {SlotOf(&UserDB::GetAccountNames), 71},
      {SlotOf(&UserDB::DeleteUserData), 72}, {SlotOf(&UserDB::IsNonCurrentUser), 73},
      {SlotOf(&UserDB::GetCurrentUsers), 74}, {SlotOf(&UserDB::WarmUpCaches), 104},
      {SlotOf(&UserDB::GetTableKey), 111}, {SlotOf(&UserDB::ReservedUserSlot110), 110}};
  for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i].first, slots[i].second) << "row " << i;
}

TEST(SlotLayout, GroupDBOperationsSitAtTheirSlots) {
  const std::vector<std::pair<long, long>> slots = {
      {SlotOf(&GroupDB::Open), 2}, {SlotOf(&GroupDB::GetGroupName), 4},
      {SlotOf(static_cast<void (GroupDB::*)(VoidList*)>(&GroupDB::SortByValue)), 5},
      {SlotOf(static_cast<ValNameList* (GroupDB::*)(ValList*)>(&GroupDB::SortByValue)), 6},
      {SlotOf(&GroupDB::GetMembersOfGroups), 7}, {SlotOf(&GroupDB::GetGroup), 10},
      {SlotOf(&GroupDB::GetAllGroups), 11}, {SlotOf(&GroupDB::DeleteGroup), 13},
      {SlotOf(&GroupDB::GetGroupFiles), 20}, {SlotOf(&GroupDB::ChangeOwner), 21},
      {SlotOf(&GroupDB::RemoveMember), 22}, {SlotOf(&GroupDB::GetGroupsOwnedBy), 23},
      {SlotOf(&GroupDB::GetGroupDiskUsage), 24}, {SlotOf(&GroupDB::GetAllGroupsDiskUsage), 25},
      {SlotOf(&GroupDB::ReservedGroupSlot31), 31}};
  for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i].first, slots[i].second) << "row " << i;
}

// The insertion rule the sort must reproduce: each new key goes before the
// first kept key that is not smaller than it (ignoring case).
std::vector<size_t> InsertionOrder(const std::vector<const char*>& keys) {
  std::vector<size_t> order;
  for (size_t i = 0; i < keys.size(); ++i) {
    auto at = order.begin();
    while (at != order.end() && strcasecmp(keys[i], keys[*at]) > 0) ++at;
    order.insert(at, i);
  }
  return order;
}

TEST(SortOrder, MatchesInsertionRule) {
  std::vector<const char*> bAa = {"b", "A", "a"};
  EXPECT_EQ(ZaOrderByKeyLaterFirst(bAa), (std::vector<size_t>{2, 1, 0}));
  const char* pool[] = {"a", "A", "b", "B", "ab", "aB", "", "zz"};
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<const char*> keys(random() % 12);
    for (const char*& k : keys) k = pool[random() % 8];
    EXPECT_EQ(ZaOrderByKeyLaterFirst(keys), InsertionOrder(keys)) << "round " << round;
  }
}

TEST(GetDLLPath, NamesTheLibraryOfEachFormat) {
  StoreInstall install;
  const std::string top = install.Top().string();
  EXPECT_EQ(GetDLLPath(nullptr, ZA_ZARVO), nullptr);
  struct Row { ZaDBFormat format; const char* file; };
  const Row rows[] = {{ZA_ZARVO, "zafiledblib_cgi.so"}, {ZA_LDAP, "zaldapdblib_cgi.so"},
                      {ZA_SQL, "zasqldblib_cgi.so"}, {static_cast<ZaDBFormat>(3), "zalib_cgi.so"}};
  for (const Row& row : rows) {
    // Without the file there is no path, and the top directory text is freed
    // (a sanitizer build reports it otherwise).
    EXPECT_EQ(GetDLLPath(strdup(top.c_str()), row.format), nullptr) << row.file;
    install.WriteFile(std::string("lib/") + row.file, "x");
    char* topDir = strdup(top.c_str());
    char* path = GetDLLPath(topDir, row.format);
    ASSERT_NE(path, nullptr) << row.file;
    EXPECT_EQ(std::string(path), top + "/lib/" + row.file);
    free(path);
    free(topDir);
  }
}

// Runs `load` and returns the two newest trace messages of the error it raises.
template <typename F>
std::pair<std::string, std::string> LoadFailure(F load) {
  try {
    load();
  } catch (ZaError* e) {
    std::pair<std::string, std::string> lines(TraceMessage(e, 0), TraceMessage(e, 1));
    EXPECT_EQ(e->userMessages.count, 0);
    delete e;
    return lines;
  }
  ADD_FAILURE() << "no error raised";
  return {};
}

TEST(Loader, ReportsEachWayOfFailing) {
  struct Row { const char* library; const char* cause; };
  const Row rows[] = {{nullptr, "Unable to locate the shared library to load!"},
                      {"not-a-library", "Unable to open the shared library "},
                      {"/lib/x86_64-linux-gnu/libm.so.6", "Look up of symbol - ZaCreateImp"}};
  for (const Row& row : rows) {
    StoreInstall install;
    if (row.library && row.library[0] == '/') install.InstallLibrary(row.library, "zafiledblib_cgi.so");
    if (row.library && row.library[0] != '/') install.WriteFile("lib/zafiledblib_cgi.so", row.library);
    ZaConfigDB config(nullptr);
    auto user = LoadFailure([&] { ZaCreateUserDB(&config); });
    EXPECT_EQ(user.first, "ZaCreateUserDB() failed!");
    EXPECT_EQ(user.second.rfind(row.cause, 0), 0u) << user.second;
    auto group = LoadFailure([&] { ZaCreateGroupDB(&config); });
    EXPECT_EQ(group.first, "ZaCreateGroupDB() failed!");
    EXPECT_EQ(group.second.rfind(row.cause, 0), 0u) << group.second;
    EXPECT_EQ(LoadFailure([&] { ZaDestroyUserDB(nullptr, &config); }).first, "ZaDestroyUserDB() failed!");
    EXPECT_EQ(LoadFailure([&] { ZaDestroyGroupDB(nullptr, &config); }).first, "ZaDestroyGroupDB() failed!");
  }
}

TEST(Loader, PutsSqlEnvironmentOnlyForTheSqlUserStore) {
  struct Row { const char* format; const char* library; bool userStore; bool expectSet; };
  const Row rows[] = {{"ZA_SQL", "zasqldblib_cgi.so", false, false},
                      {"ZA_ZARVO", "zafiledblib_cgi.so", true, false},
                      {"ZA_SQL", "zasqldblib_cgi.so", true, true}};
  for (const Row& row : rows) {
    StoreInstall install;
    install.InstallLibrary(MemoryStoreLibrary(), row.library);
    install.WriteConfig(std::string("empDirDBFormat:") + row.format + "\nDBENV:ZA_LOADER_TEST_ENV=set\n");
    unsetenv("ZA_LOADER_TEST_ENV");
    ZaConfigDB config(nullptr);
    if (row.userStore) {
      ZaDestroyUserDB(ZaCreateUserDB(&config), &config);
    } else {
      ZaDestroyGroupDB(ZaCreateGroupDB(&config), &config);
    }
    EXPECT_EQ(getenv("ZA_LOADER_TEST_ENV") != nullptr, row.expectSet) << row.format << row.userStore;
  }
}

TEST(Loader, ThreadSetupSucceedsForEveryFormat) {
  for (const char* format : {"ZA_ZARVO", "ZA_LDAP", "ZA_SQL"}) {
    StoreInstall install;
    install.WriteConfig(std::string("empDirDBFormat:") + format + "\n");
    ZaConfigDB config(nullptr);
    EXPECT_EQ(ZaDBThreadSetup(&config, 0), ZaTrue) << format;
    EXPECT_EQ(ZaDBThreadSetupFree(0), ZaTrue) << format;
  }
}

// A store loaded from the test plug-in, for the program's own operations.
class OwnOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    install_.InstallLibrary(MemoryStoreLibrary(), "zafiledblib_cgi.so");
    install_.WriteFile("testdb/seed.lst",
                       "person|x1|b|\nperson|x2|A|\nperson|x3|a|\n"
                       "group|g1|b|x1|1|\ngroup|g2|A|x1|1|\ngroup|g3|a|x1|1|\n");
    users_ = ZaCreateUserDB(&config_);
    groups_ = ZaCreateGroupDB(&config_);
    int key = 0;
    ASSERT_EQ(users_->Open(ZaFalse, &config_, &key), ZaTrue);
    ASSERT_EQ(groups_->Open(&config_, &key), ZaTrue);
  }
  void TearDown() override {
    ZaDestroyUserDB(users_, &config_);
    ZaDestroyGroupDB(groups_, &config_);
  }
  StoreInstall install_;
  ZaConfigDB config_{nullptr};
  UserDB* users_ = nullptr;
  GroupDB* groups_ = nullptr;
};

std::vector<std::string> Names(ValNameList* list) {
  std::vector<std::string> out;
  for (ValNameListItem* i = list->head; i; i = i->next) out.push_back(i->name);
  delete list;
  return out;
}

TEST_F(OwnOperations, SortByValueOrdersByStoreNames) {
  ValList ids;
  ids.Append("x1")->Append("x2")->Append("x3");
  EXPECT_EQ(Names(users_->SortByValue(&ids)), (std::vector<std::string>{"x3", "x2", "x1"}));
  EXPECT_EQ(ids.count, 3);
  ValList gids;
  gids.Append("g1")->Append("g2")->Append("g3");
  EXPECT_EQ(Names(groups_->SortByValue(&gids)), (std::vector<std::string>{"g3", "g2", "g1"}));

  VCard b, upperA, a;
  b.AddEntry(VCardPropFn, "b");
  upperA.AddEntry(VCardPropFn, "A");
  a.AddEntry(VCardPropFn, "a");
  VoidList cards;
  cards.Append(&b)->Append(&upperA)->Append(&a);
  users_->SortByValue(&cards);
  EXPECT_EQ(cards.GetNthItem(0)->data, &a);
  EXPECT_EQ(cards.GetNthItem(1)->data, &upperA);
  EXPECT_EQ(cards.GetNthItem(2)->data, &b);

  ZaGroupRecord* records[3];
  VoidList recordList;
  for (const char* name : {"b", "A", "a"}) {
    ZaGroupRecord* r = new ZaGroupRecord();
    r->groupName = strdup(name);
    records[recordList.count] = r;
    recordList.Append(r);
  }
  groups_->SortByValue(&recordList);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(recordList.GetNthItem(i)->data, records[2 - i]);
  for (ZaGroupRecord* r : records) delete r;
}

TEST_F(OwnOperations, ColdStartFollowsTheSetupStatus) {
  struct Row { const char* setupFile; ZaBoolean coldStart; };
  const Row rows[] = {{nullptr, ZaTrue},
                      {"BEGIN:vNameList\nstatus:DONE\nEND:vNameList\n", ZaFalse},
                      {"BEGIN:vNameList\nstatus:done\nEND:vNameList\n", ZaFalse},
                      {"BEGIN:vNameList\nstatus:started\nEND:vNameList\n", ZaTrue},
                      {"BEGIN:vNameList\nstep:3\nEND:vNameList\n", ZaTrue}};
  for (const Row& row : rows) {
    fs::remove(install_.Top() / "config/setup.lst");
    if (row.setupFile) install_.WriteFile("config/setup.lst", row.setupFile);
    EXPECT_EQ(users_->CheckIfColdStart(), row.coldStart) << (row.setupFile ? row.setupFile : "none");
  }
}

TEST_F(OwnOperations, RoleAndIndirectReportComeFromTheCard) {
  VCard card;
  EXPECT_EQ(users_->GetRole(&card), nullptr);
  EXPECT_EQ(users_->GetIndirectReport(&card), nullptr);
  card.AddEntry(VCardPropRole, "");
  card.AddEntry(VCardPropZarvoUid, "plain");
  EXPECT_EQ(users_->GetRole(&card), nullptr);
  EXPECT_EQ(users_->GetIndirectReport(&card), nullptr);
  card.AddEntry(new VCardEntry(VCardPropRole, "Engineer"));
  card.AddEntry((new VCardEntry(VCardPropZarvoUid, "rep7"))->AddSubType(VCardKindType, 50));
  VCard roleFirst;
  roleFirst.AddEntry(VCardPropRole, "Engineer");
  char* role = users_->GetRole(&roleFirst);
  char* report = users_->GetIndirectReport(&card);
  EXPECT_STREQ(role, "Engineer");
  EXPECT_STREQ(report, "rep7");
  free(role);
  free(report);
}

TEST_F(OwnOperations, DefaultsAndReservedSlots) {
  EXPECT_EQ(users_->Connect(&config_), ZaTrue);
  EXPECT_EQ(users_->GetTableKey(const_cast<char*>("EMPTBL")), nullptr);
  for (auto call : {+[](UserDB* u, GroupDB*) { u->ReservedUserSlot5(); },
                    +[](UserDB*, GroupDB* g) { g->ReservedGroupSlot3(); }}) {
    try {
      call(users_, groups_);
      ADD_FAILURE() << "reserved slot returned";
    } catch (ZaError* e) {
      EXPECT_EQ(e->level, 2);
      delete e;
    }
  }
}

}  // namespace
