// The LDAP store against a private slapd: literal IDs, group changes that
// keep the directory consistent, passwords, paging and an unreachable server.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <memory>
#include <set>

#include "ldapstore.h"
#include "ldaptesting.h"
#include "zafile.h"

namespace {

PrivateSlapd* server = nullptr;

struct Slapd : ::testing::Environment {
  void SetUp() override {
    server = new PrivateSlapd;
    if (!server->running) {
      std::string why = server->output;
      delete server;
      server = nullptr;
      FAIL() << why;
    }
    try {
      LdapDirStore(LdapConnection::Shared(server->settings)).Initialise();
    } catch (ZaError* e) {
      std::unique_ptr<ZaError> owned(e);
      std::string why = e->lines.head ? e->lines.head->value : "";
      delete server;  // TearDown does not run after a failed SetUp
      server = nullptr;
      FAIL() << why;
    }
  }
  void TearDown() override { delete server; }
};
::testing::Environment* const slapd = ::testing::AddGlobalTestEnvironment(new Slapd);

struct LdapStoreTest : ::testing::Test {
  std::unique_ptr<LdapDirStore> store;
  void SetUp() override {
    ASSERT_TRUE(server && server->running);
    store.reset(new LdapDirStore(LdapConnection::Shared(server->settings)));
  }
  void AddUser(const std::string& uid) {
    ASSERT_TRUE(store->AddPerson(uid, "Name of " + uid, uid + "@example.com")) << uid;
    ASSERT_TRUE(store->CreateAccount(uid, "login-" + uid, false)) << uid;
  }
  std::set<std::string> Members(const std::string& gid) {
    LdapDirStore fresh(LdapConnection::Shared(server->settings));
    LdapGroup g;
    EXPECT_TRUE(fresh.FindGroup(gid, &g));
    return std::set<std::string>(g.members.begin(), g.members.end());
  }
};

TEST_F(LdapStoreTest, HostileIdsAreStoredAndFoundLiterally) {
  // Each ID next to a plain one that a widened filter or a mangled DN would reach.
  const char* hostile[] = {"h*", "h(", "h)", "h\\", "h,ou=groups", "h+cn=x", "h=", "*", "h\\2a", " h ", "#h"};
  AddUser("hplain");
  for (const char* id : hostile) AddUser(id);
  for (const char* id : hostile) {
    SCOPED_TRACE(id);
    LdapPerson p;
    ASSERT_TRUE(store->FindPerson(id, &p));
    EXPECT_EQ(id, p.uid);
    LdapAccount a;
    ASSERT_TRUE(store->FindAccountByLogin(std::string("login-") + id, &a));
    EXPECT_EQ(id, a.uid);
    LdapGroup g{std::string("g") + id, std::string("group ") + id, id, false, {"hplain"}};
    ASSERT_TRUE(store->AddGroup(g));
    EXPECT_EQ((std::set<std::string>{id, "hplain"}), Members(g.gid));
    EXPECT_EQ(std::vector<std::string>{g.gid}, store->GroupsOwnedBy(id));
    EXPECT_EQ(0u, store->UserFolder(id).find(server->settings.dataDir + "/users/"));
    EXPECT_EQ(std::string::npos, store->UserFolder(id).find('/', server->settings.dataDir.size() + 7));
  }
  EXPECT_FALSE(store->FindPerson("hpla*", nullptr));
  EXPECT_FALSE(store->FindAccountByLogin("login-hpl*", nullptr));
  EXPECT_TRUE(store->GroupsOwnedBy("h\\2a").size() == 1 && store->GroupsOwnedBy("h*").size() == 1);
}

TEST_F(LdapStoreTest, GroupChangesKeepOwnerMembershipAndHotlists) {
  for (const char* u : {"gown", "gmem", "gnew"}) AddUser(u);
  ASSERT_TRUE(store->AddGroup({"gx", "Group X", "gown", true, {"gmem"}}));
  EXPECT_FALSE(store->AddGroup({"GX", "again", "gown", false, {}}));
  EXPECT_FALSE(store->AddGroup({"gy", "no owner", "nobody", false, {}}));
  ASSERT_TRUE(store->AddToHotlist("gmem", kLdapHotlistGroup, "gx"));
  EXPECT_FALSE(store->RemoveMember("gx", "gown"));  // the owner stays a member
  EXPECT_FALSE(store->RemoveMember("gx", "gnew"));
  ASSERT_TRUE(store->ChangeOwner("gx", "gnew"));
  EXPECT_EQ((std::set<std::string>{"gown", "gmem", "gnew"}), Members("gx"));
  EXPECT_TRUE(store->RemoveMember("gx", "gown"));
  ASSERT_TRUE(store->ChangeOwner("gx", "gmem"));  // already a member
  EXPECT_EQ((std::set<std::string>{"gmem", "gnew"}), Members("gx"));
  ASSERT_TRUE(store->AddDocument("gx", {"plan.txt", "the plan", "gmem"}));
  ASSERT_EQ(ZaTrue, ZaMkdir(store->GroupFolder("gx").c_str(), 0755, ZaTrue));
  ASSERT_TRUE(store->DeleteGroup("gx", true));
  EXPECT_FALSE(store->FindGroup("gx", nullptr));
  EXPECT_TRUE(store->Hotlist("gmem", kLdapHotlistGroup).empty());
  EXPECT_NE(ZaTrue, ZaCheckIfFile(store->DocumentFile("gx").c_str()));
  EXPECT_NE(ZaTrue, ZaCheckIfDirectory(store->GroupFolder("gx").c_str()));
  EXPECT_FALSE(store->DeleteGroup("gx", true));
}

TEST_F(LdapStoreTest, NonCurrentAccountsAndUserDataCleanUp) {
  for (const char* u : {"leaver", "friend"}) AddUser(u);
  ASSERT_TRUE(store->AddToHotlist("friend", kLdapHotlistPerson, "leaver"));
  ASSERT_TRUE(store->SetPreference("leaver", "style", "style1"));
  ASSERT_TRUE(store->SetPreference("leaver", "style", "style2"));
  EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{{"style", "style2"}}), store->Preferences("leaver"));
  ASSERT_TRUE(store->RemovePerson("leaver"));
  LdapAccount a;
  ASSERT_TRUE(store->FindAccount("leaver", &a));
  EXPECT_EQ("Name of leaver", a.name);
  ASSERT_TRUE(store->DeleteUserData("leaver"));
  EXPECT_TRUE(store->Hotlist("friend", kLdapHotlistPerson).empty());
  EXPECT_TRUE(store->Preferences("leaver").empty());
  EXPECT_NE(ZaTrue, ZaCheckIfDirectory(store->UserFolder("leaver").c_str()));
  EXPECT_TRUE(store->DeleteAccount("leaver"));
  EXPECT_FALSE(store->DeleteAccount("leaver"));
  EXPECT_TRUE(store->DeleteUserData("leaver"));  // a repeat after a broken run completes it
}

TEST_F(LdapStoreTest, PasswordsAreHashedAndCheckedByBinding) {
  AddUser("pw");
  ASSERT_TRUE(store->SetPassword("pw", "s3cret pass"));
  EXPECT_TRUE(store->CheckPassword("pw", "s3cret pass"));
  EXPECT_TRUE(store->CheckPassword("PW", "s3cret pass"));
  EXPECT_FALSE(store->CheckPassword("pw", "s3cret"));
  EXPECT_FALSE(store->CheckPassword("pw", ""));
  EXPECT_FALSE(store->CheckPassword("nobody", "s3cret pass"));
  EXPECT_FALSE(store->SetPassword("nobody", "x"));
  LdapEntry e;
  ASSERT_TRUE(store->Connection().Read(store->AccountDN("pw"), {"userPassword"}, &e));
  ASSERT_EQ(1u, e.All("userpassword").size());
  EXPECT_EQ('{', e.First("userpassword")[0]);
  EXPECT_EQ(std::string::npos, e.First("userpassword").find("s3cret"));
}

TEST_F(LdapStoreTest, ListingsReadEveryPage) {
  LdapSettings small = server->settings;
  small.pageSize = 3;
  LdapDirStore paged(std::make_shared<LdapConnection>(small));
  size_t all = 0, pagedCount = 0;
  store->People([&](const LdapPerson&) { ++all; });
  for (int i = 0; i < 7; ++i) AddUser("page" + std::to_string(i));
  store->People([&](const LdapPerson&) { ++all; });
  paged.People([&](const LdapPerson&) { ++pagedCount; });
  EXPECT_EQ(all, pagedCount * 2 - 7);
  std::vector<std::string> wanted = {"page1", "nobody", "page6"};
  paged.Prefetch(wanted);
  EXPECT_TRUE(paged.FindPerson("page6", nullptr));
  EXPECT_FALSE(paged.FindPerson("nobody", nullptr));
}

TEST_F(LdapStoreTest, ParallelProcessesLoseNoMember) {
  const int n = 20;
  AddUser("pown");
  for (int i = 0; i < n; ++i) {
    AddUser("old" + std::to_string(i));
    AddUser("new" + std::to_string(i));
  }
  LdapGroup g{"busy", "Busy", "pown", true, {}};
  for (int i = 0; i < n; ++i) g.members.push_back("old" + std::to_string(i));
  ASSERT_TRUE(store->AddGroup(g));
  std::vector<pid_t> children;
  for (int i = 0; i < n; ++i) {
    pid_t pid = fork();
    if (pid == 0) {
      LdapDirStore own(std::make_shared<LdapConnection>(server->settings));
      bool ok = own.RemoveMember("busy", "old" + std::to_string(i)) && own.AddMember("busy", "new" + std::to_string(i));
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<std::string> expected = {"pown"};
  for (int i = 0; i < n; ++i) expected.insert("new" + std::to_string(i));
  EXPECT_EQ(expected, Members("busy"));
}

TEST(LdapConnectionTest, UnreachableOrRefusingServerIsLevel3) {
  ASSERT_TRUE(server && server->running);
  LdapSettings nowhere = server->settings, wrongPassword = server->settings, unset;
  nowhere.uri = "ldapi://%2Fnonexistent%2Fldapi";
  wrongPassword.password = "not the password";
  for (const LdapSettings& s : {nowhere, wrongPassword, unset}) {
    LdapDirStore store(std::make_shared<LdapConnection>(s));
    EXPECT_EQ(3, ErrorLevel([&] { store.FindPerson("anyone", nullptr); })) << s.uri;
  }
}

}  // namespace
