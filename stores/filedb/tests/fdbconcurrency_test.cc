// Many zastore processes changing the same files at once lose no update.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "fdbstore.h"
#include "fdbtesting.h"

namespace {

const int kWorkers = 12;

// Runs all commands at once, each in its own process; true when all succeeded.
bool RunAllAtOnce(const std::vector<std::string>& commands, const std::string& input = "") {
  std::vector<int> status(commands.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < commands.size(); ++i)
    threads.emplace_back([&, i] { status[i] = RunZastore(commands[i], input); });
  for (std::thread& t : threads) t.join();
  for (int s : status)
    if (s != 0) return false;
  return true;
}

TEST(FdbConcurrency, ParallelChangesAllLand) {
  ScratchDir scratch;
  std::string top = " --top " + scratch.path;
  ASSERT_EQ(0, RunZastore("init" + top));
  ASSERT_EQ(0, RunZastore("seed --people " + std::to_string(2 * kWorkers) + " --groups 0" + top));
  ASSERT_EQ(0, RunZastore("group add team Team --owner u000001" + top));
  std::vector<std::string> members, hotlists, people, accounts;
  for (int i = 0; i < kWorkers; ++i) {
    char uid[16];
    snprintf(uid, sizeof uid, "u%06d", i + 2);
    members.push_back("group member team " + std::string(uid) + top);
    hotlists.push_back("hotlist add u000001 --person " + std::string(uid) + top);
    people.push_back("person add p" + std::to_string(i) + " --name 'New Person " + std::to_string(i) + "'" + top);
    accounts.push_back("account add p" + std::to_string(i) + " login" + std::to_string(i) + top);
  }
  ASSERT_TRUE(RunAllAtOnce(members));
  ASSERT_TRUE(RunAllAtOnce(hotlists));
  ASSERT_TRUE(RunAllAtOnce(people));
  ASSERT_TRUE(RunAllAtOnce(accounts, "pw\n"));

  FileDirStore store(scratch.path + "/data");
  FdbGroup team;
  ASSERT_TRUE(store.FindGroup("team", &team));
  EXPECT_EQ(static_cast<size_t>(kWorkers + 1), team.members.size());
  std::vector<std::string> hotlist = store.Hotlist("u000001", kFdbHotlistPerson);
  for (int i = 0; i < kWorkers; ++i) {  // the seed may have put some there already
    char uid[16];
    snprintf(uid, sizeof uid, "u%06d", i + 2);
    EXPECT_NE(hotlist.end(), std::find(hotlist.begin(), hotlist.end(), uid)) << uid;
  }
  EXPECT_EQ(static_cast<size_t>(3 * kWorkers), store.People().size());
  for (int i = 0; i < kWorkers; ++i) {
    FdbAccount a;
    ASSERT_TRUE(store.FindAccount("p" + std::to_string(i), &a)) << i;
    EXPECT_TRUE(store.CheckPassword(a.uid, "pw")) << i;
  }
}

}  // namespace
