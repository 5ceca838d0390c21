// The operator console (operadmin.cgi): its application object, its request
// object with the event dispatcher and every console page, and the hook that
// gives the framework the request object. Every Gen... and Operate... member
// returns a new page that the caller emits and deletes (or null for none).
#ifndef OPERADMIN_H
#define OPERADMIN_H

#include "zarvoadmin.h"

class GroupDB;
class UserDB;
class ValList;
class ZaConfigDB;
class ZaGroupRecord;
class ZaStreamedTable;
class ZaTable;
struct GroupRowFacts;

// The console's per-process application: name "OperAdmin", program
// "operadmin.cgi". It holds nothing of its own.
class OperAdminApp : public ZarvoAdminApp {
public:
    // localMessagesFile may be null (the console passes null).
    explicit OperAdminApp(const char* localMessagesFile);
};

// The console's per-request object; its log is buffered and reaches the log
// file when the request ends.
class OperAdmin : public ZarvoAdminCommon {
public:
    OperAdminApp* operAdminApp;  // not owned: lives for the process

    OperAdmin(RequestInfo* request, OperAdminApp* application);
    ~OperAdmin() override;

    // Dispatches the request's `program` ("front" when absent) to its page;
    // names the console does not know go on to the admin layer unchanged. An
    // unreachable directory store gives the database set-up error page.
    Page* HandleEvent(const char* program) override;

    // Front page and navigation.
    Page* GenOperAdminPage();
    Page* GenOperAdminNavbarPage();
    Page* GenManageUsersPage();
    Page* GenManageUsersNavbarPage();

    // User resource usage.
    Page* GenResSearchCondPage();
    Page* GenResUsagePage();
    Page* GenResUsageHeadingPage();
    Page* GenUserDiskUsagePage();
    // Appends the members of the listed groups to people (no duplicates).
    void TransferMembersFromGroups(ValList* people, ValList* groups);

    // Non-current users and account clean-up.
    Page* GenDeletedUsersPage();
    Page* GenUidResUsagePage();
    Page* GenGroupOwnedPage(const char* uid);  // null: the request's `uid`
    Page* OperateOnUser();
    // Removes what the user holds; shared groups go to newOwner, or are
    // deleted when it is null.
    ZaBoolean CleanUpUserAccount(const char* uid, const char* newOwner);
    Page* GenUid2NamePage();

    // Account creation.
    Page* GenCreateNewAccount(const char* message);  // message may be null
    Page* ProcessAccountSetup();

    // Group resource management.
    Page* GenGroupResSearchCondPage();
    Page* GenGroupDiskUsagePage();
    Page* GenGroupOwnedListPage(const char* owner);
    Page* GenGroupNamedListPage(const char* text);
    // Null arguments take `uid` and `fromPage` from the request.
    Page* GenGidResUsagePage(const char* gid, const char* fromPage);
    Page* OperateOnGroup();

    // Log file management.
    Page* GenViewLogFileSplitPage();
    Page* GenViewLogFileStartMsgPage();
    Page* GenViewLogFileChoicePage();
    Page* GenViewLogFilePage();
    Page* GenLogFileOperPage();
    Page* OperateOnLogFile();

protected:
    // Borrowed request parameter, or null.
    const char* Param(const char* name);
    // Borrowed request parameter, or "" when absent.
    const char* ParamText(const char* name);
    // Decimal value of a parameter; absent or non-numeric text counts as 0.
    long ParamNumber(const char* name);
    UserDB* Users();
    GroupDB* Groups();
    ZaConfigDB* Config();
    // True when the employee directory is the flat-file store.
    bool FlatFileStore();
    const char* Message(const char* key);
    void Log(int level, const char* text);
    // A person's display name (malloc, caller frees); the ID itself when the
    // store knows no name.
    char* DisplayName(const char* uid);

private:
    Page* GenChangeOwnerForm(const char* gid, const char* fromPage, const char* origOwner);
    // The group table's headings, and what one row shows of a group record;
    // bytes null asks the store for the group's disk usage.
    ZaStreamedTable* NewGroupTable();
    GroupRowFacts ReadGroupRow(ZaGroupRecord* record, const char* bytes);
    // Heading, table (up to the first group without a record) and done button
    // for a non-empty list of group IDs.
    void AddGroupListing(ZaPage* page, ValList* gids);
    // Tells that a group has no record any more.
    void AddGroupGoneNotice(ZaPage* page);
};

#endif
