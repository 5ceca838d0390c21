// The LDAP plug-in loaded by the program's loader from an installation whose
// configuration names the LDAP store: it serves the console, and a stopped
// server makes every call a level-3 error until the server is back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "groupDB.h"
#include "ldapstore.h"
#include "ldaptesting.h"
#include "userDB.h"
#include "vallist.h"
#include "zaconfigDB.h"
#include "zafile.h"

namespace {

TEST(LdapPlugin, ServesTheConsoleAndReportsAStoppedServer) {
  PrivateSlapd server;
  ASSERT_TRUE(server.running) << server.output;
  std::string top = server.dir + "/top";
  for (const char* d : {"", "/lib", "/config", "/web", "/web/admin", "/web/admin/bin"})
    ASSERT_EQ(ZaTrue, ZaMkdir((top + d).c_str(), 0755, ZaTrue));
  ASSERT_EQ(0, symlink(ZA_BINARY_DIR "/lib/zaldapdblib_cgi.so", (top + "/lib/zaldapdblib_cgi.so").c_str()));
  // Works from the console's folder, as the configuration's relative paths expect.
  char previous[4096];
  ASSERT_TRUE(getcwd(previous, sizeof previous));
  ASSERT_EQ(0, chdir((top + "/web/admin/bin").c_str()));
  {
    // The settings as the set-up form saves them, the password scrambled on disk.
    ZaConfigDB writer(nullptr);
    LDAPInfoRec rec{389, const_cast<char*>("unused.example"), const_cast<char*>(server.settings.bindDN.c_str()),
                    const_cast<char*>(server.settings.password.c_str()),
                    const_cast<char*>(server.settings.base.c_str())};
    ASSERT_EQ(ZaTrue, writer.DBFormat(ZA_LDAP, ZaTrue, &rec, ZA_EMP_DIR_DB));
    writer.WriteValue("ldapURI", server.settings.uri.c_str(), ZaTrue);
    writer.WriteValue("ldapPageSize", "2", ZaTrue);
    ASSERT_EQ(ZaTrue, writer.WriteToFile());
  }
  LdapDirStore seed(std::make_shared<LdapConnection>(server.settings));
  seed.Initialise();
  for (const char* u : {"ann", "bob", "cy"}) {
    ASSERT_TRUE(seed.AddPerson(u, std::string("Person ") + u, ""));
    ASSERT_TRUE(seed.CreateAccount(u, std::string(u) + "-login", std::string(u) == "ann"));
  }
  ASSERT_TRUE(seed.AddGroup({"team", "The Team", "ann", true, {"bob", "cy"}}));
  ASSERT_TRUE(seed.RemovePerson("cy"));
  try {
    ZaConfigDB config(nullptr);
    int key = 0;
    UserDB* users = ZaCreateUserDB(&config);
    GroupDB* groups = ZaCreateGroupDB(&config);
    ASSERT_EQ(ZaTrue, users->Open(ZaFalse, &config, &key));
    ASSERT_EQ(ZaTrue, groups->Open(&config, &key));
    EXPECT_EQ(ZaTrue, users->IsSetUp());
    EXPECT_EQ(ZaTrue, users->GetLoginFlag(const_cast<char*>("ANN")));
    EXPECT_EQ(ZaFalse, users->GetLoginFlag(const_cast<char*>("bob")));
    EXPECT_EQ(ZaTrue, users->IsNonCurrentUser(const_cast<char*>("cy")));
    std::unique_ptr<ValNameList> current(users->GetCurrentUserNames());
    std::unique_ptr<ValNameList> accounts(users->GetAccountNames());
    EXPECT_EQ(2, current->count);
    ASSERT_EQ(3, accounts->count);
    EXPECT_STREQ("Person cy", accounts->Lookup("cy")->value);
    std::unique_ptr<ZaGroupRecord> team(groups->GetGroup(const_cast<char*>("team")));
    ASSERT_TRUE(team);
    EXPECT_STREQ("ann", team->ownerId);
    EXPECT_EQ(3, team->members->count);

    server.Stop();
    EXPECT_EQ(3, ErrorLevel([&] { users->UserExists(const_cast<char*>("ann")); }));
    EXPECT_EQ(3, ErrorLevel([&] { delete groups->GetAllGroups(); }));
    server.Start();
    ASSERT_TRUE(server.running) << server.output;
    EXPECT_EQ(ZaTrue, users->UserExists(const_cast<char*>("ann")));
    ZaDestroyGroupDB(groups, &config);
    ZaDestroyUserDB(users, &config);
  } catch (ZaError* e) {
    std::unique_ptr<ZaError> owned(e);
    ADD_FAILURE() << (e->lines.head ? e->lines.head->value : "");
  }
  ASSERT_EQ(0, chdir(previous));
}

}  // namespace
