// Files and directory trees, each test in a fresh scratch directory.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "vallist.h"
#include "zafile.h"

namespace {

std::string Take(char* text) {
  std::unique_ptr<char, decltype(&free)> owned(text, &free);
  return text ? text : "(null)";
}

std::string Cwd() { return Take(getcwd(nullptr, 0)); }

int Count(ValList* list) {
  std::unique_ptr<ValList> owned(list);
  return list->count;
}

std::string Lines(ZaError* e) {
  std::string all;
  for (ValListItem* i = e->lines.head; i; i = i->next) all += std::string(i->value) + "\n";
  delete e;
  return all;
}

class FileTest : public ::testing::Test {
 protected:
  std::string root, start = Cwd();
  void SetUp() override {
    char pattern[] = "/tmp/zafile_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    chmod(root.c_str(), 0777);
  }
  void TearDown() override {
    EXPECT_EQ(Cwd(), start);
    ZaRemoveDir(root.c_str());
  }
  std::string At(const std::string& name) { return root + "/" + name; }
  void Write(const std::string& name, const std::string& content) { std::ofstream(At(name)) << content; }
  // Makes each directory named, then the files with their sizes.
  void Tree(std::vector<std::string> dirs, std::vector<std::pair<std::string, long long>> files) {
    for (auto& d : dirs) ASSERT_EQ(mkdir(At(d).c_str(), 0777), 0);
    for (auto& f : files) {
      Write(f.first, "");
      ASSERT_EQ(truncate(At(f.first).c_str(), f.second), 0);
    }
  }
};

TEST_F(FileTest, DirectoriesCopiesAndMoves) {
  Tree({"d"}, {{"f", 5}});
  EXPECT_EQ(ZaMkdir(At("d").c_str(), 0755, ZaFalse), ZaFalse);
  EXPECT_EQ(ZaMkdir(At("d").c_str(), 0755, ZaTrue), ZaTrue);
  EXPECT_EQ(ZaFileCopy(At("f").c_str(), At("g").c_str(), 0600), ZaTrue);
  struct stat st;
  ASSERT_EQ(stat(At("g").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(ZaMoveFile(At("g").c_str(), At("moved").c_str()), ZaTrue);
  EXPECT_EQ(ZaCheckIfFile(At("g").c_str()), ZaFalse);
  EXPECT_EQ(ZaMoveFile(At("f").c_str(), At("no/h").c_str()), ZaFalse);
  EXPECT_EQ(ZaCheckIfFile(At("f").c_str()), ZaTrue);  // a failed copy keeps the source
}

TEST_F(FileTest, BlockReadsAndTheTemporaryDirectory) {
  Tree({}, {{"f", 10000}});
  FILE* f = fopen(At("f").c_str(), "r");
  char buf[4096];
  int got = -1, total = 0;
  while (ZaReadFileIntoBuf(f, buf, sizeof buf, &got) == ZaTrue) total += got;
  EXPECT_EQ(total * 10 + got, 100000);  // all bytes, then false with 0 at the end
  fclose(f);
  f = fopen(At("f").c_str(), "a");  // reading a write-only stream fails
  try {
    ZaReadFileIntoBuf(f, buf, sizeof buf, &got);
    ADD_FAILURE() << "a failed read passed";
  } catch (ZaError* e) {
    EXPECT_NE(Lines(e).find("line 308 in file utillib/src/zafile : Error in fread : "), std::string::npos);
  }
  fclose(f);
  EXPECT_EQ(ZaReadFileIntoBuf(nullptr, buf, sizeof buf, &got), ZaFalse);
  unsetenv("TMPDIR");
  EXPECT_EQ(Take(ZaGetTmpdir()), "/tmp");
}

TEST_F(FileTest, TreeSizesCountFilesOnlyAndBeyondTwoGigabytes) {
  Tree({"t", "t/sub"}, {{"t/a", 100}, {"t/sub/b", 50}});
  EXPECT_EQ(ZaGetDirSize(At("t").c_str()), 150);
  Tree({}, {{"t/big", 3LL << 30}, {"t/sub/big", 2LL << 30}});  // sparse: hardly any disk
  EXPECT_EQ(ZaGetDirSize(At("t").c_str()), 150 + (5LL << 30));
  try {
    ZaGetDirSize(At("no").c_str());
    ADD_FAILURE() << "a missing directory was measured";
  } catch (ZaError* e) {
    EXPECT_EQ(Lines(e), "Error : line 69 in file utillib/src/zafile : Unable to determine the size of the directory\n"
                        "Error : line 43 in file utillib/src/zafile : Unable to change directory to " + At("no") + "\n");
  }
}

// Run as an unprivileged user in a child, a directory without permissions
// stops both walks two levels down; both must still come back. A walk started
// from a directory that may be entered but not read works and returns there.
TEST_F(FileTest, FailingTreeWalksReturnToTheWorkingDirectory) {
  Tree({"t", "t/a", "t/a/locked", "u", "enter-only"}, {{"t/a/locked/f", 1}, {"u/f", 7}});
  chmod(At("t/a/locked").c_str(), 0);
  chmod(At("enter-only").c_str(), 0111);
  pid_t pid = fork();
  if (pid == 0) {
    int result = (getuid() == 0 && setuid(65534) != 0) || chdir(root.c_str()) != 0 ? 16 : 0;
    for (int run = 0; run < 2; run++) {
      try {
        run == 0 ? (void)ZaGetDirSize("t") : (void)ZaRemoveDir("t");
        result |= 1 << run;
      } catch (ZaError* e) {
        delete e;
      }
      if (Cwd() != root) result |= 4 << run;
    }
    try {
      if (chdir("enter-only") != 0 || ZaGetDirSize(At("u").c_str()) != 7 || Cwd() != At("enter-only")) result |= 32;
    } catch (ZaError* e) {
      delete e, result |= 32;
    }
    _exit(result);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  chmod(At("t/a/locked").c_str(), 0700);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1/2: no error, 4/8: working directory changed, 16: set-up, 32: unreadable start";
}

TEST_F(FileTest, RemovingTreesLeavesLinkedTreesAlone) {
  Tree({"t", "t/sub", "t/sub/deeper", "outside"}, {{"t/a", 1}, {"t/sub/deeper/b", 1}, {"outside/keep", 1}});
  ASSERT_EQ(symlink(At("outside").c_str(), At("t/sub/link").c_str()), 0);
  EXPECT_EQ(ZaRemoveDir(At("t").c_str()), ZaTrue);
  EXPECT_EQ(access(At("t").c_str(), F_OK), -1);
  EXPECT_EQ(ZaCheckIfFile(At("outside/keep").c_str()), ZaTrue);
  EXPECT_EQ(ZaRemoveDir(At("t").c_str()), ZaTrue);  // already gone: nothing to do
}

void Record(void* data, CallbackProgress* progress) { static_cast<std::vector<int>*>(data)->push_back(progress->count); }

TEST_F(FileTest, DirectoryCopiesReportEveryTwentyFifthFile) {
  struct { int files; std::vector<int> reports; } cases[] = {{60, {25, 50, 60}}, {50, {25, 50}}, {3, {3}}, {0, {}}};
  for (auto& c : cases) {
    std::string from = "from" + std::to_string(c.files), to = "to" + std::to_string(c.files);
    Tree({from, to}, {});
    for (int i = 0; i < c.files; i++) Write(from + "/f" + std::to_string(i), "x");
    std::vector<int> reports;
    EXPECT_EQ(ZaDirCopy(At(from).c_str(), At(to).c_str(), ZaFalse, Record, &reports, 0), ZaTrue);
    EXPECT_EQ(reports, c.reports) << c.files << " files";
    EXPECT_EQ(Count(ZaGetDirEntries(At(to).c_str())), c.files);
  }
  Tree({"tree", "tree/sub", "flat", "deep"}, {{"tree/a", 3}, {"tree/sub/b", 5}});
  EXPECT_EQ(ZaDirCopy(At("tree").c_str(), At("flat").c_str(), ZaFalse, nullptr, nullptr, 0), ZaTrue);
  EXPECT_EQ(Count(ZaGetDirEntries(At("flat").c_str())), 1);
  std::vector<int> reports;
  EXPECT_EQ(ZaDirCopy(At("tree").c_str(), At("deep").c_str(), ZaTrue, Record, &reports, 0), ZaTrue);
  EXPECT_EQ(ZaGetFileSize(At("deep/sub/b").c_str()), 5);
  EXPECT_EQ(reports, (std::vector<int>{1, 1}));  // each level reports its own count
}

}  // namespace
