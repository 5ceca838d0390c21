// A store object keeps parsed tables between calls: it must never answer from
// a copy that another process, or the object itself, has made out of date.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fdblock.h"
#include "fdbrecords.h"
#include "fdbtesting.h"
#include "fdbuserdb.h"
#include "vallist.h"

namespace {

char* Arg(const std::string& s) { return const_cast<char*>(s.c_str()); }

std::string Text(const ValList* list) {
  std::string text;
  for (ValListItem* i = list ? list->head : nullptr; i; i = i->next)
    text += (text.empty() ? "" : ",") + std::string(i->value);
  return text;
}

std::string Joined(ValList* list) {  // takes the list
  std::unique_ptr<ValList> owned(list);
  return Text(list);
}

std::string Taken(char* text) {
  std::string s = text ? text : "(null)";
  free(text);
  return s;
}

std::string Members(ZaGroupRecord* record) {
  std::unique_ptr<ZaGroupRecord> owned(record);
  return record ? Text(record->members) : "(none)";
}

// A store with ann, bob and cy (accounts ann-l, bob-l, cy-l), the group g1
// owned by ann with bob, and g2 owned by bob; opened as the console opens it.
struct CacheTest : ::testing::Test {
  ScratchDir scratch;
  std::string top;
  ZaFileUserDB users;
  ZaFileGroupDB groups;
  void SetUp() override {
    top = " --top " + scratch.path;
    ASSERT_EQ(0, RunZastore("init" + top));
    for (const char* uid : {"ann", "bob", "cy"}) {
      ASSERT_EQ(0, RunZastore("person add " + std::string(uid) + " --name 'Person " + uid + "'" + top));
      ASSERT_EQ(0, RunZastore("account add " + std::string(uid) + " " + uid + "-l" + top, "pw\n"));
    }
    ASSERT_EQ(0, RunZastore("group add g1 One --owner ann --member bob" + top));
    ASSERT_EQ(0, RunZastore("group add g2 Two --owner bob" + top));
    users.OpenAt(scratch.path + "/data");
    groups.OpenAt(scratch.path + "/data");
  }
};

TEST_F(CacheTest, ChangesByOtherProcessesShowAtTheNextCall) {
  struct Step {
    const char* what;
    std::function<std::string()> probe;
    std::string before, command, after;
  } steps[] = {
      {"groups joined", [&] { return Joined(users.GetGroupsOfUser(Arg("cy"))); }, "", "group member g2 cy", "g2"},
      {"groups owned", [&] { return Joined(groups.GetGroupsOwnedBy(Arg("CY"), &users)); }, "",
       "group add g3 Three --owner cy", "g3"},
      {"group record", [&] { return Members(groups.GetGroup(Arg("g1"))); }, "ann,bob", "group member g1 cy",
       "ann,bob,cy"},
      {"hotlist people", [&] { return Joined(users.GetHotlistPeople(Arg("ann"))); }, "",
       "hotlist add ann --person cy", "cy"},
      {"hotlist groups", [&] { return Joined(users.GetHotlistGroups(Arg("ann"))); }, "",
       "hotlist add ann --group g2", "g2"},
      {"user name", [&] { return Taken(users.GetUserName(Arg("dan"))); }, "dan",
       "person add dan --name 'Dan Brown' --email dan@example.com", "Dan Brown"},
      {"e-mail", [&] { return Taken(users.GetEmailAddress(Arg("eve"))); }, "(null)",
       "person add eve --name 'Eve Stone' --email eve@example.com", "eve@example.com"},
      {"non-current", [&] { return std::to_string(users.IsNonCurrentUser(Arg("bob"))); }, "0",
       "person remove bob", "1"},
      {"login", [&] { return Taken(users.GetUidFromLogin(Arg("dan-l"))); }, "(null)", "account add dan dan-l",
       "dan"},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(s.before, s.probe()) << s.what;
    ASSERT_EQ(0, RunZastore(s.command + top, "pw\n")) << s.what;
    EXPECT_EQ(s.after, s.probe()) << s.what << ": answered from a stale copy";
  }
}

// Another process rewrites groups.tab under the lock with text of the same
// size and gives it the old modification time: only the inode tells.
TEST_F(CacheTest, ReplacedFileOfSameSizeAndTimeIsReadAgain) {
  EXPECT_EQ("One", Taken(groups.GetGroupName(Arg("g1"))));
  std::string path = scratch.path + "/data/groups.tab";
  pid_t child = fork();
  if (child == 0) {
    FdbLockGuard lock(path + ".lck", ZaExclusiveLock);
    struct stat old;
    std::string text;
    bool ok = stat(path.c_str(), &old) == 0 && FdbReadWholeFile(path, &text);
    size_t at = text.find("\tOne\t");
    if (!ok || at == std::string::npos) _exit(1);
    FdbReplaceFile(path, text.replace(at, 5, "\tUno\t"));
    struct timespec times[2] = {old.st_atim, old.st_mtim};
    _exit(utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_EQ(0, status);
  EXPECT_EQ("Uno", Taken(groups.GetGroupName(Arg("g1"))));
}

TEST_F(CacheTest, OwnChangesShowAtOnce) {
  struct Step {
    const char* what;
    std::function<std::string()> probe;
    std::string before;
    std::function<ZaBoolean()> change;
    std::string after;
  } steps[] = {
      {"new owner", [&] { return Joined(groups.GetGroupsOwnedBy(Arg("cy"), &users)); }, "",
       [&] { return groups.ChangeOwner(Arg("g1"), Arg("cy"), &users); }, "g1"},
      {"member removed", [&] { return Members(groups.GetGroup(Arg("g1"))); }, "ann,bob,cy",
       [&] { return groups.RemoveMember(Arg("g1"), Arg("ann"), &users); }, "bob,cy"},
      {"group deleted", [&] { return Members(groups.GetGroup(Arg("g2"))); }, "bob",
       [&] { return groups.DeleteGroup(Arg("g2"), &users, ZaTrue); }, "(none)"},
      {"account deleted", [&] { return std::to_string(users.AccountExists(Arg("cy"))); }, "1",
       [&] { return users.DeleteAccount(Arg("cy")); }, "0"},
      {"account made", [&] { return Taken(users.GetUidFromLogin(Arg("cy-new"))); }, "(null)",
       [&] { return users.CreateAccount(Arg("cy"), Arg("cy-new")); }, "cy"},
      {"password", [&] { return std::to_string(users.CheckPassword(Arg("cy"), Arg("n3w"))); }, "0",
       [&] { return users.SetPassword(Arg("cy"), Arg("n3w")); }, "1"},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(s.before, s.probe()) << s.what;
    ASSERT_EQ(ZaTrue, s.change()) << s.what;
    EXPECT_EQ(s.after, s.probe()) << s.what;
  }
}

// The lock another process finds on the file: F_RDLCK, F_WRLCK or F_UNLCK.
int LockSeenByOthers(const std::string& path) {
  pid_t child = fork();
  if (child == 0) {
    int fd = open(path.c_str(), O_RDWR);
    struct flock probe;
    memset(&probe, 0, sizeof probe);
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    _exit(fd >= 0 && fcntl(fd, F_GETLK, &probe) == 0 ? probe.l_type : 99);
  }
  int status = -1;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FdbLockGuard, NestedGuardsShareOneLockPerFile) {
  ScratchDir scratch;
  std::string path = scratch.path + "/t.lck", other = scratch.path + "/./t.lck";
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, ZaLockType>> held;  // taken in order
    size_t released;                                        // the last ones, dropped again
    int seen;
  } cases[] = {
      {"shared", {{path, ZaSharedLock}}, 0, F_RDLCK},
      {"exclusive", {{path, ZaExclusiveLock}}, 0, F_WRLCK},
      {"shared under exclusive", {{path, ZaExclusiveLock}, {path, ZaSharedLock}}, 1, F_WRLCK},
      {"exclusive dropped back to shared", {{path, ZaSharedLock}, {path, ZaExclusiveLock}}, 1, F_RDLCK},
      {"one of two shared dropped", {{path, ZaSharedLock}, {path, ZaSharedLock}}, 1, F_RDLCK},
      {"other spelling, same file", {{path, ZaSharedLock}, {other, ZaExclusiveLock}}, 1, F_RDLCK},
      {"all dropped", {{path, ZaSharedLock}, {other, ZaExclusiveLock}}, 2, F_UNLCK},
  };
  for (const Case& c : cases) {
    std::vector<std::unique_ptr<FdbLockGuard>> guards;
    for (const auto& h : c.held) guards.emplace_back(new FdbLockGuard(h.first, h.second));
    for (size_t i = 0; i < c.released; ++i) guards.pop_back();
    EXPECT_EQ(c.seen, LockSeenByOthers(path)) << c.what;
  }
  EXPECT_EQ(F_UNLCK, LockSeenByOthers(path));
  EXPECT_EQ(3, ErrorLevel([&] { FdbLockGuard g(scratch.path + "/missing/t.lck", ZaSharedLock); }));
}

}  // namespace
