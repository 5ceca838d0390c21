// The embedded store's database: private files, damaged files refused
// without being overwritten, the one-time move of the older text tables,
// parallel writers that lose nothing and changes that a kill leaves whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>

#include "fdbstore.h"
#include "fdbtesting.h"
#include "vcard.h"
#include "zadocument.h"
#include "zastorepasswd.h"

namespace {

void AddUsers(FileDirStore& store, int count) {
  std::vector<std::unique_ptr<VCard>> cards;
  for (int i = 0; i < count; ++i) {
    cards.emplace_back(new VCard);
    cards.back()->AddEntry(VCardPropUid, ("u" + std::to_string(i)).c_str());
    cards.back()->AddEntry(VCardPropFn, ("User " + std::to_string(i)).c_str());
  }
  store.AddPeople(&cards);
  for (int i = 0; i < count; ++i) store.CreateAccount("u" + std::to_string(i), "l" + std::to_string(i), false);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FdbDatabase, FilesArePrivateWhateverTheUmask) {
  ScratchDir scratch;
  mode_t saved = umask(0);
  FileDirStore store(scratch.path);
  store.Initialise();
  AddUsers(store, 1);
  umask(saved);
  for (const char* f : {"/zarvo.db", "/zarvo.db-wal", "/zarvo.db-shm"}) {
    struct stat st;
    ASSERT_EQ(0, stat((scratch.path + f).c_str(), &st)) << f;
    EXPECT_EQ(0600u, st.st_mode & 0777) << f;
  }
}

TEST(FdbDatabase, DamagedDatabaseIsAStoreErrorAndStaysAsItWas) {
  struct Case {
    const char* what;
    void (*damage)(const std::string& path);
  } cases[] = {
      {"garbage", [](const std::string& p) { std::ofstream(p, std::ios::trunc) << std::string(8192, 'x'); }},
      {"truncated", [](const std::string& p) { ASSERT_EQ(0, truncate(p.c_str(), 5000)); }},
  };
  for (const Case& c : cases) {
    ScratchDir scratch;
    std::string top = " --top " + scratch.path, db = scratch.path + "/data/zarvo.db";
    ASSERT_EQ(0, RunZastore("init" + top));
    ASSERT_EQ(0, RunZastore("seed --people 300 --groups 40" + top));
    c.damage(db);
    std::string damaged = ReadFile(db), out;
    {
      FileDirStore store(scratch.path + "/data");
      EXPECT_EQ(3, ErrorLevel([&] {
                  store.CheckReachable();
                  store.AllUserUsage();
                  store.Groups();
                })) << c.what;
    }
    EXPECT_EQ(1, RunZastore("list groups" + top, "", &out)) << c.what;
    EXPECT_NE(std::string::npos, out.find("zarvo.db")) << c.what << ": " << out;
    EXPECT_EQ(1, RunZastore("init" + top, "", &out)) << c.what << ": " << out;
    EXPECT_EQ(damaged, ReadFile(db)) << c.what;
  }
}

TEST(FdbDatabase, OldTextTablesMoveInOnce) {
  ScratchDir scratch;
  std::string data = scratch.path + "/data", hash = ZaHashPassword("old secret");
  ASSERT_EQ(0, mkdir(data.c_str(), 0755));
  ASSERT_EQ(0, mkdir((data + "/documents").c_str(), 0755));
  std::ofstream(data + "/people.vcf") << "BEGIN:VCARD\r\nUID:Ann\r\nFN:Ann Smith\r\nN:Smith;Ann\r\n"
                                         "TITLE:Boss\r\nEND:VCARD\r\nBEGIN:VCARD\r\nUID:bob\r\nFN:Bob Lee\r\n"
                                         "N:Lee;Bob\r\nEND:VCARD\r\n";
  std::ofstream(data + "/accounts.tab") << "#zafiledb accounts 1\nAnn\tannl\t1\t" << hash
                                        << "\tAnn Smith\t99\nbob\tbobl\t0\t\tBob Lee\t0\ncy\tcyl\t0\t\tCy\\tGone\t5\n";
  std::ofstream(data + "/groups.tab") << "#zafiledb groups 1\ng1\tTeam\tAnn\t1\tAnn,bob,cy\n";
  std::ofstream(data + "/hotlists.tab") << "#zafiledb hotlists 1\nbob\tgroup\tg1\nbob\tperson\tAnn\n";
  std::ofstream(data + "/prefs.tab") << "#zafiledb prefs 1\nbob\tstyle\tstyle2\n";
  std::ofstream(data + "/usage.tab") << "#zafiledb usage 1\nuser\tbob\t4096\t1\ngroup\tg1\t777\t1\n";
  std::ofstream(data + "/documents/g1.lst") << "BEGIN:vDocObj\nVERSION:1.0\nNAME:plan\nDESCRIPTION:The plan\n"
                                               "OWNER:Ann\nDCREATED:20240102T0304\nEND:vDocObj\n";
  std::string out;
  ASSERT_EQ(0, RunZastore("init --top " + scratch.path, "", &out)) << out;
  EXPECT_NE(std::string::npos, out.find("moved 2 people, 3 accounts and 1 groups")) << out;
  EXPECT_NE(0, access((data + "/accounts.tab").c_str(), F_OK));

  FileDirStore store(data);
  EXPECT_TRUE(store.CheckPassword("ann", "old secret"));
  FdbAccount a;
  ASSERT_TRUE(store.FindAccount("ann", &a));
  EXPECT_TRUE(a.admin);
  EXPECT_EQ(99, a.lastLogin);
  std::unique_ptr<VCard> card(store.ReadCard("ann"));
  ASSERT_TRUE(card);
  EXPECT_STREQ("Boss", card->GetEntry(VCardPropTitle)->value);
  ASSERT_TRUE(store.FindAccount("cy", &a));
  EXPECT_EQ("Cy\tGone", a.name);
  FdbGroup g;
  ASSERT_TRUE(store.FindGroup("g1", &g));
  EXPECT_EQ((std::vector<std::string>{"Ann", "bob", "cy"}), g.members);
  EXPECT_EQ(std::vector<std::string>{"g1"}, store.Hotlist("bob", kFdbHotlistGroup));
  EXPECT_EQ(std::vector<std::string>{"Ann"}, store.Hotlist("bob", kFdbHotlistPerson));
  EXPECT_EQ("style2", store.Preferences("bob").at(0).second);
  EXPECT_EQ(4096, store.AllUserUsage().at(0).bytes);
  EXPECT_EQ(777, store.AllGroupUsage().at(0).bytes);
  std::unique_ptr<ZaDocumentObjList> docs(store.GroupDocuments("g1"));
  EXPECT_EQ(1, docs->count);

  std::string before = DumpDatabase(data + "/zarvo.db");
  ASSERT_EQ(0, RunZastore("init --top " + scratch.path, "", &out));
  EXPECT_EQ(std::string::npos, out.find("moved")) << out;
  EXPECT_EQ(before, DumpDatabase(data + "/zarvo.db"));
}

// Twenty processes change the same group, hotlist and accounts at once.
TEST(FdbDatabase, ParallelWritersLoseNothing) {
  ScratchDir scratch;
  {
    FileDirStore store(scratch.path);
    store.Initialise();
    AddUsers(store, 21);
    store.AddGroup({"g1", "Shared", "u0", true, {}});
  }
  const int kWriters = 20;
  std::vector<pid_t> children;
  for (int i = 1; i <= kWriters; ++i) {
    pid_t pid = fork();
    if (pid == 0) {
      FileDirStore store(scratch.path);
      std::string me = "u" + std::to_string(i);
      bool ok = store.AddMember("g1", me) && store.AddToHotlist("u0", kFdbHotlistPerson, me) &&
                store.SetPreference(me, "style", "s" + std::to_string(i)) && store.NoteLogin(me);
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  FileDirStore store(scratch.path);
  FdbGroup g;
  ASSERT_TRUE(store.FindGroup("g1", &g));
  EXPECT_EQ(kWriters + 1u, g.members.size());
  EXPECT_EQ(static_cast<size_t>(kWriters), store.Hotlist("u0", kFdbHotlistPerson).size());
  for (int i = 1; i <= kWriters; ++i) EXPECT_EQ(1u, store.Preferences("u" + std::to_string(i)).size()) << i;
}

// A process killed at any moment of its multi-step changes leaves each change
// wholly done or wholly absent.
TEST(FdbDatabase, KilledChangesLeaveTheDatabaseConsistent) {
  ScratchDir scratch;
  {
    FileDirStore store(scratch.path);
    store.Initialise();
    AddUsers(store, 6);
  }
  for (int round = 0; round < 25; ++round) {
    pid_t pid = fork();
    if (pid == 0) {
      FileDirStore store(scratch.path);
      for (int n = 0;; ++n) {
        std::string gid = "g" + std::to_string(n % 4);
        store.DeleteGroup(gid, true);
        store.AddGroup({gid, "Group " + gid, "u0", true, {"u1", "u2", "u3"}});
        store.AddToHotlist("u4", kFdbHotlistGroup, gid);
        store.ChangeOwner(gid, "u5");
      }
    }
    usleep(20000 + (round * 7919) % 60000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    std::string db = scratch.path + "/zarvo.db";
    EXPECT_EQ("PRAGMA integrity_check\nok\n", DumpDatabase(db, "PRAGMA integrity_check")) << round;
    // Every group has its owner and its three members (the owner change adds
    // the new owner); nothing names a group that is gone.
    EXPECT_EQ("SELECT 1 FROM za_groups g WHERE (SELECT COUNT(*) FROM za_members m WHERE m.gid_key = g.gid_key)"
              " NOT IN (4, 5)\n",
              DumpDatabase(db, "SELECT 1 FROM za_groups g WHERE (SELECT COUNT(*) FROM za_members m WHERE "
                               "m.gid_key = g.gid_key) NOT IN (4, 5)"))
        << round;
    EXPECT_EQ("SELECT 1 FROM za_hotlists h WHERE kind = 1 AND NOT EXISTS (SELECT 1 FROM za_groups g WHERE g.gid_key = "
              "h.target_key)\n",
              DumpDatabase(db, "SELECT 1 FROM za_hotlists h WHERE kind = 1 AND NOT EXISTS (SELECT 1 FROM za_groups g "
                               "WHERE g.gid_key = h.target_key)"))
        << round;
  }
}

}  // namespace
