// Group and log pages: the chosen owner of the group search, mail lists, owner
// changes, the log's age filter and actions, end to end through an installed
// operadmin.cgi; and, in process with a scripted group store, store failures
// and records that lack their fields.
#include <gtest/gtest.h>

#include <regex>

#include "../../dblib/tests/store_install.h"
#include "../../zarvolib/tests/e2e_harness.h"
#include "../../zarvolib/tests/widget_support.h"
#include "Classes.h"
#include "operadmin.h"
#include "zadocument.h"

namespace {

E2EInstall& Tree() { return E2EInstall::Shared(); }

CgiResult Get(const std::string& query, const std::string& cookies = "") {
    const std::string login =
        "ZarvoUidCookie=op; ZarvoUserLoginTime=" + std::to_string(time(nullptr) + 600) + "; ZarvoIsWebmaster=TRUE";
    CgiResult r = Tree().Run(CgiRequest::Get(query, login + cookies));
    EXPECT_EQ(r.status, 0) << query;
    return r;
}

// A log time stamp of the given number of days ago.
std::string Stamp(int daysAgo) {
    time_t when = time(nullptr) - daysAgo * 86400L;
    char text[64];
    strftime(text, sizeof text, "%d-%b-%y %H.%M.%S %Z", localtime(&when));
    return text;
}

void WriteLog(const std::string& text) { std::ofstream(Tree().LogFile(), std::ios::trunc) << text; }

class GroupLogPages : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        E2EInstall& t = Tree();
        ASSERT_EQ(t.Problem(), "");
        t.WriteConfig("logLevel:ZA_INFO\n");
        t.Zastore({"person", "add", "u1", "--name", "Una One", "--email", "una@example.org"});
        t.Zastore({"person", "add", "u3", "--name", "Uta Three", "--email", "uta@example.org"});
        for (const char* uid : {"u1", "u2", "u3"}) t.AddAccount(uid, std::string("User ") + uid, uid, "pw", false);
        t.AddAccount("op", "Olga Operator", "olga", "pw", true);
        t.Zastore({"group", "add", "g1", "Alpha", "--owner", "u1", "--shared", "--member", "u1", "--member", "u2",
                   "--member", "u3"});
        t.Zastore({"group", "add", "g2", "Beta", "--owner", "u1", "--member", "u1"});
        t.Zastore({"group", "add", "g5", "Solo", "--owner", "u3", "--shared", "--member", "u3"});
        for (auto usage : std::vector<std::pair<const char*, const char*>>{{"g1", "700"}, {"g2", "50"}, {"g5", "10"}})
            t.Zastore({"usage", "add", "--group", usage.first, usage.second});
    }
    static void TearDownTestSuite() { Tree().RestoreConfig(); }
};

TEST_F(GroupLogPages, SearchFormKeepsOrResetsTheChosenOwner) {
    struct Case {
        std::string query, cookies;
        bool resetsCookie;
        std::vector<std::string> shown, hidden;
    } cases[] = {
        {"", "", true, {"value=\"all_g\" checked", "name=\"ifSelected\" value=\"FALSE\""}, {"selectedOwner"}},
        {"&selector=1", "; OnePersonSelectorCookie=u3:u1", false,
         {"value=\"group_owner\" checked", "Uta Three", "name=\"selectedOwner\" value=\"u3\"", "value=\"TRUE\""},
         {"value=\"all_g\" checked", "Una One"}},
        {"&selector=1", "", false, {"value=\"group_owner\" checked", "value=\"FALSE\""}, {"selectedOwner"}},
    };
    for (const Case& c : cases) {
        CgiResult r = Get("program=groupResSearchCondPage" + c.query, c.cookies);
        EXPECT_EQ(r.HasCookie("OnePersonSelectorCookie"), c.resetsCookie) << c.query << c.cookies;
        for (const std::string& text : c.shown) EXPECT_TRUE(r.Contains(text)) << c.cookies << " " << text;
        for (const std::string& text : c.hidden) EXPECT_FALSE(r.Contains(text)) << c.cookies << " " << text;
    }
}

TEST_F(GroupLogPages, MailListNamesEachOwnerOnce) {
    struct Case {
        const char* query;
        const char* mail;
    } cases[] = {{"selection=top_g&groups=2", "\"mailto:una@example.org\""},
                 {"selection=gt_g&gbytes=0", "\"mailto:una@example.org,uta@example.org\""}};
    for (const Case& c : cases) EXPECT_TRUE(Get(std::string("program=genGroupDiskUsage&") + c.query).Contains(c.mail)) << c.query;
}

TEST_F(GroupLogPages, OwnerChangeAndSelectedGroupsTreatIdsOnce) {
    CgiResult form = Get("program=operOnGroup&operation=commit&uid=g5&fromPage=elsewhere&orig_owner=u3&selection=u3");
    EXPECT_TRUE(form.Contains("name=\"operform\""));
    EXPECT_TRUE(form.Contains("href=\"operadmin.cgi\""));  // the cancel button of an unknown origin
    // People picked by hand and the members of picked groups, each once, whatever the letter case.
    const std::string out =
        Get("program=resSearchCondPage&selector=1", "; PersonSelectorCookie=U3; GroupSelectorCookie=g1:g5").out;
    const std::regex box("name=\"oper_uid_val\"");
    EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), box), std::sregex_iterator()), 3) << out;
}

TEST_F(GroupLogPages, AgeFilterReachesBackToTheCenturyStart) {
    struct Case {
        const char* days;
        bool shown;
    } cases[] = {{"", true}, {"2", true}, {"0", false}, {"20000", true}, {"99999999999", true}, {"-99999999999", false}};
    for (const Case& c : cases) {
        WriteLog(Stamp(1) + ":X:ZA_ERROR:recent error\n");
        CgiResult r = Get(std::string("program=genViewLogFilePage&sub_program=show&msg_type=All&days=") + c.days);
        EXPECT_EQ(r.Contains("recent error"), c.shown) << c.days;
        EXPECT_EQ(r.Contains("No entries were found"), !c.shown) << c.days;
    }
}

TEST_F(GroupLogPages, OnlyTheExactWordPurgesButAnyCaseArchives) {
    struct Case {
        const char* operation;
        const char* heading;  // null: none at all
        bool kept;
    } cases[] = {{"PURGE", nullptr, true}, {"purge", "<h3>Log file has been successfully purged</h3>", false},
                 {"ARCHIVE", "<h3>Log File has been successfully archived to </h3>", false}};
    for (const Case& c : cases) {
        WriteLog(Stamp(0) + ":X:ZA_INFO:kept line\n");
        CgiResult r = Get(std::string("program=operOnLogFile&operation=") + c.operation);
        EXPECT_EQ(Tree().ReadLog().find("kept line") != std::string::npos, c.kept) << c.operation;
        EXPECT_TRUE(c.heading ? r.Contains(c.heading) : !r.Contains("<h3>")) << c.operation << r.out;
    }
    EXPECT_NE(Tree().ReadLog().find(":OperAdmin:ZA_INFO:Log file has been succesfully archived to /"), std::string::npos);
}

// Group records by ID; the operation named in `failing` raises a store error.
struct ScriptedGroups : FakeGroupDB {
    std::string failing;
    bool bare = false;  // records without ID, name, owner or member list

    void Check(const char* operation) {
        if (failing != operation) return;
        ZaError* e = new ZaError();
        e->AddLine(1, "store", "store down", ZaFalse);
        throw e;
    }
    ZaGroupRecord* GetGroup(char* gid) override {
        Check("GetGroup");
        auto record = new ZaGroupRecord();
        if (bare) return record;
        record->groupId = strdup(gid);
        record->ownerId = strdup("u1");
        record->groupName = strdup("Alpha");
        record->members = MakeList({"u1", "u2"});
        return record;
    }
    ValNameList* GetAllGroups() override { return Check("GetAllGroups"), (new ValNameList())->Append("g1", "Alpha"); }
    ValNameList* GetAllGroupsDiskUsage() override {
        return Check("GetAllGroupsDiskUsage"), (new ValNameList())->Append("g1", "Alpha", "700");
    }
    ValList* GetGroupsOwnedBy(char*, UserDB*) override { return Check("GetGroupsOwnedBy"), MakeList({"g1"}); }
    ZaDocumentObjList* GetGroupFiles(char*) override { return Check("GetGroupFiles"), new ZaDocumentObjList(); }
};

class GroupPagesInProcess : public ::testing::Test {
protected:
    StoreInstall install;
    FakeUserDB users;
    ScriptedGroups groups;

    // Runs one generator with the given parameters; the page is emitted, or the
    // trace of the error it raised returned as "newest | next".
    std::string Run(const std::vector<std::pair<const char*, const char*>>& params, Page* (*generate)(OperAdmin*)) {
        install.WriteConfig("logLevel:ZA_INFO\n");
        std::filesystem::create_directories(install.Top() / "logs");
        auto app = std::make_unique<OperAdminApp>(nullptr);
        app->userDB = &users;
        app->groupDB = &groups;
        CaptureRequest request;
        for (auto& p : params) request.params->Append(p.first, p.second);
        std::string result;
        try {
            OperAdmin console(&request, app.get());
            std::unique_ptr<Page> page(generate(&console));
            page->emit(&request, 0, 1, "style0");
            result = request.output;
        } catch (ZaError* e) {
            result = TraceMessage(e, 0) + " | " + TraceMessage(e, 1);
            delete e;
        }
        app->userDB = nullptr;  // the stores are this test's, not the loader's
        app->groupDB = nullptr;
        return result;
    }
};

Page* Search(OperAdmin* c) { return c->GenGroupDiskUsagePage(); }
Page* Summary(OperAdmin* c) { return c->GenGidResUsagePage("g1", "group_owned"); }
Page* Operate(OperAdmin* c) { return c->OperateOnGroup(); }

TEST_F(GroupPagesInProcess, StoreFailuresNameEachGeneratorOnTheWay) {
    struct Case {
        const char* failing;
        const char* selection;
        Page* (*generate)(OperAdmin*);
        const char* trace;
    } cases[] = {
        {"GetAllGroupsDiskUsage", "all_g", Search, "Error in OperAdmin::GenGroupDiskUsagePage | store down"},
        {"GetGroupFiles", "top_g", Search, "Error in OperAdmin::GenGroupDiskUsagePage | store down"},
        {"GetGroupsOwnedBy", "group_owner", Search,
         "Error in OperAdmin::GenGroupDiskUsagePage | Error in OperAdmin::GenGroupOwnedListPage"},
        {"GetAllGroups", "group_name", Search,
         "Error in OperAdmin::GenGroupDiskUsagePage | Error in OperAdmin::GenGroupNamedListPage"},
        {"GetGroup", "", Summary, "Error in OperAdmin::GenGidResUsagePage | store down"},
        {"GetGroup", "", Operate, "Error in OperAdmin::OperateOnGroup | store down"},
    };
    for (const Case& c : cases) {
        groups.failing = c.failing;
        EXPECT_EQ(Run({{"selection", c.selection}, {"groups", "5"}, {"gname", "Al"}, {"operation", "chgowner"}}, c.generate),
                  c.trace)
            << c.failing;
    }
}

TEST_F(GroupPagesInProcess, RecordsWithoutTheirFieldsStillMakePages) {
    groups.bare = true;
    struct Case {
        Page* (*generate)(OperAdmin*);
        const char* marker;
    } cases[] = {{Search, "Private"}, {Summary, "sgroupsummary.gif"}, {Operate, "validateRadioFormSelectionSubmit('0')"}};
    for (const Case& c : cases)
        EXPECT_NE(Run({{"selection", "all_g"}, {"operation", "chgowner"}}, c.generate).find(c.marker), std::string::npos)
            << c.marker;
}

}  // namespace
