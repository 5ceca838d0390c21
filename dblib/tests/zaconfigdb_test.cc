#include "zaconfigDB.h"

#include "vallist.h"
#include "zacrypt.h"
#include "zaerror.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kSettings[] = "../../../config/configInfo.lst";

std::string Text(const char* s) { return s != nullptr ? s : "<null>"; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path) << content;
}

std::string SettingsFile(const std::string& lines) {
  return "BEGIN:vNameList\n" + lines + "END:vNameList\n";
}

// The whole trace of an error, one line after the other.
std::string Trace(ZaError* e) {
  std::string all;
  for (ValListItem* i = e->lines.head; i != nullptr; i = i->next) all += Text(i->value) + "\n";
  return all;
}

std::string ThrownTrace(const std::function<void()>& body) {
  try {
    body();
  } catch (ZaError* e) {
    std::string trace = Trace(e);
    delete e;
    return trace;
  }
  return "";
}

std::string Scrambled(const char* plain) {
  char* s = ZaCrypt().Encrypt(plain);
  std::string result = s;
  free(s);
  return result;
}

// Runs each test in a fresh installation tree: top/config, top/logs and the
// program's folder top/cgi/bin/app, three levels down, as working directory.
class ConfigDBTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zacfgXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    top = fs::canonical(tmpl).string();
    fs::create_directories(top + "/config/style");
    fs::create_directories(top + "/logs");
    fs::create_directories(top + "/cgi/bin/app");
    oldCwd = fs::current_path();
    fs::current_path(top + "/cgi/bin/app");
  }
  void TearDown() override {
    fs::current_path(oldCwd);
    fs::remove_all(top);
  }
  std::string top;
  fs::path oldCwd;
};

TEST_F(ConfigDBTest, NoSettingsFileGivesDefaultsAndWritesNothing) {
  ZaConfigDB cfg;
  struct Case {
    const char* what;
    std::string got;
    std::string expected;
  } cases[] = {
      {"LogLevel", std::to_string(cfg.LogLevel()), "3"},
      {"PhotoStyle", std::to_string(cfg.PhotoStyle()), "0"},
      {"PhotoHeight", Text(cfg.PhotoHeight()), "80"},
      {"PhotoWidth", Text(cfg.PhotoWidth()), "60"},
      {"DBFormat(0)", std::to_string(cfg.DBFormat(ZA_EMP_DIR_DB)), "0"},
      {"DBFormat(1)", std::to_string(cfg.DBFormat(ZA_PROJ_DB)), "0"},
      {"DefaultStyle", Text(cfg.DefaultStyle()), "style0"},
      {"DefaultOnlyStyle", Text(cfg.DefaultOnlyStyle()), "FALSE"},
      {"UserSessionTimeOut", std::to_string(cfg.UserSessionTimeOut()), "10800"},
      {"SMTPServerPort", std::to_string(cfg.SMTPServerPort()), "-1"},
      {"SqlDbName", Text(cfg.SqlDbName()), ""},
      {"WebmasterAddr", Text(cfg.WebmasterAddr()), "<null>"},
      {"LogFile", Text(cfg.LogFile()), top + "/logs/zalogfile"},
      {"GetTopZarvoDir", Text(cfg.GetTopZarvoDir()), top},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
  EXPECT_NE(std::string(cfg.BugReportAddr()).find('@'), std::string::npos);
  EXPECT_NE(std::string(cfg.FeedbackAddr()).find('@'), std::string::npos);

  EXPECT_EQ(cfg.WriteToFile(), ZaTrue);
  // Not even a lock file or a backup appears anywhere in the tree.
  std::vector<std::string> written;
  for (const auto& entry : fs::recursive_directory_iterator(top))
    if (!entry.is_directory()) written.push_back(entry.path().string());
  EXPECT_EQ(written, std::vector<std::string>{});
}

TEST_F(ConfigDBTest, EmptySettingsFileIsCorrupt) {
  WriteFile(kSettings, SettingsFile(""));
  std::string trace = ThrownTrace([] { ZaConfigDB cfg; });
  EXPECT_NE(trace.find(std::string("Corrupt config file ") + kSettings + ". Read failed!"),
            std::string::npos)
      << trace;
  EXPECT_NE(trace.find("Failed trying to read the conf file"), std::string::npos) << trace;
  // The failed read left no lock behind: a writer gets through.
  WriteFile(kSettings, SettingsFile("defaultStyle:blue\n"));
  ZaConfigDB cfg;
  EXPECT_STREQ(cfg.DefaultStyle(), "blue");
}

TEST_F(ConfigDBTest, StoredNamesAreComparedWithoutRegardToCase) {
  struct Case {
    const char* line;
    std::function<int(ZaConfigDB&)> get;
    int expected;
  } cases[] = {
      {"logLevel:za_warning", [](ZaConfigDB& c) { return c.LogLevel(); }, 2},
      {"logLevel:Za_Audit", [](ZaConfigDB& c) { return c.LogLevel(); }, 1},
      {"logLevel:ZA_INFO", [](ZaConfigDB& c) { return c.LogLevel(); }, 0},
      {"logLevel:verbose", [](ZaConfigDB& c) { return c.LogLevel(); }, 3},
      {"photoStyle:za_fixed", [](ZaConfigDB& c) { return c.PhotoStyle(); }, 1},
      {"empDirDBFormat:za_ldap", [](ZaConfigDB& c) { return c.DBFormat(ZA_EMP_DIR_DB); }, 1},
      {"projDBFormat:ZA_Sql", [](ZaConfigDB& c) { return c.DBFormat(ZA_PROJ_DB); }, 2},
      {"projDBFormat:oracle", [](ZaConfigDB& c) { return c.DBFormat(ZA_PROJ_DB); }, 0},
      {"smtpServerPort:2525", [](ZaConfigDB& c) { return c.SMTPServerPort(); }, 2525},
      {"userSessionTimeOut:60", [](ZaConfigDB& c) { return c.UserSessionTimeOut(); }, 60},
  };
  for (const Case& c : cases) {
    WriteFile(kSettings, SettingsFile(std::string(c.line) + "\n"));
    ZaConfigDB cfg;
    EXPECT_EQ(c.get(cfg), c.expected) << c.line;
  }
}

TEST_F(ConfigDBTest, PasswordsAreScrambledOnDiskWithOneBackupGeneration) {
  const std::string original = SettingsFile("webmasterEmailAddress:web@site\n");
  WriteFile(kSettings, original);
  ZaConfigDB cfg;
  cfg.WriteValue("rootPasswd", "se:cret", ZaTrue);
  cfg.WriteValue("USERPASSWD", "sql pw", ZaTrue);
  ASSERT_EQ(cfg.WriteToFile(), ZaTrue);

  std::string onDisk = ReadFile(kSettings);
  EXPECT_NE(onDisk.find("rootPasswd:" + Scrambled("se:cret") + "\n"), std::string::npos) << onDisk;
  EXPECT_NE(onDisk.find("USERPASSWD:" + Scrambled("sql pw") + "\n"), std::string::npos) << onDisk;
  EXPECT_EQ(onDisk.find("se:cret"), std::string::npos);
  EXPECT_EQ(ReadFile(std::string(kSettings) + ".bak"), original);
  EXPECT_STREQ(cfg.LDAPRootPasswd(), "se:cret");
  EXPECT_TRUE(fs::exists("../../../config/mime_types.lst"));

  ZaConfigDB reread;
  EXPECT_STREQ(reread.SqlUserPasswd(), "sql pw");
  EXPECT_STREQ(reread.WebmasterAddr(), "web@site");

  // The next write keeps only the generation before it.
  reread.WebmasterAddr("other@site", ZaTrue);
  ASSERT_EQ(reread.WriteToFile(), ZaTrue);
  EXPECT_EQ(ReadFile(std::string(kSettings) + ".bak"), onDisk);
}

TEST_F(ConfigDBTest, DerivedLogFileDefaultIsNeverSaved) {
  const std::string original = SettingsFile("defaultStyle:blue\n");
  WriteFile(kSettings, original);
  // Storing the derived default clears the change mark, also when a setter
  // had set it before.
  for (const char* changeBefore : {static_cast<const char*>(nullptr), "red"}) {
    ZaConfigDB cfg;
    if (changeBefore != nullptr) cfg.DefaultStyle(changeBefore, ZaTrue);
    EXPECT_EQ(std::string(cfg.LogFile()), top + "/logs/zalogfile");
    EXPECT_EQ(cfg.WriteToFile(), ZaTrue);
    EXPECT_EQ(ReadFile(kSettings), original) << Text(changeBefore);
    EXPECT_FALSE(fs::exists(std::string(kSettings) + ".bak"));
  }
}

TEST_F(ConfigDBTest, MissingFoldersAreNoSettingsYet) {
  fs::remove_all(top + "/config");
  ZaConfigDB cfg;
  EXPECT_EQ(std::unique_ptr<ValNameList>(cfg.ReadSetupInfo())->count, 0);
  EXPECT_EQ(std::unique_ptr<ValNameList>(cfg.GetAvailableStyles())->count, 0);
  // A working folder that is gone leaves no top folder to find; the object
  // under construction frees what it took (the sanitizer build checks).
  fs::create_directories("gone");
  fs::current_path("gone");
  fs::remove("../gone");
  std::string trace = ThrownTrace([] { ZaConfigDB lost; });
  EXPECT_NE(trace.find("line 877 in file dblib/src/zaconfigDB : Unable to determine the top zarvo "
                       "directory!"),
            std::string::npos)
      << trace;
}

TEST_F(ConfigDBTest, NewerFileOnDiskReplacesUnsavedChanges) {
  WriteFile(kSettings, SettingsFile("defaultStyle:a\n"));
  ZaConfigDB cfg;
  cfg.DefaultStyle("b", ZaTrue);
  EXPECT_STREQ(cfg.DefaultStyle(), "b");  // file not newer: the change stays

  WriteFile(kSettings, SettingsFile("defaultStyle:c\n"));
  struct utimbuf later = {time(nullptr) + 10, time(nullptr) + 10};
  ASSERT_EQ(utime(kSettings, &later), 0);
  EXPECT_STREQ(cfg.DefaultStyle(), "c");
  EXPECT_EQ(cfg.WriteToFile(), ZaTrue);  // the reload cleared the change
  EXPECT_EQ(ReadFile(kSettings), SettingsFile("defaultStyle:c\n"));
}

TEST_F(ConfigDBTest, SettersWriteTheirKeys) {
  ZaConfigDB cfg;
  cfg.SqlPhotoCol("photo", ZaTrue);
  cfg.SqlPhotoCol(nullptr, ZaTrue);
  EXPECT_EQ(cfg.ReadValue("PHOTOCOL"), nullptr);
  EXPECT_STREQ(cfg.SqlPhotoCol(), "");

  EXPECT_EQ(cfg.DBFormat(ZA_LDAP, ZaTrue, nullptr, ZA_EMP_DIR_DB), ZaFalse);
  EXPECT_STREQ(cfg.ReadValue("empDirDBFormat"), "ZA_ZARVO");
  char host[] = "ldap.site", dn[] = "cn=root", pw[] = "pw", base[] = "o=site";
  LDAPInfoRec ldap = {389, host, dn, pw, base};
  EXPECT_EQ(cfg.DBFormat("za_ldap", ZaTrue, &ldap, ZA_EMP_DIR_DB), ZaTrue);
  EXPECT_EQ(cfg.DBFormat(ZA_EMP_DIR_DB), ZA_LDAP);
  EXPECT_EQ(cfg.LDAPServerPort(), 389);
  EXPECT_STREQ(cfg.LDAPSearchBase(), "o=site");

  cfg.WriteValue("PRIMARYKEY", "id", ZaTrue);
  char srv[] = "db1", env[] = "X=1", name[] = "sa", upw[] = "spw", dbname[] = "dir";
  SQLInfoRec sql = {srv, env, srv, srv, name, upw, dbname, nullptr, nullptr};
  EXPECT_EQ(cfg.DBFormat(ZA_SQL, ZaTrue, &sql, ZA_PROJ_DB), ZaTrue);
  EXPECT_STREQ(cfg.SqlDbEnv(), "X=1");
  sql.dbEnv = sql.dbName = nullptr;  // optional settings not given are removed
  EXPECT_EQ(cfg.DBFormat(ZA_SQL, ZaTrue, &sql, ZA_PROJ_DB), ZaTrue);
  SQLInfoRec back;
  cfg.GetSQLInfo(&back);
  EXPECT_EQ(back.dbEnv, nullptr);
  EXPECT_EQ(back.dbName, nullptr);
  EXPECT_STREQ(back.primaryKey, "id");  // not given: kept
  EXPECT_STREQ(back.userPasswd, "spw");
  EXPECT_EQ(cfg.DBFormat(ZA_PROJ_DB), ZA_SQL);

  EXPECT_EQ(cfg.PhotoStyle(ZA_FIXED, ZaTrue, " ", nullptr), ZaFalse);
  EXPECT_EQ(cfg.PhotoStyle(), ZA_VARIABLE);
  EXPECT_EQ(cfg.PhotoStyle("za_fixed", ZaTrue, "120", nullptr), ZaTrue);
  EXPECT_EQ(cfg.PhotoStyle(), ZA_FIXED);
  EXPECT_STREQ(cfg.PhotoHeight(), "120");
}

TEST_F(ConfigDBTest, MimeTypesComeFromTheTableOrTheFile) {
  ZaConfigDB cfg;
  struct Case {
    const char* ext;
    const char* withoutFile;
    const char* withFile;
  } cases[] = {
      {"gif", "image/gif", "image/gif"},
      {"GIF", "text/plain", "image/gif"},
      {"jpe", "image/jpeg", "image/jpeg"},
      {"xlw", "application/msexcel", "application/msexcel"},
      {"oda", "application/pdf", "application/pdf"},
      {"unknown", "text/plain", "text/plain"},
      {nullptr, "text/plain", "text/plain"},
  };
  auto find = [&](const char* ext) {
    char* type = cfg.FindMimeType(ext);
    std::string result = type;
    free(type);
    return result;
  };
  for (const Case& c : cases) EXPECT_EQ(find(c.ext), c.withoutFile) << Text(c.ext);
  ASSERT_EQ(cfg.WriteMimeTypesFile(), ZaTrue);
  for (const Case& c : cases) EXPECT_EQ(find(c.ext), c.withFile) << Text(c.ext);

  ValNameList table;
  table.Read("../../../config/mime_types.lst", ZaTrue);
  EXPECT_EQ(table.count, 70);
  ASSERT_NE(table.head, nullptr);
  EXPECT_STREQ(table.head->name, "application/octet-stream");
  EXPECT_STREQ(table.head->value, "bin");
}

TEST_F(ConfigDBTest, SideFilesRoundTripUnderTheirLockFiles) {
  ZaConfigDB cfg;
  std::unique_ptr<ValNameList> styles(cfg.GetAvailableStyles());
  EXPECT_EQ(styles->count, 0);
  styles->Append("blue", "Blue sky");
  ASSERT_EQ(cfg.SetAvailableStyles(styles.get()), ZaTrue);
  EXPECT_TRUE(fs::exists("../../../config/style/styles.lst.lck"));
  styles.reset(cfg.GetAvailableStyles());
  ASSERT_NE(styles->Lookup("BLUE"), nullptr);
  EXPECT_STREQ(styles->Lookup("BLUE")->value, "Blue sky");

  ValList names;
  names.Append("a.gif");
  std::unique_ptr<ValList> gifs(cfg.GetGifList("app"));
  EXPECT_EQ(gifs->count, 0);  // no images folder yet
  fs::create_directories("../../app/bin/images");
  cfg.WriteValList("giflist.lst", "../../app/bin/images/", &names);
  gifs.reset(cfg.GetGifList("app"));
  ASSERT_EQ(gifs->count, 1);
  EXPECT_STREQ(gifs->head->value, "a.gif");

  ValNameList schema;
  schema.Append("email", "MAIL:varchar:64:yes:extra");
  schema.Append("name", "CN");
  cfg.WriteSQLSchemaFile(&schema);
  std::unique_ptr<ValNameList> parsed(cfg.ReadSQLSchemaFile());
  ASSERT_EQ(parsed->count, 2);
  ValNameListItem* email = parsed->head;
  EXPECT_EQ(Text(email->value) + Text(email->extra1) + Text(email->extra2) + Text(email->extra3),
            "MAILvarchar64yes");
  EXPECT_STREQ(parsed->tail->value, "CN");
  EXPECT_EQ(parsed->tail->extra1, nullptr);
}

TEST_F(ConfigDBTest, SetupInfoScramblesPasswordsAndLeavesTheCallersListAlone) {
  ZaConfigDB cfg;
  EXPECT_EQ(std::unique_ptr<ValNameList>(cfg.ReadSetupInfo())->count, 0);
  ValNameList setup;
  setup.Append("rootPasswd", "ldap pw");
  setup.Append("USERPASSWD", "sql pw");
  ASSERT_EQ(cfg.WriteSetupInfo(&setup), ZaTrue);
  EXPECT_STREQ(setup.head->value, "ldap pw");
  std::string onDisk = ReadFile("../../../config/setup.lst");
  EXPECT_NE(onDisk.find("rootPasswd:" + Scrambled("ldap pw")), std::string::npos) << onDisk;
  EXPECT_EQ(onDisk.find("sql pw"), std::string::npos);
  std::unique_ptr<ValNameList> back(cfg.ReadSetupInfo());
  EXPECT_STREQ(back->Lookup("USERPASSWD")->value, "sql pw");
}

// Settings of many keys whose values all name one generation, so that a
// partly written file shows as missing keys or mixed generations.
const int kKeys = 400;

void WriteGeneration(ZaConfigDB& cfg, int generation) {
  std::string value = "generation-" + std::to_string(generation) + std::string(60, '.');
  for (int k = 0; k < kKeys; ++k) {
    cfg.WriteValue(("key" + std::to_string(k)).c_str(), value.c_str(), ZaTrue);
  }
  cfg.WriteToFile();
}

// The generation of each key in order, -1 where a key is missing or cut.
// Only a reload of a newer file between two look-ups can raise it midway.
std::vector<int> Generations(ZaConfigDB& cfg) {
  std::vector<int> generations;
  for (int k = 0; k < kKeys; ++k) {
    std::string v = Text(cfg.ReadValue(("key" + std::to_string(k)).c_str()));
    bool whole = v.rfind("generation-", 0) == 0 && v.size() > 60 && v.back() == '.';
    generations.push_back(whole ? atoi(v.c_str() + strlen("generation-")) : -1);
  }
  return generations;
}

// The generation all keys agree on, or -1.
int ConsistentGeneration(ZaConfigDB& cfg) {
  std::vector<int> g = Generations(cfg);
  return std::count(g.begin(), g.end(), g[0]) == kKeys ? g[0] : -1;
}

int WaitFor(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

TEST_F(ConfigDBTest, ReadersNeverSeeAHalfWrittenFile) {
  {
    ZaConfigDB cfg;
    WriteGeneration(cfg, 0);
  }
  pid_t writer = fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    ZaConfigDB cfg;
    for (int g = 1; g <= 30; ++g) WriteGeneration(cfg, g);
    _exit(0);
  }
  std::vector<pid_t> readers;
  for (int r = 0; r < 3; ++r) {
    pid_t reader = fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
      for (int i = 0; i < 60; ++i) {
        try {
          ZaConfigDB cfg;
          std::vector<int> g = Generations(cfg);
          if (g[0] < 0 || !std::is_sorted(g.begin(), g.end())) _exit(2);
        } catch (ZaError*) {
          _exit(3);
        }
      }
      _exit(0);
    }
    readers.push_back(reader);
  }
  EXPECT_EQ(WaitFor(writer), 0);
  for (pid_t reader : readers) EXPECT_EQ(WaitFor(reader), 0) << "reader " << reader;
  ZaConfigDB cfg;
  EXPECT_EQ(ConsistentGeneration(cfg), 30);
}

TEST_F(ConfigDBTest, KilledWriterLeavesAReadableFile) {
  {
    ZaConfigDB cfg;
    WriteGeneration(cfg, 0);
  }
  for (int round = 0; round < 8; ++round) {
    pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      ZaConfigDB cfg;
      for (int g = 1;; ++g) WriteGeneration(cfg, g);
    }
    usleep(20000 + round * 7000);
    kill(writer, SIGKILL);
    int status = WaitFor(writer);
    ASSERT_TRUE(WIFSIGNALED(status));
    try {
      ZaConfigDB cfg;
      EXPECT_GE(ConsistentGeneration(cfg), 0) << "round " << round;
    } catch (ZaError* e) {
      ADD_FAILURE() << "round " << round << ": " << Trace(e);
      delete e;
    }
  }
  EXPECT_TRUE(fs::exists(std::string(kSettings) + ".bak"));
}

}  // namespace
