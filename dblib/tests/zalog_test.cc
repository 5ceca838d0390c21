#include "zalog.h"

#include "zaerror.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Text(const char* s) { return s != nullptr ? s : "<null>"; }

// "04-Dec-96 22.10.05 PST:app:ZA_LEVEL:message"
const std::regex kLine(R"(^\d\d-[A-Z][a-z]{2}-\d\d \d\d\.\d\d\.\d\d [^:]*:([^:]+):(ZA_[A-Z]+):(.*)$)");

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zalogXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    path = dir + "/zalogfile";
    setenv("TMPDIR", dir.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TMPDIR");
    fs::remove_all(dir);
  }
  std::string dir;
  std::string path;
};

TEST_F(LogTest, MessagesBelowTheThresholdAreDropped) {
  struct Case {
    ZaLogLevel threshold;
    std::vector<std::string> expectedLevels;
  } cases[] = {
      {ZA_ERROR, {"ZA_ERROR"}},
      {ZA_WARNING, {"ZA_WARNING", "ZA_ERROR"}},
      {ZA_INFO, {"ZA_INFO", "ZA_AUDIT", "ZA_WARNING", "ZA_ERROR"}},
  };
  for (const Case& c : cases) {
    fs::remove(path);
    ZaLog log("App", c.threshold, path.c_str());
    for (ZaLogLevel level : {ZA_INFO, ZA_AUDIT, ZA_WARNING, ZA_ERROR}) {
      EXPECT_EQ(log.AddMsg(level, "m"), ZaTrue);
    }
    std::vector<std::string> levels;
    for (const std::string& line : Lines(path)) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(line, m, kLine)) << line;
      levels.push_back(m[2]);
    }
    EXPECT_EQ(levels, c.expectedLevels) << "threshold " << c.threshold;
  }
}

TEST_F(LogTest, LineCarriesTimeApplicationLevelAndMessage) {
  ZaLog log("X", ZA_INFO, path.c_str());
  log.AddMsg(ZA_AUDIT, "a:b");
  std::string content = ReadFile(path);
  ASSERT_EQ(content.back(), '\n');
  std::smatch m;
  std::string line = content.substr(0, content.size() - 1);
  ASSERT_TRUE(std::regex_match(line, m, kLine)) << content;
  EXPECT_EQ(m[1], "X");
  EXPECT_EQ(m[3], "a:b");

  LogRecord* records = log.ReadLogFile(nullptr);
  ASSERT_NE(records, nullptr);
  EXPECT_EQ(Text(records->application), "X");
  EXPECT_EQ(Text(records->level), "ZA_AUDIT");
  EXPECT_EQ(Text(records->message), "a:b");
  EXPECT_EQ(Text(records->time), line.substr(0, line.find(':')));
  EXPECT_EQ(records->next, nullptr);
  delete records;
}

TEST_F(LogTest, BufferedMessagesArriveTogetherOnClose) {
  ZaLog other("Other", ZA_INFO, path.c_str());
  other.AddMsg(ZA_INFO, "before");
  auto files = [&] { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); };
  {
    // A request that keeps no message makes no buffer file.
    ZaLog quiet("Quiet", ZA_WARNING, path.c_str(), ZaTrue);
    quiet.AddMsg(ZA_INFO, "dropped");
    EXPECT_EQ(files(), 2);
  }
  {
    ZaLog log("Buf", ZA_INFO, path.c_str(), ZaTrue);
    log.AddMsg(ZA_INFO, "one");
    log.AddMsg(ZA_WARNING, "two");
    other.AddMsg(ZA_INFO, "between");
    log.AddMsg(ZA_ERROR, "three");
    log.Flush();
    EXPECT_EQ(Lines(path).size(), 2u);
    // The destructor closes the log.
  }
  std::vector<std::string> messages;
  for (const std::string& line : Lines(path)) messages.push_back(line.substr(line.rfind(':') + 1));
  EXPECT_EQ(messages, (std::vector<std::string>{"before", "between", "one", "two", "three"}));
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "zalogfile" || name == "zalogfile.lck") << "left behind: " << name;
  }
}

TEST_F(LogTest, ReadLogFileSkipsBlankLinesAndKeepsOddOnes) {
  std::ofstream(path) << "t1:A:ZA_INFO: first\n\n   \nt2:B:ZA_ERROR:x:y\nno colons\nt3::ZA_INFO:m\n";
  ZaLog log("R", ZA_INFO, path.c_str());
  // time|application|level|message; odd lines keep their text as the message.
  const std::vector<std::string> expected = {"t1|A|ZA_INFO| first", "t2|B|ZA_ERROR|x:y",
                                             "<null>|<null>|<null>|no colons",
                                             "<null>|<null>|<null>|t3::ZA_INFO:m"};
  for (const char* which : {static_cast<const char*>(nullptr), path.c_str()}) {
    LogRecord* records = log.ReadLogFile(which);
    std::vector<std::string> got;
    for (LogRecord* r = records; r != nullptr; r = r->next) {
      got.push_back(Text(r->time) + "|" + Text(r->application) + "|" + Text(r->level) + "|" +
                    Text(r->message));
    }
    EXPECT_EQ(got, expected);
    delete records;
  }
  EXPECT_EQ(log.ReadLogFile((dir + "/missing").c_str()), nullptr);
}

TEST_F(LogTest, ArchiveRenamesTheLogUnderADatedName) {
  ZaLog log("A", ZA_INFO, path.c_str(), ZaTrue);
  log.AddMsg(ZA_INFO, "old");
  auto stamp = [&] {
    char suffix[32];
    time_t now = time(nullptr);
    struct tm local;
    strftime(suffix, sizeof suffix, ".%d_%b_%H_%M", localtime_r(&now, &local));
    return path + suffix;
  };
  std::string before = stamp();
  char* archived = log.ArchiveLogFile(nullptr);  // closes the buffer first
  std::string after = stamp();
  ASSERT_NE(archived, nullptr);
  EXPECT_TRUE(archived == before || archived == after) << archived;
  EXPECT_NE(ReadFile(archived).find(":A:ZA_INFO:old"), std::string::npos);
  EXPECT_EQ(log.LogFileSize(), 0);
  free(archived);

  // A second archive of the same name (twice in one minute) keeps both.
  std::string named = dir + "/archive";
  for (const char* message : {"first", "second"}) {
    log.AddMsg(ZA_INFO, message);
    free(log.ArchiveLogFile(named.c_str()));
    EXPECT_EQ(log.LogFileSize(), 0);
  }
  EXPECT_LT(ReadFile(named).find("first"), ReadFile(named).find("second"));
  EXPECT_NE(ReadFile(named).find("second"), std::string::npos);
  fs::remove(path);
  EXPECT_EQ(log.ArchiveLogFile(named.c_str()), nullptr);  // no log file to move
}

TEST_F(LogTest, PurgeEmptiesOrCreatesTheLog) {
  ZaLog log("P", ZA_INFO, path.c_str());
  EXPECT_EQ(log.LogFileSize(), 0);
  EXPECT_EQ(log.PurgeLogFile(), ZaTrue);
  EXPECT_TRUE(fs::exists(path));
  log.AddMsg(ZA_INFO, "message");
  EXPECT_EQ(log.LogFileSize(), static_cast<long>(ReadFile(path).size()));
  EXPECT_GT(log.LogFileSize(), 0);
  EXPECT_EQ(log.PurgeLogFile(), ZaTrue);
  EXPECT_EQ(log.LogFileSize(), 0);

  // Without its folder not even the lock file can be made.
  std::string lost = dir + "/no/such/folder/log";
  ZaLog nowhere("P", ZA_INFO, lost.c_str());
  try {
    nowhere.PurgeLogFile();
    ADD_FAILURE() << "purge of " << lost << " succeeded";
  } catch (ZaError* e) {
    ASSERT_NE(e->lines.head, nullptr);
    EXPECT_NE(Text(e->lines.head->value).find("Purge of the log file " + lost + " failed!"),
              std::string::npos);
    delete e;
  }
}

TEST_F(LogTest, ManyProcessesNeverInterleaveOrLoseLines) {
  const int kProcesses = 20;
  const int kMessages = 200;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool buffered = p % 2 == 0;
      ZaLog log(("P" + std::to_string(p)).c_str(), ZA_INFO, path.c_str(),
                buffered ? ZaTrue : ZaFalse);
      for (int m = 0; m < kMessages; ++m) {
        log.AddMsg(ZA_ERROR, ("message " + std::to_string(m) + std::string(m % 50, '+')).c_str());
      }
      log.Close();
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0);
  }

  std::vector<std::string> lines = Lines(path);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kProcesses * kMessages));
  std::map<std::string, int> next;                   // next expected message per process
  std::map<std::string, size_t> firstLine;           // where a process's lines begin
  const std::regex message(R"(message (\d+)\+*)");
  for (size_t i = 0; i < lines.size(); ++i) {
    std::smatch m, n;
    ASSERT_TRUE(std::regex_match(lines[i], m, kLine)) << lines[i];
    std::string text = m[3];
    ASSERT_TRUE(std::regex_match(text, n, message)) << lines[i];
    std::string app = m[1];
    int seq = std::stoi(n[1]);
    EXPECT_EQ(text.size(), n[1].length() + 8 + seq % 50) << lines[i];
    EXPECT_EQ(seq, next[app]) << app << " out of order at line " << i;
    next[app] = seq + 1;
    if (seq == 0) firstLine[app] = i;
    int p = std::stoi(app.substr(1));
    if (p % 2 == 0) {
      EXPECT_EQ(i, firstLine[app] + seq) << app << " buffered lines not together";
    }
  }
  EXPECT_EQ(next.size(), static_cast<size_t>(kProcesses));
  for (const auto& entry : next) EXPECT_EQ(entry.second, kMessages) << entry.first;
}

}  // namespace
