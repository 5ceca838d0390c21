// The plug-in loaded by the program's loader, from an installation's lib
// folder, finds its store through the configuration.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "fdbtesting.h"
#include "groupDB.h"
#include "userDB.h"
#include "vallist.h"
#include "zaconfigDB.h"
#include "zadocument.h"
#include "zafile.h"

namespace {

// Works from the console's folder, three levels below the top folder, as the
// configuration's relative paths expect; goes back at the end.
struct Installation {
  ScratchDir top;
  char previous[4096];
  explicit Installation(const std::string& storeSetting) {
    for (const char* d : {"/lib", "/config", "/web", "/web/admin", "/web/admin/bin"})
      ZaMkdir((top.path + d).c_str(), 0755, ZaTrue);
    EXPECT_EQ(0, symlink(ZA_BINARY_DIR "/lib/zafiledblib_cgi.so", (top.path + "/lib/zafiledblib_cgi.so").c_str()));
    std::ofstream(top.path + "/config/configInfo.lst")
        << "BEGIN:vNameList\nFileDBDir:" << storeSetting << "\nEND:vNameList\n";
    EXPECT_TRUE(getcwd(previous, sizeof previous));
    EXPECT_EQ(0, chdir((top.path + "/web/admin/bin").c_str()));
  }
  ~Installation() { EXPECT_EQ(0, chdir(previous)); }
};

TEST(FdbPlugin, ServesTheConsoleThroughTheLoader) {
  Installation inst("directory");
  std::string t = " --top " + inst.top.path;
  ASSERT_EQ(0, RunZastore("init" + t));
  ASSERT_EQ(0, RunZastore("seed --people 40 --groups 6 --noncurrent 3" + t));
  ASSERT_EQ(ZaTrue, ZaCheckIfDirectory((inst.top.path + "/directory").c_str()));

  ZaConfigDB config(nullptr);
  int key = 0;
  UserDB* users = ZaCreateUserDB(&config);
  GroupDB* groups = ZaCreateGroupDB(&config);
  ASSERT_EQ(ZaTrue, users->Open(ZaFalse, &config, &key));
  ASSERT_EQ(ZaTrue, groups->Open(&config, &key));
  EXPECT_EQ(ZaTrue, users->IsSetUp());
  EXPECT_EQ(ZaFalse, users->CheckIfColdStart());
  std::unique_ptr<ValNameList> current(users->GetCurrentUserNames());
  std::unique_ptr<ValNameList> accounts(users->GetAccountNames());
  EXPECT_EQ(40, current->count);
  EXPECT_EQ(42, accounts->count);  // 40 people, one without account, 3 gone
  std::unique_ptr<ValNameList> usage(groups->GetAllGroupsDiskUsage());
  ASSERT_EQ(6, usage->count);
  for (ValNameListItem* i = usage->head; i && i->next; i = i->next)
    EXPECT_GE(atoll(i->extra1), atoll(i->next->extra1));
  char* gid = usage->head->name;
  std::unique_ptr<ZaGroupRecord> record(groups->GetGroup(gid));
  ASSERT_TRUE(record);
  EXPECT_EQ(ZaTrue, groups->DeleteGroup(gid, users, ZaTrue));
  EXPECT_FALSE(std::unique_ptr<ZaGroupRecord>(groups->GetGroup(gid)));
  ZaDestroyGroupDB(groups, &config);
  ZaDestroyUserDB(users, &config);
}

TEST(FdbPlugin, UnreachableStoreFailsTheOpenWithLevel3) {
  Installation inst("/nonexistent/store");
  ZaConfigDB config(nullptr);
  int key = 0;
  UserDB* users = ZaCreateUserDB(&config);
  EXPECT_EQ(3, ErrorLevel([&] { users->Open(ZaFalse, &config, &key); }));
  ZaDestroyUserDB(users, &config);
}

}  // namespace
