// Account clean-up against stores that can refuse: shared groups handed on
// or deleted, the stop at the first refused group, and memberships.
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
    std::set<std::string> refused;  // groups whose deletion or membership change fails

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
    ZaBoolean ChangeOwner(char* gid, char* owner, UserDB*) override { return all[gid].owner = owner, ZaTrue; }
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
    std::pair<ZaBoolean, std::string> Run(LeaverUsers& users, LeaverGroups& groups, const char* newOwner) {
        install.WriteConfig("logLevel:ZA_INFO\n");
        std::filesystem::create_directories(install.Top() / "logs");
        auto app = std::make_unique<OperAdminApp>(nullptr);
        app->userDB = &users;
        app->groupDB = &groups;
        ZaBoolean result = ZaFalse;
        {
            OperAdmin console(&request, app.get());
            result = console.CleanUpUserAccount("lx", newOwner);
        }
        app->userDB = nullptr;  // the stores are this test's, not the loader's
        app->groupDB = nullptr;
        return {result, ReadFile(install.Top() / "logs" / "zalogfile")};
    }
};

TEST_F(CleanUp, SharedGroupsAreHandedOnOrDeleted) {
    struct Case {
        const char* newOwner;
        bool sharedKept;
        const char* logLine;
    } cases[] = {{"u2", true, "Theta- Changed owner of group owned by the user Lex Gone"},
                 {nullptr, false, "Theta- Deleted group owned by the user Lex Gone"}};
    for (const Case& c : cases) {
        LeaverUsers users;
        LeaverGroups groups;
        users.Add("lx", "Lex Gone");
        auto [result, log] = Run(users, groups, c.newOwner);
        EXPECT_EQ(result, ZaTrue);
        EXPECT_FALSE(groups.all.count("g8"));
        EXPECT_EQ(groups.all.count("g7") == 1, c.sharedKept);
        EXPECT_EQ(c.sharedKept ? groups.all["g7"].owner : "u2", "u2");
        EXPECT_EQ(groups.all["g1"].members, std::vector<std::string>{"u1"});
        EXPECT_TRUE(users.accounts.empty() && users.withData.empty());
        EXPECT_NE(log.find("Iota- Deleted group owned by the user Lex Gone"), std::string::npos) << log;
        EXPECT_NE(log.find(c.logLine), std::string::npos) << log;
    }
}

TEST_F(CleanUp, StopsAtTheFirstRefusedGroup) {
    LeaverUsers users;
    LeaverGroups groups;
    users.Add("lx", "Lex Gone");
    groups.refused = {"g8"};
    auto [result, log] = Run(users, groups, nullptr);
    EXPECT_EQ(result, ZaFalse);
    EXPECT_TRUE(groups.all.count("g8") && groups.all.count("g7"));
    EXPECT_EQ(groups.all["g1"].members.size(), 2u);
    EXPECT_EQ(users.accounts.count("lx"), 1u);
    EXPECT_NE(log.find("ZA_ERROR:Iota- Failed to delete\t\t\t\tgroup owned by the user Lex Gone"), std::string::npos)
        << log;
}

TEST_F(CleanUp, AnyMembershipLeftBehindCountsAsFailure) {
    LeaverUsers users;
    LeaverGroups groups;
    groups.refused = {"g1"};
    auto [result, log] = Run(users, groups, nullptr);
    EXPECT_EQ(result, ZaFalse);
    EXPECT_EQ(groups.all["g2"].members, std::vector<std::string>{"u1"});
    EXPECT_TRUE(users.accounts.empty());
    const std::string failed = "ZA_ERROR:Failed in removing member from the group";
    EXPECT_NE(log.find(failed), std::string::npos) << log;
    EXPECT_EQ(log.find(failed), log.rfind(failed));
}

}  // namespace
