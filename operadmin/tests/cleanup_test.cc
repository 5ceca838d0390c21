// Account clean-up against stores that can refuse: shared groups handed on
// or deleted, the stop at the first refused group, memberships, and a user ID
// that names no one.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "../../dblib/tests/store_install.h"
#include "../../zarvolib/tests/widget_support.h"
#include "operadmin.h"

namespace {

// The leaver "lx" owns g8 (private) and g7 (shared), in that order, and is a
// member of g1 and g2.
struct LeaverUsers : FakeUserDB {
    std::set<std::string> accounts{"lx"}, withData{"lx"};
    std::map<std::string, std::vector<std::string>> memberOf{{"lx", {"g1", "g2"}}};
    ValList* GetGroupsOfUser(char* uid) override { return MakeList(memberOf[uid]); }
    ZaBoolean DeleteAccount(char* uid) override { return accounts.erase(uid) ? ZaTrue : ZaFalse; }
    ZaBoolean DeleteUserData(char* uid) override { return withData.erase(uid) ? ZaTrue : ZaFalse; }
};

struct Group { std::string name, owner; int shared; std::vector<std::string> members; };

struct LeaverGroups : FakeGroupDB {
    std::map<std::string, Group> all{{"g8", {"Iota", "lx", 0, {"lx"}}},
                                     {"g7", {"Theta", "lx", 1, {"lx", "u2"}}},
                                     {"g1", {"Alpha", "u1", 1, {"u1", "lx"}}},
                                     {"g2", {"Beta", "u1", 1, {"u1", "lx"}}}};
    std::set<std::string> refused;  // groups whose deletion, hand-over or membership change fails

    ValList* GetGroupsOwnedBy(char*, UserDB*) override { return MakeList({"g8", "g7"}); }
    ZaGroupRecord* GetGroup(char* gid) override {
        if (!all.count(gid)) return nullptr;
        auto record = new ZaGroupRecord();
        record->groupId = strdup(gid);
        record->ownerId = strdup(all[gid].owner.c_str());
        record->groupName = strdup(all[gid].name.c_str());
        record->shared = all[gid].shared;
        record->members = MakeList(all[gid].members);
        return record;
    }
    ZaBoolean DeleteGroup(char* gid, UserDB*, ZaBoolean) override { return !refused.count(gid) && all.erase(gid) ? ZaTrue : ZaFalse; }
    ZaBoolean ChangeOwner(char* gid, char* owner, UserDB*) override {
        if (refused.count(gid)) return ZaFalse;
        all[gid].owner = owner;
        return ZaTrue;
    }
    ZaBoolean RemoveMember(char* gid, char* uid, UserDB*) override {
        auto& members = all[gid].members;
        if (refused.count(gid)) return ZaFalse;
        members.erase(std::remove(members.begin(), members.end(), uid), members.end());
        return ZaTrue;
    }
};

std::string ReadFile(const std::filesystem::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class CleanUp : public ::testing::Test {
protected:
    StoreInstall install;
    CaptureRequest request;

    // Runs the clean-up in a request of its own; returns its result and the log.
    std::pair<ZaBoolean, std::string> Run(LeaverUsers& users, LeaverGroups& groups, const char* newOwner,
                                          const char* uid) {
        install.WriteConfig("logLevel:ZA_INFO\n");
        std::filesystem::create_directories(install.Top() / "logs");
        std::filesystem::remove(install.Top() / "logs" / "zalogfile");
        auto app = std::make_unique<OperAdminApp>(nullptr);
        app->userDB = &users;
        app->groupDB = &groups;
        ZaBoolean result = ZaFalse;
        {
            OperAdmin console(&request, app.get());
            result = console.CleanUpUserAccount(uid, newOwner);
        }
        app->userDB = nullptr;  // the stores are this test's, not the loader's
        app->groupDB = nullptr;
        return {result, ReadFile(install.Top() / "logs" / "zalogfile")};
    }
};

// Each case: which store operations refuse, the new owner and the user named;
// what is left of the private group g8, the shared group g7 (gone, or its
// owner), the memberships in g1 and g2 and the account, and a log line.
TEST_F(CleanUp, OutcomeFollowsTheFirstRefusal) {
    const std::string by = "group owned by the user Lex Gone";
    struct Case {
        std::set<std::string> refused;
        const char* newOwner;
        const char* uid;
        ZaBoolean result;
        bool privateKept;
        const char* sharedOwner;  // null: g7 deleted
        size_t g1Members, g2Members;
        bool accountKept;
        std::string logLine;  // empty: none expected
    } cases[] = {
        {{}, "u2", "lx", ZaTrue, false, "u2", 1, 1, false, "ZA_INFO:Theta- Changed owner of " + by},
        {{}, nullptr, "lx", ZaTrue, false, nullptr, 1, 1, false, "ZA_INFO:Theta- Deleted " + by},
        {{"g8"}, nullptr, "lx", ZaFalse, true, "lx", 2, 2, true, "ZA_ERROR:Iota- Failed to delete\t\t\t\t" + by},
        {{"g7"}, "u2", "lx", ZaFalse, false, "lx", 2, 2, true, "ZA_ERROR:Theta- Failed to change owner of " + by},
        // Every membership is tried, and one left behind fails the clean-up.
        {{"g1"}, nullptr, "lx", ZaFalse, false, nullptr, 2, 1, false, "ZA_ERROR:Failed in removing member from the group"},
        {{}, nullptr, "", ZaFalse, true, "lx", 2, 2, true, ""},
        {{}, nullptr, " ", ZaFalse, true, "lx", 2, 2, true, ""},
    };
    for (const Case& c : cases) {
        const std::string label = std::string("[") + c.uid + "] " + (c.newOwner ? c.newOwner : "-") + " " + c.logLine;
        LeaverUsers users;
        LeaverGroups groups;
        users.Add("lx", "Lex Gone");
        groups.refused = c.refused;
        auto [result, log] = Run(users, groups, c.newOwner, c.uid);
        EXPECT_EQ(result, c.result) << label;
        EXPECT_EQ(groups.all.count("g8") == 1, c.privateKept) << label;
        const std::string g7 = groups.all.count("g7") ? groups.all["g7"].owner : "(deleted)";
        EXPECT_EQ(g7, c.sharedOwner ? c.sharedOwner : "(deleted)") << label;
        EXPECT_EQ(groups.all["g1"].members.size(), c.g1Members) << label;
        EXPECT_EQ(groups.all["g2"].members.size(), c.g2Members) << label;
        EXPECT_EQ(users.accounts.count("lx") == 1 && users.withData.count("lx") == 1, c.accountKept) << label;
        if (c.logLine.empty()) continue;
        EXPECT_NE(log.find(c.logLine), std::string::npos) << label << "\n" << log;
        EXPECT_EQ(log.find(c.logLine), log.rfind(c.logLine)) << label;
    }
}

}  // namespace
