// zastore: bad input is refused with a message and a non-zero status and
// changes nothing; init is repeatable; passwords are stored only as hashes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <fstream>
#include <sstream>
#include "fdbtesting.h"

namespace {

std::string Snapshot(const std::string& data) { return DumpDatabase(data + "/zarvo.db"); }

struct ToolTest : ::testing::Test {
  ScratchDir scratch;
  std::string top;
  void SetUp() override {
    top = " --top " + scratch.path;
    ASSERT_EQ(0, RunZastore("init" + top));
    ASSERT_EQ(0, RunZastore("person add ann --name 'Ann Smith' --email ann@example.com" + top));
    ASSERT_EQ(0, RunZastore("person add bob --name 'Bob Lee'" + top));
    ASSERT_EQ(0, RunZastore("account add ann annl --admin" + top, "pw\n"));
    ASSERT_EQ(0, RunZastore("group add g1 'Team One' --owner ann --shared" + top));
  }
};

TEST_F(ToolTest, BadInputChangesNothing) {
  struct Case {
    std::string args, input;
    int status;
    const char* says;
  } cases[] = {
      {"", "", 2, "no command"},
      {"frobnicate", "", 2, "unknown command"},
      {"person add", "", 2, "wrong number"},
      {"person add carl", "", 2, "--name is required"},
      {"person add ../x --name X", "", 2, "invalid user ID"},
      {"person add ann --name 'Ann Again'", "", 1, "already holds"},
      {"person add carl --name Carl --email nope", "", 2, "not an e-mail"},
      {"person add carl --name \"$(printf 'Carl\\nX-EVIL:1')\"", "", 2, "control characters"},
      {"person add carl --name Carl --name Karl", "", 2, "given twice"},
      {"person remove ghost", "", 1, "no person"},
      {"person import /nonexistent.vcf", "", 1, "cannot read"},
      {"account add bob bobl", "", 1, "no password"},
      {"account add bob bobl", "\n", 1, "password is empty"},
      {"account add bob annl", "pw\n", 1, "taken"},
      {"account add ghost gl", "pw\n", 1, "no person"},
      {"account add ann other", "pw\n", 1, "has an account"},
      {"account passwd bob", "pw\n", 1, "has no account"},
      {"group add g2 Two", "", 2, "--owner is required"},
      {"group add g2 Two --owner bob", "", 1, "has no account"},
      {"group add g1 Again --owner ann", "", 1, "exists already"},
      {"group add g2 \"$(printf 'Two\\tTabs')\" --owner ann", "", 2, "control characters"},
      {"group add g2 Two --owner ann --member ghost", "", 1, "has no account"},
      {"group member g9 ann", "", 1, "no group"},
      {"document add g9 plan", "", 1, "no group"},
      {"hotlist add ann", "", 2, "one of --person"},
      {"hotlist add ann --person bob --group g1", "", 2, "one of --person"},
      {"hotlist add ann --person ghost", "", 1, "no person"},
      {"usage add --user ann -5", "", 2, "whole number"},
      {"usage add --user ann 12x", "", 2, "whole number"},
      {"usage add --group g9 10", "", 1, "no group"},
      {"seed --people 10", "", 2, "--groups is required"},
      {"seed --people 10 --groups 2", "", 1, "not empty"},
      {"seed --people 999999999999 --groups 2", "", 2, "at most"},
      {"document add g1 plan --description \"$(printf 'a\\nb')\"", "", 2, "control characters"},
      {"person add carl --name \"$(head -c 257 /dev/zero | tr '\\0' x)\"", "", 2, "longer than 256 bytes"},
      {"person add carl --name Carl --email \"$(head -c 260 /dev/zero | tr '\\0' x)@x\"", "", 2, "longer than 256"},
      {"group add g2 \"$(head -c 257 /dev/zero | tr '\\0' x)\" --owner ann", "", 2, "longer than 256"},
      {"document add g1 \"$(head -c 257 /dev/zero | tr '\\0' x)\"", "", 2, "longer than 256"},
      {"document add g1 plan --description \"$(head -c 4097 /dev/zero | tr '\\0' x)\"", "", 2, "longer than 4096"},
      {"list everything", "", 2, "list needs"},
      {"list people --bogus 1", "", 2, "unknown option"},
  };
  std::string before = Snapshot(scratch.path + "/data");
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(c.status, RunZastore(c.args + top, c.input, &out)) << c.args;
    EXPECT_NE(std::string::npos, out.find(c.says)) << c.args << " said: " << out;
    EXPECT_EQ(before, Snapshot(scratch.path + "/data")) << c.args;
  }
}

// init marks the installation set up and makes its log folder; run again it
// keeps the store as it was.
TEST_F(ToolTest, InitIsRepeatableAndMarksTheSetUp) {
  std::string before = Snapshot(scratch.path + "/data");
  std::stringstream text;
  text << std::ifstream(scratch.path + "/config/setup.lst").rdbuf();
  std::string setup = text.str();
  EXPECT_NE(std::string::npos, setup.find("\nstatus:done\n")) << setup;
  struct stat logs;
  ASSERT_EQ(0, stat((scratch.path + "/logs").c_str(), &logs));
  EXPECT_TRUE(S_ISDIR(logs.st_mode));
  ASSERT_EQ(0, RunZastore("init" + top));
  EXPECT_EQ(before, Snapshot(scratch.path + "/data"));
}

// A password is stored only as a salted crypt(3) hash: never in clear in any
// file of the installation, and the same password twice gives two hashes.
TEST_F(ToolTest, PasswordsAreKeptOnlyAsSaltedHashes) {
  const std::string secret = "Sesame-4711";
  ASSERT_EQ(0, RunZastore("account add bob bobl" + top, secret + "\n"));
  ASSERT_EQ(0, RunZastore("account passwd ann" + top, secret + "\n"));
  std::string accounts = DumpDatabase(scratch.path + "/data/zarvo.db", "SELECT hash FROM za_accounts");
  std::vector<std::string> hashes;
  for (size_t at = 0; (at = accounts.find('$', at)) != std::string::npos;) {
    size_t end = accounts.find_first_of("\t\n", at);
    hashes.push_back(accounts.substr(at, end - at));
    at = end;
  }
  ASSERT_EQ(2u, hashes.size()) << accounts;
  EXPECT_NE(hashes[0], hashes[1]);
  for (const std::string& h : hashes)
    EXPECT_TRUE(h.rfind("$y$", 0) == 0 || h.rfind("$6$", 0) == 0) << h;
  // grep answers 1 when no file holds the text.
  EXPECT_EQ(1 << 8, system(("grep -r -q -F -e '" + secret + "' " + scratch.path).c_str()))
      << "the clear password is in a file of the installation";
}

TEST_F(ToolTest, NoTopOrNoStore) {
  std::string out;
  EXPECT_EQ(2, RunZastore("list people", "", &out));
  EXPECT_NE(std::string::npos, out.find("--top"));
  EXPECT_EQ(1, RunZastore("list people --top " + scratch.path + "/elsewhere", "", &out));
  EXPECT_NE(std::string::npos, out.find("zastore init"));
}

TEST(ToolSeed, GeneratesAConsistentDirectory) {
  ScratchDir scratch;
  std::string top = " --top " + scratch.path, people, accounts, groups;
  ASSERT_EQ(0, RunZastore("init" + top));
  ASSERT_EQ(0, RunZastore("seed --people 200 --groups 30 --noncurrent 7 --seed 5" + top));
  ASSERT_EQ(0, RunZastore("list people" + top, "", &people));
  ASSERT_EQ(0, RunZastore("list accounts" + top, "", &accounts));
  ASSERT_EQ(0, RunZastore("list groups" + top, "", &groups));
  auto lines = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
  EXPECT_EQ(200, lines(people));
  EXPECT_EQ(199, lines(accounts));  // every 25th person waits for an account
  size_t nonCurrent = 0;
  for (size_t p = 0; (p = accounts.find("\tnon-current\n", p)) != std::string::npos; ++p) ++nonCurrent;
  EXPECT_EQ(7u, nonCurrent);
  EXPECT_EQ(30, lines(groups));
  EXPECT_NE(std::string::npos, groups.find("\tshared\t"));
  EXPECT_NE(std::string::npos, groups.find("\tprivate\t"));
}

}  // namespace
