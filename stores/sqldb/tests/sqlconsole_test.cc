// The console over the SQL store, end to end: an installed tree whose
// configuration names the SQL store in the test cluster, filled with zastore,
// requests run through operadmin.cgi as a web server runs them, several at
// once or killed half-way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include "../../../zarvolib/tests/e2e_harness.h"
#include "groupDB.h"
#include "sqlconn.h"
#include "sqltesting.h"
#include "userDB.h"
#include "vallist.h"
#include "zaconfigDB.h"

namespace {

namespace fs = std::filesystem;

E2EInstall& Tree() { return E2EInstall::Shared(); }
std::string sqlConfig, schema;

std::string Cookies() {
  return "ZarvoUidCookie=op; ZarvoUserLoginTime=" + std::to_string(time(nullptr) + 600) + "; ZarvoIsWebmaster=TRUE";
}

std::string Text(const std::string& html) {
  std::string text = std::regex_replace(html, std::regex("<[^>]*>|&[a-z#0-9]+;|\xA0"), " ");
  return std::regex_replace(text, std::regex("\\s+"), " ");
}

// The page's raw text.
std::string Get(const std::string& query) {
  CgiResult r = Tree().Run(CgiRequest::Get(query, Cookies()));
  EXPECT_EQ(0, r.status) << query << "\n" << r.err;
  return r.out;
}

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The SQL settings with some of them replaced ("name:value\n" lines).
std::string SettingsWith(const std::string& changed) {
  std::string text;
  std::istringstream lines(sqlConfig);
  for (std::string line; std::getline(lines, line);)
    if (changed.find("\n" + line.substr(0, line.find(':') + 1)) == std::string::npos &&
        changed.compare(0, line.find(':') + 1, line.substr(0, line.find(':') + 1)) != 0)
      text += line + "\n";
  return text + changed;
}

const char kStoreError[] = "The following database error was reported.";

void Zastore(const std::vector<std::string>& args) {
  ASSERT_EQ(0, Tree().Zastore(args)) << args[0] << " " << args[1];
}

// The store as the console opens it, from the console's folder.
struct Store {
  fs::path back = fs::current_path();
  ZaConfigDB* config;
  UserDB* users;
  GroupDB* groups;
  Store() {
    fs::current_path(Tree().BinDir());
    config = new ZaConfigDB(nullptr);
    int key = 0;
    users = ZaCreateUserDB(config);
    groups = ZaCreateGroupDB(config);
    users->Open(ZaFalse, config, &key);
    groups->Open(config, &key);
  }
  ~Store() {
    ZaDestroyGroupDB(groups, config);
    ZaDestroyUserDB(users, config);
    delete config;
    fs::current_path(back);
  }
  std::vector<std::string> Members(const char* gid, std::string* owner) {
    std::unique_ptr<ZaGroupRecord> g(groups->GetGroup(const_cast<char*>(gid)));
    std::vector<std::string> members;
    if (!g) return members;
    if (owner) *owner = g->ownerId;
    for (ValListItem* i = g->members->head; i; i = i->next) members.push_back(i->value);
    std::sort(members.begin(), members.end());
    return members;
  }
};

// Starts one console request in a process of its own and returns its pid.
pid_t Start(const std::string& query) {
  std::vector<std::string> env = {"REQUEST_METHOD=GET", "QUERY_STRING=" + query, "SCRIPT_NAME=/admin/bin/operadmin.cgi",
                                  "SERVER_NAME=localhost", "SERVER_PORT=80", "HTTP_COOKIE=" + Cookies(),
                                  "TMPDIR=" + (Tree().Top() / "tmp").string(), "PATH=/usr/bin:/bin"};
  std::string program = (Tree().BinDir() / "operadmin.cgi").string(), dir = Tree().BinDir().string();
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(&e[0]);
  envp.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    if (chdir(dir.c_str()) != 0) _exit(126);
    char* argv[] = {&program[0], nullptr};
    execve(argv[0], argv, envp.data());
    _exit(127);
  }
  return pid;
}

std::string Encode(const std::string& text) {
  std::string out;
  char hex[4];
  for (unsigned char c : text) {
    if (isalnum(c)) {
      out += static_cast<char>(c);
    } else {
      snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

int Finish(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

SqlTarget Target() {
  SqlTarget t;
  t.host = SqlTestDir() + "/socket";
  t.dbName = t.user = "zarvo";
  t.password = SqlTestPassword();
  return t;
}

class SqlConsole : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ("", Tree().Problem());
    sqlConfig = SqlTestPrepareIn(Tree().Top().string(), &schema);
    ASSERT_NE("", sqlConfig);
    Tree().WriteConfig(sqlConfig + "logLevel:ZA_INFO\n");
    Zastore({"init"});
    Tree().AddAccount("op", "Olga Operator", "olga", "pw", true);
  }
  void TearDown() override { Tree().WriteConfig(sqlConfig + "logLevel:ZA_INFO\n"); }

  static void People(const std::string& prefix, int n, bool accounts) {
    for (int i = 1; i <= n; ++i) {
      std::string uid = prefix + std::to_string(i);
      if (accounts) Tree().AddAccount(uid, "Person " + uid, uid + "-login", "pw", false);
      else Tree().AddPerson(uid, "Person " + uid);
    }
  }
};

TEST_F(SqlConsole, TabsAccountCreationAndFiveColumnGroupTables) {
  std::string tabs = Get("program=genManagerUsersNavbar");
  EXPECT_EQ(2, Occurrences(tabs, "target=\"manage_users_frame\""));
  EXPECT_NE(std::string::npos, tabs.find("fviewuserids.gif"));
  EXPECT_NE(std::string::npos, tabs.find("fnewaccount.gif"));

  // Logins with quotes, backslashes, wildcards and semicolons are kept
  // literally, and no other login matches them as a pattern.
  People("n", 3, false);
  const char* logins[] = {"o'hara\\x", "50%_off;--", "plain_x"};
  for (int i = 0; i < 3; ++i) {
    std::string uid = "n" + std::to_string(i + 1);
    CgiRequest post = CgiRequest::Post("uid=" + uid + "&login=" + Encode(logins[i]) +
                                       "&password1=pw%27x-long&password2=pw%27x-long");
    post.query = "program=createNewAccountProcess";
    post.cookies = Cookies();
    CgiResult r = Tree().Run(post);
    EXPECT_NE(std::string::npos, Text(r.out).find("successfully set up")) << logins[i] << r.err;
  }
  Store s;
  for (int i = 0; i < 3; ++i) {
    char* uid = s.users->GetUidFromLogin(const_cast<char*>(logins[i]));
    EXPECT_EQ("n" + std::to_string(i + 1), uid ? uid : "") << logins[i];
    free(uid);
    EXPECT_NE(ZaFalse, s.users->CheckPassword(const_cast<char*>(("n" + std::to_string(i + 1)).c_str()),
                                              const_cast<char*>("pw'x-long")));
  }
  EXPECT_EQ(ZaFalse, s.users->LoginTaken(const_cast<char*>("50%")));
  EXPECT_EQ(ZaFalse, s.users->LoginTaken(const_cast<char*>("plain%")));
  EXPECT_EQ(ZaFalse, s.users->LoginTaken(const_cast<char*>("plain_")));

  Zastore({"group", "add", "gt1", "Tabled Group", "--owner", "op", "--shared"});
  std::string table = Text(Get("program=genGroupDiskUsage&selection=all_g&fromPage=groupResSearchCondPage"));
  EXPECT_NE(std::string::npos, table.find("Group Name Access Control No. of Members No. of Files Owner"));
  EXPECT_NE(std::string::npos, table.find("Tabled Group Shared 1 0 Olga Operator"));
  EXPECT_EQ(std::string::npos, table.find("Disk Space"));
}

TEST_F(SqlConsole, UnreachableServerShowsTheStoreErrorPage) {
  std::string empty = (Tree().Top() / "tmp").string();
  struct Case {
    const char* what;
    std::string lines;
  } cases[] = {
      {"no server at the socket folder", "DBSERVER:" + empty + "\n"},
      // DBENV reaches libpq through the environment: here with options the server refuses.
      {"DBENV with a setting the server does not know", "DBENV:PGOPTIONS=-c no_such.setting_x\n"},
      {"wrong password", "USERPASSWD:0000\n"},
      {"employee table missing", "EMPTBL:no_such_table\n"},
  };
  for (const Case& c : cases) {
    Tree().WriteConfig(SettingsWith(c.lines));
    for (const char* page : {"program=genUid2NamePage", "program=genGroupDiskUsage&selection=all_g"})
      EXPECT_NE(std::string::npos, Get(page).find(kStoreError)) << c.what << " " << page;
  }
  Tree().WriteConfig(sqlConfig);
  EXPECT_EQ(std::string::npos, Get("program=genUid2NamePage").find(kStoreError));
}

TEST_F(SqlConsole, TwentyProcessesChangingOneGroupLoseNothing) {
  // Ten owner changes and ten account clean-ups that each remove a member,
  // all of the same group at once.
  People("a", 10, true);
  People("x", 10, true);
  std::vector<std::string> args = {"group", "add", "busy", "Busy Group", "--owner", "op", "--shared"};
  for (int i = 1; i <= 10; ++i) args.insert(args.end(), {"--member", "a" + std::to_string(i), "--member", "x" + std::to_string(i)});
  Zastore(args);
  for (int i = 1; i <= 10; ++i) Zastore({"person", "remove", "x" + std::to_string(i)});
  std::vector<pid_t> running;
  for (int i = 1; i <= 10; ++i) {
    running.push_back(Start("program=operOnGroup&operation=commit&uid=busy&fromPage=group_res&selection=a" + std::to_string(i)));
    running.push_back(Start("program=operOnUser&operation=remove&uid=x" + std::to_string(i)));
  }
  for (pid_t pid : running) EXPECT_EQ(0, Finish(pid));
  Store s;
  std::string owner;
  std::vector<std::string> members = s.Members("busy", &owner), expected = {"op"};
  for (int i = 1; i <= 10; ++i) expected.push_back("a" + std::to_string(i));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, members);
  EXPECT_TRUE(owner.size() > 1 && owner[0] == 'a') << owner;
  std::string log = Tree().ReadLog();
  EXPECT_EQ(std::string::npos, log.find("Failure in modifying group owner"));
  EXPECT_EQ(std::string::npos, log.find("Failed to clean up user account"));
  for (int i = 1; i <= 10; ++i)
    EXPECT_EQ(ZaFalse, s.users->AccountExists(const_cast<char*>(("x" + std::to_string(i)).c_str())));
}

// A console process killed (kill -9) while its change waits half-way inside
// the database: the wait is made by holding a lock on a table the change
// reaches late. A change of several statements is then wholly undone (its
// transaction never commits); a change of one statement is wholly done or
// wholly absent.
TEST_F(SqlConsole, KilledChangesAreWholeOrAbsent) {
  People("k", 4, true);
  People("kn", 1, false);
  Zastore({"group", "add", "kg1", "Kept Owner", "--owner", "k1", "--shared", "--member", "k2"});
  Zastore({"group", "add", "kg2", "Doomed Group", "--owner", "k1", "--shared", "--member", "k2"});
  Zastore({"document", "add", "kg2", "plan.txt"});
  Zastore({"usage", "add", "--user", "k4", "5"});
  Zastore({"person", "remove", "k4"});
  SqlConnection locker(Target());
  std::string in = locker.QuoteIdentifier(schema) + ".";
  auto count = [&](const std::string& sql) { return locker.Run("SELECT count(*) FROM " + in + sql).Number(0, 0); };
  struct Case {
    const char* what;
    const char* lockedTable;
    std::string query;
    std::function<std::string()> state;  // "absent", "done" or what is half-made
  } cases[] = {
      {"owner change", "za_members", "program=operOnGroup&operation=commit&uid=kg1&fromPage=group_res&selection=k2",
       [&] { return count("za_groups WHERE gid = 'kg1' AND owner = 'k1'") == 1 ? "absent" : "owner changed"; }},
      {"group deletion", "za_documents", "program=operOnGroup&operation=delete&uid=kg2&fromPage=gid_res",
       [&] {
         long long rows[] = {count("za_groups WHERE gid = 'kg2'"), count("za_members WHERE gid = 'kg2'"),
                             count("za_documents WHERE gid = 'kg2'")};
         return rows[0] == 1 && rows[1] == 2 && rows[2] == 1 ? "absent"
                : rows[0] + rows[1] + rows[2] == 0           ? "done"
                                                             : "half deleted";
       }},
      {"account clean-up", "za_user_usage", "program=operOnUser&operation=remove&uid=k4",
       [&] {
         long long rows[] = {count("za_accounts WHERE uid = 'k4'"), count("za_user_usage WHERE uid = 'k4'")};
         return rows[0] == 1 && rows[1] == 1 ? "absent" : rows[0] + rows[1] == 0 ? "done" : "half removed";
       }},
      {"account creation", "za_accounts", "program=createNewAccountProcess&uid=kn1&login=knew&password1=knew-pass&password2=knew-pass",
       [&] {
         Store s;
         if (s.users->AccountExists(const_cast<char*>("kn1")) == ZaFalse) return "absent";
         return s.users->CheckPassword(const_cast<char*>("kn1"), const_cast<char*>("knew-pass")) ? "done" : "no password";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    locker.Run("BEGIN");
    locker.Run("LOCK TABLE " + in + c.lockedTable + " IN EXCLUSIVE MODE");
    pid_t pid = Start(c.query);
    bool waiting = false;
    for (int i = 0; i < 600 && !waiting; ++i) {
      locker.Run("SELECT pg_stat_clear_snapshot()");  // else the transaction keeps its first view
      waiting = locker.Run("SELECT 1 FROM pg_stat_activity WHERE application_name = 'operadmin' AND "
                           "wait_event_type = 'Lock'").Rows() > 0;
      if (!waiting) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(waiting);
    kill(pid, SIGKILL);
    Finish(pid);
    locker.Run("ROLLBACK");
    for (int i = 0; i < 600; ++i) {
      if (locker.Run("SELECT 1 FROM pg_stat_activity WHERE application_name = 'operadmin' AND "
                     "pid <> pg_backend_pid()").Rows() == 0)
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::string state = c.state();
    EXPECT_TRUE(state == "absent" || state == "done") << state;
    if (!strcmp(c.lockedTable, "za_members")) {
      EXPECT_EQ("absent", state);  // several statements: never committed
    }
  }
}

}  // namespace
