// The console's events end to end: an installed tree whose flat-file store is
// filled with zastore, requests run through operadmin.cgi as a web server
// runs it. The other store formats are stood in for by the in-memory test
// store, installed under their library names.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <regex>
#include <thread>

#include "../../zarvolib/tests/e2e_harness.h"
#include "userDB.h"
#include "zaconfigDB.h"

namespace {

namespace fs = std::filesystem;

E2EInstall& Tree() { return E2EInstall::Shared(); }

std::string LoginCookies(const std::string& more = "") {
    return "ZarvoUidCookie=op; ZarvoUserLoginTime=" + std::to_string(time(nullptr) + 600) +
           "; ZarvoIsWebmaster=TRUE" + more;
}

// Every request ends normally, whatever page it shows.
CgiResult Get(const std::string& query, const std::string& cookies = "") {
    CgiResult r = Tree().Run(CgiRequest::Get(query, LoginCookies(cookies)));
    EXPECT_EQ(r.status, 0) << query;
    return r;
}

// The page's visible text: tags and entities dropped, white space folded.
std::string Text(const std::string& html) {
    std::string text = std::regex_replace(html, std::regex("<[^>]*>|&[a-z#0-9]+;|\xA0"), " ");
    text = std::regex_replace(text, std::regex("\\s+"), " ");
    return text;
}

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Settings of the installed tree with the given store format; every message
// level reaches the log so that the console's progress lines can be checked.
void UseFormat(const char* format) {
    Tree().RestoreConfig();
    std::string text = E2EInstall::ReadText(Tree().ConfigFile());
    text = std::regex_replace(text, std::regex("logLevel:[A-Z_]+"), "logLevel:ZA_INFO");
    text = std::regex_replace(text, std::regex("empDirDBFormat:[A-Z_]+"), std::string("empDirDBFormat:") + format);
    std::ofstream(Tree().ConfigFile(), std::ios::trunc) << text;
}

// What `zastore list WHAT` prints about the installed store.
std::string ZastoreList(const std::string& what) {
    const std::string command = "'" + (Tree().Top() / "bin" / "zastore").string() + "' --top '" +
                                Tree().Top().string() + "' list " + what;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) text.append(buffer, n);
    return text;
}

// Asks the installed store, through the program's loader as the console
// does, whether `password` is the password of uid.
bool StoreAcceptsPassword(const char* uid, const char* password) {
    const fs::path back = fs::current_path();
    fs::current_path(Tree().BinDir());
    bool accepted = false;
    ZaConfigDB config(nullptr);
    UserDB* users = nullptr;
    try {
        int key = 0;
        users = ZaCreateUserDB(&config);
        accepted = users->Open(ZaFalse, &config, &key) == ZaTrue &&
                   users->CheckPassword(const_cast<char*>(uid), const_cast<char*>(password)) == ZaTrue;
    } catch (ZaError* e) {
        std::string trace;
        for (ValListItem* line = e->lines.head; line; line = line->next) trace += std::string(line->value) + "\n";
        ADD_FAILURE() << "the store could not be opened:\n" << trace;
        delete e;
    }
    if (users) ZaDestroyUserDB(users, &config);
    fs::current_path(back);
    return accepted;
}

void Zastore(const std::vector<std::string>& args) { ASSERT_EQ(Tree().Zastore(args), 0) << args[0] << " " << args[1]; }

void AddGroup(const std::string& gid, const std::string& name, const std::string& owner, bool shared,
              const std::vector<std::string>& members) {
    std::vector<std::string> args = {"group", "add", gid, name, "--owner", owner};
    if (shared) args.push_back("--shared");
    for (const std::string& m : members) args.insert(args.end(), {"--member", m});
    Zastore(args);
}

class ConsolePages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(Tree().Problem(), "");
        E2EInstall& t = Tree();
        t.Zastore({"person", "add", "u1", "--name", "Una One", "--email", "una@example.org"});
        t.AddAccount("op", "Olga Operator", "olga", "pw", true);
        t.AddAccount("u1", "Una One", "una", "pw", false);
        t.AddAccount("u2", "Udo Two", "udo", "pw", false);
        t.AddAccount("u3", "Uta Three", "uta", "pw", false);
        for (const char* leaver : {"lv", "lw", "lx"}) t.AddAccount(leaver, std::string("Leaver ") + leaver, leaver, "pw", false);
        AddGroup("g1", "Alpha Team", "u1", true, {"u1", "u2", "u3", "lv", "lx"});
        AddGroup("g2", "Beta Club", "u1", false, {"u1"});
        AddGroup("g3", "Gamma Shared", "lv", true, {"lv", "u1"});
        AddGroup("g5", "Epsilon Solo", "u3", true, {"u3"});
        AddGroup("g6", "Zeta Private", "lw", false, {"lw"});
        AddGroup("g7", "Theta Shared", "lx", true, {"lx", "u2"});
        AddGroup("g8", "Iota Private", "lx", false, {"lx"});
        AddGroup("g9", "Kappa Moves", "u3", true, {"u3", "u2"});
        AddGroup("g10", "Lambda Doomed", "u3", true, {"u3"});
        for (auto usage : std::vector<std::vector<std::string>>{{"--user", "u1", "1000"}, {"--user", "u2", "999"},
                                                                {"--user", "u3", "5000"}, {"--user", "lv", "300"},
                                                                {"--group", "g1", "700"}, {"--group", "g2", "50"},
                                                                {"--group", "g5", "10"}})
            Zastore({"usage", "add", usage[0], usage[1], usage[2]});
        Zastore({"hotlist", "add", "u1", "--person", "u2"});
        Zastore({"hotlist", "add", "u1", "--group", "g1"});
        Zastore({"document", "add", "g1", "plan.txt"});
        Zastore({"document", "add", "g1", "notes.txt"});
        for (const char* leaver : {"lv", "lw", "lx"}) Zastore({"person", "remove", leaver});
        // The in-memory store stands in for the LDAP and SQL formats.
        for (const char* name : {"zaldapdblib_cgi.so", "zasqldblib_cgi.so"}) {
            fs::remove(t.Top() / "lib" / name);  // the installed store, where there is one
            fs::create_symlink(fs::path(ZA_BINARY_DIR) / "lib" / "zamemdb_test.so", t.Top() / "lib" / name);
        }
    }
    static void TearDownTestSuite() { Tree().RestoreConfig(); }
    void SetUp() override { UseFormat("ZA_ZARVO"); }
    static void WriteMemoryStore(const std::string& lines) {
        fs::create_directories(Tree().Top() / "testdb");
        std::ofstream(Tree().Top() / "testdb" / "seed.lst", std::ios::trunc) << lines;
    }
};

TEST_F(ConsolePages, EveryEventReachesItsPage) {
    struct Case {
        std::string query;
        std::vector<std::string> markers;  // in page order
    } cases[] = {
        {"", {"cols=\"90,*\"", "src=\"operadmin.cgi?program=navbar\" name=\"application_navbar\"",
              "src=\"../help/operadmin_sum.htm\" name=\"application_main\""}},
        {"program=FrOnT", {"name=\"application_navbar\""}},
        {"program=navbar", {"function ZaHelp", "program=genManageUsersPage", "side_manageusers.gif", "program=groupResSearchCondPage",
                            "side_managegroups.gif", "roomadmin.cgi?program=roomOperFront", "side_managefacilities.gif",
                            "program=genViewLogFileSplitPage", "side_managelog.gif", "admin_help.htm", "side_help.gif",
                            "program=app_common_prog_help_top", "side_babout.gif",
                            "MyConfirm('Do you really want to logout ?','admin.cgi?program=app_common_prog_logout');",
                            "target=\"_top\"", "side_blogout.gif"}},
        {"program=genManageUsersPage", {"rows=\"35,*\"", "scrolling=\"no\" src=\"operadmin.cgi?program=genManagerUsersNavbar\"",
                                        "name=\"manage_users_navbar_frame\"", "marginwidth=\"0\"",
                                        "src=\"operadmin.cgi?program=genUid2NamePage\" name=\"manage_users_frame\""}},
        {"program=genManagerUsersNavbar", {"program=genUid2NamePage", "fviewuserids.gif", "program=genDeletedUsersPage",
                                           "fnoncurrentusers.gif", "program=resSearchCondPage", "fresourceusage.gif",
                                           "program=createNewAccount", "fnewaccount.gif"}},
        {"program=resSearchCondPage", {"name=\"res_type\""}},
        {"program=genResUsagePage&res_type=users", {"name=\"usage_head_frame\""}},
        {"program=genResUsageHeading&res_type=users", {"Summary of disk usage by users"}},
        {"program=genUserDiskUsage", {"Groups in Hotlist"}},
        {"program=genUidResUsage&uid=u1", {"Private Groups owned"}},
        {"program=groupResSearchCondPage", {"value=\"group_owner\""}},
        {"program=genGroupDiskUsage", {"No. of Files"}},
        {"program=genGroupResUsage&uid=g1", {"sgroupsummary.gif"}},
        {"program=genGroupOwnedPage&uid=u1", {"Groups Owned"}},
        {"program=operOnGroup&operation=chgowner&uid=g1", {"name=\"operform\""}},
        {"program=genViewLogFileSplitPage", {"name=\"logopt_frame\""}},
        {"program=genViewLogFileChoicePage", {"name=\"optionform\""}},
        {"program=genViewLogFileStartMsgPage", {"Click on View Log button to view log messages"}},
        {"program=genViewLogFilePage&sub_program=split", {"name=\"logoper_frame\""}},
        {"program=genLogFileOperPage", {"barchivelog.gif"}},
        {"program=operOnLogFile&operation=none", {"<hr>"}},
        {"program=genDeletedUsersPage", {"hnoncurrentusers.gif"}},
        {"program=operOnUser&operation=keep", {"Unknown operation for OperateOnUser"}},
        {"program=GENUID2NAMEPAGE", {"hviewuserids.gif"}},
        {"program=createNewAccount", {"name=\"createform\""}},
        {"program=createNewAccountProcess", {"Please enter a valid User ID"}},
        {"program=noSuchEvent", {"Bad program name noSuchEvent"}},
    };
    for (const Case& c : cases) {
        CgiResult r = Get(c.query);
        size_t at = 0;
        for (const std::string& marker : c.markers) {
            at = r.out.find(marker, at);
            if (at == std::string::npos) {
                ADD_FAILURE() << c.query << ": " << marker << "\n" << r.out;
                break;
            }
        }
    }
}

TEST_F(ConsolePages, SideBarOffersNoLogoutAfterAServerLogin) {
    CgiResult server = Get("program=navbar", "; ZarvoNetscapeLogin=TRUE");
    EXPECT_TRUE(server.Contains("side_babout.gif"));
    EXPECT_FALSE(server.Contains("side_blogout.gif"));
}

TEST_F(ConsolePages, TabBarAndGroupPagesFollowTheStoreFormat) {
    WriteMemoryStore("person|u1|Una One|u@x\nperson|u2|Udo Two|v@x\ngroup|g1|Alpha Team|u1|1|u1,u2\n");
    struct Case {
        const char* format;
        int tabs, radios, columns;
        bool diskSpace;
    } cases[] = {{"ZA_ZARVO", 4, 5, 6, true}, {"ZA_LDAP", 1, 3, 5, false}, {"ZA_SQL", 2, 3, 5, false}};
    for (const Case& c : cases) {
        UseFormat(c.format);
        CgiResult tabs = Get("program=genManagerUsersNavbar");
        EXPECT_EQ(Occurrences(tabs.out, "target=\"manage_users_frame\""), c.tabs) << c.format;
        EXPECT_EQ(tabs.Contains("fnewaccount.gif"), c.tabs != 1) << c.format;
        CgiResult form = Get("program=groupResSearchCondPage");
        EXPECT_EQ(Occurrences(form.out, "type=\"radio\""), c.radios) << c.format;
        EXPECT_TRUE(form.Contains("validateGroupResSearchCondFormSubmit('" + std::to_string(c.radios) + "')"));
        CgiResult table = Get("program=genGroupDiskUsage&selection=all_g");
        EXPECT_EQ(table.Contains("Disk Space (bytes)"), c.diskSpace) << c.format;
        EXPECT_EQ(Occurrences(table.out, "align=\"left\"><b>"), c.columns) << c.format;
        EXPECT_TRUE(Text(table.out).find(" Alpha Team ") != std::string::npos) << table.out;
        EXPECT_EQ(Get("program=genGroupResUsage&uid=g1").Contains("Disk Space (bytes)"), c.diskSpace);
    }
}

TEST_F(ConsolePages, NonCurrentListWithoutAccountsOrWithOnlyCurrentOnes) {
    UseFormat("ZA_SQL");
    struct Case {
        const char* store;
        bool noneMessage;
    } cases[] = {{"person|u1|Una One|u@x\n", true}, {"person|u1|Una One|u@x\naccount|u1|una|pw|0\n", false}};
    for (const Case& c : cases) {
        WriteMemoryStore(c.store);
        CgiResult r = Get("program=genDeletedUsersPage");
        EXPECT_EQ(r.Contains("There are no non-current users"), c.noneMessage) << c.store;
        EXPECT_FALSE(r.Contains("program=genUidResUsage")) << c.store;
        EXPECT_TRUE(r.Contains("bdone.gif")) << c.store;
    }
}

TEST_F(ConsolePages, UnreachableStoreGivesTheDatabaseErrorPage) {
    fs::remove(Tree().Top() / "testdb" / "seed.lst");
    UseFormat("ZA_SQL");
    for (const char* event : {"genUid2NamePage", "genDeletedUsersPage", "genGroupDiskUsage"}) {
        CgiResult r = Get(std::string("program=") + event);
        EXPECT_TRUE(r.Contains("The following database error was reported.")) << event << r.out;
        EXPECT_FALSE(r.Contains("Bug Report Form")) << event;
    }
    UseFormat("ZA_LDAP");
    EXPECT_TRUE(Get("program=genUid2NamePage").Contains("LDAP Configuration"));
}

TEST_F(ConsolePages, UserSearchRowsAndMailButtonPerSelection) {
    struct Case {
        std::string query;
        std::vector<std::string> shown, hidden;
        bool mail;
    } cases[] = {
        {"selection=all_u", {"Una One", "Udo Two", "Uta Three"}, {}, false},
        {"selection=gt_u&ubytes=1000", {"Una One", "Uta Three"}, {"Udo Two"}, true},
        {"selection=gt_u&ubytes=lots", {"Una One", "Udo Two", "Uta Three"}, {}, true},
        {"selection=top_u&users=1", {"Uta Three"}, {"Una One", "Udo Two"}, true},
        {"selection=top_u&users=0", {"No users were found for the given search condition."}, {"Uta Three"}, false},
        {"selection=top_u&users=x", {"No users were found for the given search condition."}, {}, false},
        {"selection=deleted_u", {"Leaver lv", "Leaver lw"}, {"Una One", "Uta Three"}, false},
        {"selection=select_u&oper_uid_val=u1&oper_uid_val=u2", {"Una One", "Udo Two"}, {"Uta Three"}, true},
    };
    for (const Case& c : cases) {
        CgiResult r = Get("program=genUserDiskUsage&" + c.query);
        for (const std::string& name : c.shown) EXPECT_TRUE(r.Contains(name)) << c.query << " " << name;
        for (const std::string& name : c.hidden) EXPECT_FALSE(r.Contains(name)) << c.query << " " << name;
        EXPECT_EQ(r.Contains("bemail.gif"), c.mail) << c.query;
        EXPECT_TRUE(r.Contains("href=\"operadmin.cgi?program=resSearchCondPage\"")) << c.query;
    }
    // Name, bytes, groups joined, shared and private groups owned, hotlisted people and groups.
    EXPECT_NE(Text(Get("program=genUserDiskUsage&selection=all_u").out).find("Una One 1000 3 1 1 1 1"),
              std::string::npos);
    EXPECT_TRUE(Get("program=genUserDiskUsage&selection=gt_u&ubytes=1000").Contains("mailto:una@example.org"));
}

TEST_F(ConsolePages, ResultFramesCarryTheSearchAndRefuseUnknownKinds) {
    CgiResult frames = Get("program=genResUsagePage&res_type=users&selection=top_u&fromPage=resSearchCondPage&users=7");
    EXPECT_TRUE(frames.Contains("program=genResUsageHeading&res_type=users&selection=top_u&fromPage=resSearchCondPage&users=7"));
    EXPECT_TRUE(frames.Contains("selection=top_u&fromPage=resSearchCondPage&program=genUserDiskUsage&users=7"));
    struct Case {
        std::string query, heading;
    } cases[] = {
        {"res_type=users&selection=gt_u&ubytes=12", "List of users using more than 12 bytes of disk space"},
        {"res_type=users&selection=top_u&users=3", "List of top 3 users by disk usage"},
        {"res_type=users&selection=deleted_u", "List of deleted users by disk usage"},
        {"res_type=users&selection=select_u", "List of selected users by disk usage"},
        {"res_type=groups&selection=gt_g&gbytes=9", "List of groups using more than 9 bytes of disk space"},
        {"res_type=groups&selection=top_g&groups=2", "List of top 2 groups by disk usage"},
        {"res_type=groups&selection=all_g", "Summary of disk usage by groups"},
        {"res_type=disks", "Unknown restype value for GenResUsageHeadingPage"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(Get("program=genResUsageHeading&" + c.query).Contains(c.heading)) << c.query;
    EXPECT_TRUE(Get("program=genResUsagePage&res_type=disks").Contains("Unknown restype vale for GenResUsagePage"));
}

TEST_F(ConsolePages, SearchFormResetsOrReadsTheSelectorLists) {
    CgiResult fresh = Get("program=resSearchCondPage");
    EXPECT_TRUE(fresh.HasCookie("PersonSelectorCookie"));
    EXPECT_TRUE(fresh.HasCookie("GroupSelectorCookie"));
    EXPECT_FALSE(fresh.Contains("name=\"oper_uid_val\""));
    CgiResult back = Get("program=resSearchCondPage&selector=1", "; PersonSelectorCookie=op; GroupSelectorCookie=g5:g404");
    EXPECT_FALSE(back.HasCookie("PersonSelectorCookie"));
    for (const char* uid : {"op", "u3"}) EXPECT_TRUE(back.Contains("value=\"" + std::string(uid) + "\" checked")) << uid;
    EXPECT_EQ(Occurrences(back.out, "name=\"oper_uid_val\""), 2);
}

TEST_F(ConsolePages, NonCurrentUsersAndTheirSummaries) {
    CgiResult list = Get("program=genDeletedUsersPage");
    EXPECT_TRUE(list.Contains("program=genUidResUsage&uid=lv"));
    EXPECT_FALSE(list.Contains("uid=u1"));
    struct Case {
        const char* uid;
        bool removable, warning, changeOwner;
        const char* done;
    } cases[] = {
        {"lv", true, true, true, "operadmin.cgi?program=genDeletedUsersPage"},
        {"lw", true, false, false, "operadmin.cgi?program=genDeletedUsersPage"},
        {"u2", false, false, false, "../help/operadmin_sum.htm"},
        {"u1", false, false, true, "../help/operadmin_sum.htm"},
    };
    for (const Case& c : cases) {
        CgiResult r = Get(std::string("program=genUidResUsage&uid=") + c.uid);
        EXPECT_EQ(r.Contains("bremovedeletedusers.gif"), c.removable) << c.uid;
        EXPECT_EQ(r.Contains("WARNING:This user is owner of shared groups."), c.warning) << c.uid;
        EXPECT_EQ(r.Contains("bchangeowner.gif"), c.changeOwner) << c.uid;
        EXPECT_TRUE(r.Contains(std::string("href=\"") + c.done)) << c.uid;
    }
    for (auto [uid, rows] : std::vector<std::pair<std::string, std::string>>{
             {"u1", "User Name Una One Disk Space (bytes) 1000 Groups belong to 3 Shared Groups owned 1 "
                    "Private Groups owned 1 People in Hotlist 1 Groups in Hotlist 1"},
             {"lv", "Leaver lv Disk Space (bytes) 300 Groups belong to 2 Shared Groups owned 1 Private Groups owned 0"}})
        EXPECT_NE(Text(Get("program=genUidResUsage&uid=" + uid).out).find(rows), std::string::npos) << uid;
    CgiResult shared = Get("program=genGroupOwnedPage&uid=lv");
    EXPECT_TRUE(shared.Contains("operation=chgowner&fromPage=group_owned&orig_owner=lv"));
    EXPECT_TRUE(shared.Contains("Gamma Shared"));
}

TEST_F(ConsolePages, UserIdsComePageByPage) {
    struct Case {
        const char* lastCount;
        int rows;
        const char* next;  // last_count offered, or null
    };
    // Current people are added up to each total in turn (four exist already).
    struct Stage {
        int total;
        std::vector<Case> cases;
    } stages[] = {
        // A last page that is exactly full still offers "next", which leads to headings only.
        {200, {{"100", 100, "200"}, {"200", 0, nullptr}}},
        {250, {{"", 100, "100"}, {"abc", 100, "100"}, {"100", 100, "200"}, {"200", 50, nullptr}, {"250", 0, nullptr}}},
    };
    int current = 4;
    for (const Stage& stage : stages) {
        std::string cards;
        char uid[16];
        for (; current < stage.total; ++current) {
            snprintf(uid, sizeof uid, "p%03d", current - 3);
            cards += std::string("BEGIN:VCARD\nVERSION:2.1\nUID:") + uid + "\nFN:P" + (uid + 1) + " Person\nEND:VCARD\n";
        }
        std::ofstream(Tree().Top() / "people.vcf", std::ios::trunc) << cards;
        Zastore({"person", "import", (Tree().Top() / "people.vcf").string()});
        for (const Case& c : stage.cases) {
            const std::string label = std::to_string(stage.total) + " people, last_count=" + c.lastCount;
            CgiResult r = Get(std::string("program=genUid2NamePage&last_count=") + c.lastCount);
            EXPECT_EQ(Occurrences(r.out, "mpersonicon.gif"), c.rows) << label;
            EXPECT_TRUE(r.Contains("Login Name")) << label;
            EXPECT_EQ(r.Contains("bnext.gif"), c.next != nullptr) << label;
            EXPECT_TRUE(!c.next || r.Contains(std::string("last_count=") + c.next)) << label;
        }
    }
    std::string first = Text(Get("program=genUid2NamePage").out);
    EXPECT_NE(first.find("Olga Operator op olga"), std::string::npos);
    EXPECT_NE(first.find("P001 Person p001 ----"), std::string::npos);
    EXPECT_LT(first.find("P001 Person"), first.find("P002 Person"));
}

TEST_F(ConsolePages, AccountCreationChecksInOrder) {
    Tree().AddPerson("n1", "Nina New");
    struct Case {
        std::string body, page;
    } cases[] = {
        {"uid=&login=", "Please enter a valid User ID"},
        {"uid=+&login=x", "Please enter a valid User ID"},
        {"uid=n1&login=", "Please enter a valid username"},
        {"uid=ghost&login=g", "The User ID you entered does not exist or is incorrect"},
        {"uid=u1&login=z", "Sorry, an account already exists for this User ID."},
        {"uid=n1&login=una", "The username you have chosen is already taken"},
        {"uid=n1&login=nina&password1=Secret&password2=secret", "The passwords you entered did not match"},
        // Installations ask for passwords of at least eight characters.
        {"uid=n1&login=nina", "The password must have at least 8 characters"},
        {"uid=n1&login=nina&password1=Secret1&password2=Secret1", "The password must have at least 8 characters"},
        {"uid=n1&login=nina&password1=Secret12&password2=Secret12", "New account for User ID &quot;n1&quot; with login &quot;nina&quot; successfully set up."},
        {"uid=n1&login=nina2", "Sorry, an account already exists for this User ID."},
    };
    for (const Case& c : cases) {
        CgiRequest post = CgiRequest::Post(c.body, "program=createNewAccountProcess");
        post.cookies = LoginCookies();
        EXPECT_TRUE(Tree().Run(post).Contains(c.page)) << c.body;
    }
    EXPECT_NE(Tree().ReadLog().find("ZA_WARNING:No User ID entered.\t\t\t\tNew account setup failed!"), std::string::npos);
    EXPECT_NE(Tree().ReadLog().find("ZA_INFO:New account for User ID \"n1\" with login \"nina\" successfully set up."),
              std::string::npos);
    EXPECT_TRUE(StoreAcceptsPassword("n1", "Secret12"));
    EXPECT_FALSE(StoreAcceptsPassword("n1", "secret12"));
}

TEST_F(ConsolePages, GroupSearchesBySelection) {
    struct Case {
        std::string query;
        std::vector<std::string> shown, hidden;
        bool mail, done;
    } cases[] = {
        {"selection=all_g", {"Alpha Team", "Epsilon Solo", "Beta Club"}, {}, false, true},
        {"selection=top_g&groups=1", {"Alpha Team"}, {"Beta Club", "Epsilon Solo"}, true, true},
        {"selection=top_g&groups=0", {"No groups were found for the given search condition."}, {"Alpha Team"}, false, true},
        {"selection=gt_g&gbytes=50", {"Alpha Team", "Beta Club"}, {"Epsilon Solo"}, true, true},
        {"selection=gt_g&gbytes=0", {"Alpha Team", "Beta Club", "Epsilon Solo", "Zeta Private"}, {}, true, true},
        {"selection=group_name&gname=SOLO", {"Epsilon Solo"}, {"Alpha Team"}, false, true},
        {"selection=group_name&gname=qqq", {"No groups with name containing ", "<i>qqq</i>", " were found"}, {}, false, false},
        {"selection=group_owner&selectedOwner=u1", {"Alpha Team", "Beta Club"}, {"Epsilon Solo"}, false, true},
        {"selection=group_owner&selectedOwner=u2", {"No groups were found for the given user"}, {}, false, false},
    };
    for (const Case& c : cases) {
        CgiResult r = Get("program=genGroupDiskUsage&" + c.query);
        for (const std::string& text : c.shown) EXPECT_TRUE(r.Contains(text)) << c.query << " " << text;
        for (const std::string& text : c.hidden) EXPECT_FALSE(r.Contains(text)) << c.query << " " << text;
        EXPECT_EQ(r.Contains("bemail.gif"), c.mail) << c.query;
        EXPECT_EQ(r.Contains("bdone.gif"), c.done) << c.query;
    }
    // Group, bytes, access, members, files, owner; linked unless the user search asked.
    std::string all = Get("program=genGroupDiskUsage&selection=all_g").out;
    EXPECT_NE(Text(all).find("Alpha Team 700 Shared 5 2 Una One"), std::string::npos);
    EXPECT_NE(all.find("program=genGroupResUsage&fromPage=group_res&uid=g1"), std::string::npos);
    std::string fromUsers = Get("program=genGroupDiskUsage&selection=all_g&fromPage=resSearchCondPage").out;
    EXPECT_EQ(fromUsers.find("fromPage=group_res"), std::string::npos);
    EXPECT_NE(fromUsers.find("program=resSearchCondPage"), std::string::npos);
}

TEST_F(ConsolePages, GroupSummariesAndTheirButtons) {
    struct Case {
        std::string query;
        bool changeOwner, gone;
        std::string done;
    } cases[] = {
        {"uid=g1&fromPage=group_res", true, false, "href=\"operadmin.cgi?program=groupResSearchCondPage\""},
        {"uid=g5&fromPage=group_owned", false, false, "program=genGroupOwnedPage&uid=u3"},
        {"uid=g5&fromPage=gid_res", false, false, "history.back()"},
        {"uid=g404&fromPage=group_res", false, true, "href=\"operadmin.cgi?program=groupResSearchCondPage\""},
        {"uid=g404&fromPage=group_owned", false, true, "history.back()"},
    };
    for (const Case& c : cases) {
        CgiResult r = Get("program=genGroupResUsage&" + c.query);
        EXPECT_EQ(r.Contains("bchangeowner.gif"), c.changeOwner) << c.query;
        EXPECT_EQ(r.Contains("bdeletegroup.gif"), !c.gone) << c.query;
        EXPECT_EQ(r.Contains("This group is no longer available. It may have been deleted either by its owner"), c.gone);
        EXPECT_TRUE(r.Contains(c.done)) << c.query << "\n" << r.out;
    }
    CgiResult form = Get("program=operOnGroup&operation=chgowner&uid=g1&fromPage=gid_res&orig_owner=u1");
    EXPECT_TRUE(form.Contains("validateRadioFormSelectionSubmit('5')"));
    EXPECT_EQ(Occurrences(form.out, "name=\"selection\""), 5);
    EXPECT_TRUE(form.Contains("program=genGroupResUsage&uid=g1&fromPage=group_res"));
    CgiResult gone = Get("program=operOnGroup&operation=chgowner&uid=g404&fromPage=group_owned&orig_owner=u3");
    EXPECT_TRUE(gone.Contains("This group is no longer available."));
    EXPECT_TRUE(gone.Contains("program=genGroupOwnedPage&uid=u3"));
}

TEST_F(ConsolePages, OwnerChangesAndDeletionWithRefusalsLogged) {
    CgiResult owned = Get("program=operOnGroup&operation=commit&uid=g9&fromPage=group_owned&orig_owner=u3&selection=u2");
    EXPECT_TRUE(owned.Contains("Groups Owned"));
    EXPECT_FALSE(owned.Contains("Kappa Moves"));  // no longer among u3's shared groups
    CgiResult summary = Get("program=operOnGroup&operation=commit&uid=g9&fromPage=gid_res&orig_owner=u2&selection=u3");
    EXPECT_TRUE(summary.Contains("sgroupsummary.gif"));
    EXPECT_NE(Text(summary.out).find("Owner Uta Three"), std::string::npos);
    CgiResult refused = Get("program=operOnGroup&operation=commit&uid=g9&fromPage=gid_res&orig_owner=u3&selection=");
    EXPECT_TRUE(refused.Contains("sgroupsummary.gif"));
    EXPECT_TRUE(Get("program=operOnGroup&operation=delete&uid=g10&fromPage=gid_res").Contains("value=\"group_owner\""));
    EXPECT_TRUE(Get("program=genGroupResUsage&uid=g10&fromPage=group_res").Contains("no longer available"));
    EXPECT_TRUE(Get("program=operOnGroup&operation=delete&uid=g404").Contains("value=\"group_owner\""));
    for (const char* line : {":OperAdmin:ZA_ERROR:Failure in modifying group owner", ":OperAdmin:ZA_ERROR:Failure in delete group",
                             ":OperAdmin:ZA_INFO:About to delete the group"})
        EXPECT_NE(Tree().ReadLog().find(line), std::string::npos) << line;
}

// Lines of a `zastore list` as they should read once lx is gone: the lines
// that start with one of `dropped` removed, and lx taken out of member lists.
std::string WithoutLeaver(const std::string& list, const std::vector<std::string>& dropped) {
    std::istringstream lines(list);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        bool drop = false;
        for (const std::string& start : dropped) drop = drop || line.rfind(start, 0) == 0;
        if (drop) continue;
        line = std::regex_replace(line, std::regex("([\t,])lx(,|$)"), "$1");
        line = std::regex_replace(line, std::regex(",$|,(?=,)"), "");
        kept += line + "\n";
    }
    return kept;
}

TEST_F(ConsolePages, RemovingAUserReclaimsEverything) {
    Zastore({"usage", "add", "--user", "lx", "400"});
    const fs::path leaverData = Tree().Top() / "data" / "users" / "lx";
    ASSERT_TRUE(fs::exists(leaverData));
    const std::string accounts = ZastoreList("accounts"), groups = ZastoreList("groups");
    ASSERT_NE(accounts.find("lx\t"), std::string::npos);
    ASSERT_NE(groups.find(",lx"), std::string::npos);
    CgiResult nobody = Get("program=operOnUser&operation=remove");
    EXPECT_TRUE(nobody.Contains("Module Main returned non-zero status")) << nobody.out;
    EXPECT_NE(Tree().ReadLog().find("ZA_ERROR:Failed to clean up user account"), std::string::npos);
    CgiResult r = Get("program=operOnUser&operation=REMOVE&uid=lx");
    EXPECT_TRUE(r.Contains("hnoncurrentusers.gif"));
    EXPECT_FALSE(r.Contains("uid=lx"));
    for (const char* gid : {"g7", "g8"})
        EXPECT_TRUE(Get(std::string("program=genGroupResUsage&uid=") + gid).Contains("no longer available")) << gid;
    EXPECT_EQ(Occurrences(Get("program=operOnGroup&operation=chgowner&uid=g1").out, "name=\"selection\""), 4);
    for (const char* line : {"Theta Shared- Deleted group owned by the user Leaver lx",
                             "Iota Private- Deleted group owned by the user Leaver lx", "ZA_INFO:Successfully cleaned up user account"})
        EXPECT_NE(Tree().ReadLog().find(line), std::string::npos) << line;
    // Nothing of lx is left, and nothing of anyone else changed.
    EXPECT_EQ(ZastoreList("accounts"), WithoutLeaver(accounts, {"lx\t"}));
    EXPECT_EQ(ZastoreList("groups"), WithoutLeaver(groups, {"g7\t", "g8\t"}));
    EXPECT_FALSE(fs::exists(leaverData));
}

class LogPages : public ConsolePages {
protected:
    static void SetUpTestSuite() {}  // the log needs no directory entries
    static void WriteLog(const std::string& text) { std::ofstream(Tree().LogFile(), std::ios::trunc) << text; }
    static std::string Stamp(int daysAgo) {
        time_t when = time(nullptr) - daysAgo * 86400L;
        char text[64];
        strftime(text, sizeof text, "%d-%b-%y %H.%M.%S %Z", localtime(&when));
        return text;
    }
};

TEST_F(LogPages, ViewFiltersByLevelAndAge) {
    const std::string log = Stamp(0) + ":OperAdmin:ZA_AUDIT:new audit\n" + Stamp(10) + ":OperAdmin:ZA_AUDIT:old audit\n" +
                            Stamp(1) + ":Other:ZA_ERROR:recent error: with colon\n" + Stamp(2) + ":X:ZA_ODD:strange level\n";
    struct Case {
        std::string filter;
        std::vector<std::string> shown, hidden;
    } cases[] = {
        {"msg_type=All&days=", {"new audit", "old audit", "recent error: with colon", "strange level"}, {}},
        {"msg_type=ZA_AUDIT&days=3", {"new audit", "mblueball.gif"}, {"old audit", "recent error", "mredball.gif"}},
        {"msg_type=za_error&days=", {"recent error: with colon", "mredball.gif"}, {"audit", "strange"}},
        {"msg_type=All&days=0", {}, {"old audit", "recent error", "strange level"}},
        {"msg_type=ZA_WARNING", {"No entries were found for the given search condition."}, {"<table"}},
    };
    for (const Case& c : cases) {
        WriteLog(log);
        CgiResult r = Get("program=genViewLogFilePage&sub_program=show&" + c.filter);
        EXPECT_TRUE(r.Contains("Current size of log file = " + std::to_string(log.size()) + " Bytes")) << c.filter;
        for (const std::string& text : c.shown) EXPECT_TRUE(r.Contains(text)) << c.filter << " " << text;
        for (const std::string& text : c.hidden) EXPECT_FALSE(r.Contains(text)) << c.filter << " " << text;
    }
    // A level the suite never writes keeps its cells under their headings.
    WriteLog(Stamp(0) + ":X:ZA_ODD:strange level\n");
    std::string odd = Get("program=genViewLogFilePage&sub_program=show&msg_type=All").out;
    std::smatch row;
    ASSERT_TRUE(std::regex_search(odd, row, std::regex("<tr>((?:(?!</tr>)[\\s\\S])*strange level[\\s\\S]*?)</tr>")));
    EXPECT_EQ(Occurrences(row[1].str(), "<td"), 7);
    WriteLog("");
    CgiResult empty = Get("program=genViewLogFilePage&sub_program=show&msg_type=All");
    EXPECT_TRUE(empty.Contains("Current size of log file = 0 Bytes"));
    EXPECT_FALSE(empty.Contains("<table"));
    EXPECT_FALSE(empty.Contains("No entries"));
}

TEST_F(LogPages, ArchiveTwiceInAMinuteAndPurgeAMissingLog) {
    while (time(nullptr) % 60 > 50) std::this_thread::sleep_for(std::chrono::seconds(1));
    std::string names[2];
    for (std::string& name : names) {
        WriteLog(Stamp(0) + ":OperAdmin:ZA_INFO:to be archived " + std::to_string(&name - names) + "\n");
        CgiResult r = Get("program=operOnLogFile&operation=Archive");
        std::smatch archived;
        // The page names the archive's file, not the server's folders.
        ASSERT_TRUE(std::regex_search(r.out, archived, std::regex("<h3>(zalogfile\\.[0-9]{2}_[A-Za-z]{3}_[0-9]{2}_[0-9]{2})</h3>")))
            << r.out;
        EXPECT_TRUE(r.Contains("Log File has been successfully archived to"));
        name = fs::path(Tree().LogFile()).parent_path() / archived[1].str();
    }
    EXPECT_EQ(names[0], names[1]);
    const std::string both = E2EInstall::ReadText(names[0]);
    EXPECT_LT(both.find("to be archived 0"), both.find("to be archived 1"));
    EXPECT_NE(both.find("to be archived 1"), std::string::npos);
    fs::remove(Tree().LogFile());
    EXPECT_TRUE(Get("program=operOnLogFile&operation=purge").Contains("Log file has been successfully purged"));
    EXPECT_TRUE(Get("program=genLogFileOperPage").Contains(
        "javascript:ConfirmLogOperation('Do your really want to purge logfile?','operadmin.cgi?program=operOnLogFile&amp;operation=purge');"));
}

}  // namespace
