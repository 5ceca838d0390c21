// Test support for the widget tests: a request that captures everything
// written to it, golden-file comparison, and a small in-memory directory store
// that answers the few operations the widgets call.
#ifndef WIDGET_SUPPORT_H
#define WIDGET_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HTMLObject.h"
#include "groupDB.h"
#include "reqinfo.h"
#include "userDB.h"
#include "vallist.h"
#include "vcard.h"

// Header lines as "Name: value", the status as "Status: code reason"; every
// Flush is remembered with the output length at that moment.
class CaptureRequest : public RequestInfo {
public:
    std::string output;
    std::vector<size_t> flushes;

    int ReadPostInput(char*, int) override { return 0; }
    int GetFormDataChar() override { return -1; }
    int WriteBinary(const char* data, int length) override { return output.append(data, length), 0; }
    int Write(const char* text) override { return output += text, 0; }
    int WriteHeader(const char* name, const char* value) override {
        output += *name ? std::string(name) + ": " + value + "\n" : "\n";
        return 0;
    }
    int SetStatus(int code, const char* reason) override {
        output += "Status: " + std::to_string(code) + " " + reason + "\n";
        return 0;
    }
    int Flush() override {
        flushes.push_back(output.size());
        return 0;
    }
};

// Emits node (and deletes it) the way a page is emitted: indent 0, line breaks on.
inline std::string Emitted(HTMLObject* node, const char* style = "style0", int lineBreaks = 1) {
    CaptureRequest out;
    node->emit(&out, 0, lineBreaks, style);
    delete node;
    return out.output;
}

// Compares with tests/golden/<name>; ZA_UPDATE_GOLDEN=1 rewrites the file instead.
inline void ExpectGolden(const std::string& name, const std::string& actual) {
    std::string path = std::string(ZA_SOURCE_DIR) + "/zarvolib/tests/golden/" + name;
    const char* update = getenv("ZA_UPDATE_GOLDEN");
    if (update && strcmp(update, "1") == 0) {
        std::ofstream(path, std::ios::binary) << actual;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << "missing golden file " << path;
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(expected.str(), actual) << "golden file " << name;
}

inline ValList* MakeList(const std::vector<std::string>& items) {
    ValList* list = new ValList();
    for (const std::string& item : items) list->Append(item.c_str());
    return list;
}

// People: uid -> (display name, e-mail). Sorting is the program's own
// UserDB::SortByValue, which asks GetUserName for every id.
class FakeUserDB : public UserDB {
public:
    std::map<std::string, std::pair<std::string, std::string>> people;

    void Add(const std::string& uid, const std::string& name, const std::string& email = "") {
        people[uid] = {name, email};
    }

    char* GetUserName(char* uid) override {
        auto it = people.find(uid);
        return it == people.end() ? nullptr : strdup(it->second.first.c_str());
    }
    char* GetEmailAddress(char* uid) override {
        auto it = people.find(uid);
        return it == people.end() || it->second.second.empty() ? nullptr : strdup(it->second.second.c_str());
    }
    VCard* GetVCard(char* uid, ZaBoolean) override {
        auto it = people.find(uid);
        if (it == people.end()) return nullptr;
        VCard* card = new VCard();
        card->AddEntry(VCardPropFn, it->second.first.c_str());
        card->AddEntry(VCardPropEmail, it->second.second.c_str());
        return card;
    }

    // Not used by the widgets.
    ZaBoolean Open(ZaBoolean, ZaConfigDB*, int*) override { return ZaTrue; } VCard* GetBaseCard() override { return nullptr; }
    ZaBoolean IsSetUp() override { return ZaTrue; } ZaBoolean NoteLogin(char*) override { return ZaTrue; }
    ZaBoolean DeleteAccount(char*) override { return ZaFalse; } ZaBoolean GetLoginFlag(char*) override { return ZaFalse; }
    ZaBoolean CheckPassword(char*, char*) override { return ZaFalse; } ZaBoolean SetPassword(char*, char*) override { return ZaFalse; }
    ZaBoolean UserExists(char*) override { return ZaFalse; } ZaBoolean LoginTaken(char*) override { return ZaFalse; }
    char* GetUidFromLogin(char*) override { return nullptr; } char* GetUidFromServerUser(char*) override { return nullptr; }
    ZaBoolean AccountExists(char*) override { return ZaFalse; } ZaBoolean CreateAccount(char*, char*) override { return ZaFalse; }
    ValList* GetGroupsOfUser(char*) override { return nullptr; } ValList* GetHotlistPeople(char*) override { return nullptr; }
    ValList* GetHotlistGroups(char*) override { return nullptr; } ValNameList* GetUserPreferences(char*) override { return nullptr; }
    long GetDiskUsage(char*) override { return 0; } ValNameList* GetAllDiskUsage() override { return nullptr; }
    ValNameList* GetDiskUsageOf(ValList*) override { return nullptr; } ValNameList* GetCurrentUserNames() override { return nullptr; }
    ValNameList* GetAccountLogins() override { return nullptr; } ValNameList* GetAccountNames() override { return nullptr; }
    ZaBoolean DeleteUserData(char*) override { return ZaFalse; } ZaBoolean IsNonCurrentUser(char*) override { return ZaFalse; }
    ValNameList* GetCurrentUsers() override { return nullptr; }
};

// Groups: gid -> (name, members).
class FakeGroupDB : public GroupDB {
public:
    std::map<std::string, std::pair<std::string, std::vector<std::string>>> groups;

    char* GetGroupName(char* gid) override {
        auto it = groups.find(gid);
        return it == groups.end() ? nullptr : strdup(it->second.first.c_str());
    }
    void GetMembersOfGroups(ValList* gids, ValList* members) override {
        for (ValListItem* item = gids->head; item; item = item->next) {
            auto it = groups.find(item->value);
            if (it == groups.end()) continue;
            for (const std::string& uid : it->second.second) members->Append(uid.c_str());
        }
    }

    // Not used by the widgets.
    ZaBoolean Open(ZaConfigDB*, int*) override { return ZaTrue; } ZaGroupRecord* GetGroup(char*) override { return nullptr; }
    ValNameList* GetAllGroups() override { return nullptr; } ZaBoolean DeleteGroup(char*, UserDB*, ZaBoolean) override { return ZaFalse; }
    ZaDocumentObjList* GetGroupFiles(char*) override { return nullptr; } ZaBoolean ChangeOwner(char*, char*, UserDB*) override { return ZaFalse; }
    ZaBoolean RemoveMember(char*, char*, UserDB*) override { return ZaFalse; } ValList* GetGroupsOwnedBy(char*, UserDB*) override { return nullptr; }
    long GetGroupDiskUsage(char*) override { return 0; } ValNameList* GetAllGroupsDiskUsage() override { return nullptr; }
};

#endif
