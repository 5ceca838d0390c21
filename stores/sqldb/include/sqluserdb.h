// The SQL store as the program sees it: UserDB and GroupDB over one shared
// SqlStore. People are rows of the site's employee table, read only; accounts,
// groups and the rest live in the console's own tables. Results follow the
// store interfaces: malloc texts and new lists, cards, records and document
// lists that the caller frees or deletes.
#ifndef SQLUSERDB_H
#define SQLUSERDB_H

#include <memory>
#include <string>

#include "groupDB.h"
#include "sqlstore.h"
#include "userDB.h"

class ZaSqlUserDB : public UserDB {
 public:
  ZaSqlUserDB();
  ~ZaSqlUserDB() override;  // makes a pending account (see CreateAccount) without a password
  // Uses the given settings (tools and tests); nothing is connected yet.
  void OpenWith(const SqlSettings& settings);

  // Reads the settings; the server is reached on the first operation that needs it.
  ZaBoolean Open(ZaBoolean inServer, ZaConfigDB* config, int* threadKey) override;
  VCard* GetBaseCard() override;
  ZaBoolean IsSetUp() override;
  ZaBoolean NoteLogin(char* uid) override;
  // Removes the account with its memberships, hotlists, preferences and usage
  // figures; refused (0) while the user still owns a group.
  ZaBoolean DeleteAccount(char* uid) override;
  ZaBoolean GetLoginFlag(char* uid) override;
  ZaBoolean CheckPassword(char* uid, char* password) override;
  ZaBoolean SetPassword(char* uid, char* password) override;
  ZaBoolean UserExists(char* uid) override;
  ZaBoolean LoginTaken(char* login) override;
  char* GetUidFromLogin(char* login) override;
  char* GetUidFromServerUser(char* serverUser) override;
  ZaBoolean AccountExists(char* uid) override;
  // Checks and remembers the new account; the SetPassword call that follows
  // for the same user makes it with its password in one transaction. Any
  // other operation, or the end of the object, makes it without a password.
  ZaBoolean CreateAccount(char* uid, char* login) override;
  char* GetUserName(char* uid) override;
  char* GetEmailAddress(char* uid) override;
  ValList* GetGroupsOfUser(char* uid) override;
  ValList* GetHotlistPeople(char* uid) override;
  ValList* GetHotlistGroups(char* uid) override;
  ValNameList* GetUserPreferences(char* uid) override;
  VCard* GetVCard(char* uid, ZaBoolean full) override;
  ValNameList* SortByValue(ValList* uids) override;  // all names in one query
  long GetDiskUsage(char* uid) override;
  ValNameList* GetAllDiskUsage() override;
  ValNameList* GetDiskUsageOf(ValList* uids) override;
  ValNameList* GetCurrentUserNames() override;
  ValNameList* GetAccountLogins() override;
  ValNameList* GetAccountNames() override;
  ZaBoolean DeleteUserData(char* uid) override;
  ZaBoolean IsNonCurrentUser(char* uid) override;
  ValNameList* GetCurrentUsers() override;

 private:
  SqlStore& Store(const char* operation);
  void MakePendingAccount(const std::string& hash);
  std::shared_ptr<SqlStore> store;
  std::string pendingUid, pendingLogin;
};

class ZaSqlGroupDB : public GroupDB {
 public:
  ZaSqlGroupDB();
  ~ZaSqlGroupDB() override;
  void OpenWith(const SqlSettings& settings);

  ZaBoolean Open(ZaConfigDB* config, int* threadKey) override;
  char* GetGroupName(char* gid) override;
  void GetMembersOfGroups(ValList* gids, ValList* members) override;
  ZaGroupRecord* GetGroup(char* gid) override;
  ValNameList* GetAllGroups() override;
  // Removes the group with its members, documents, usage figure and every
  // hotlist entry naming it, in one statement; the data lives in the
  // database, so `option` changes nothing.
  ZaBoolean DeleteGroup(char* gid, UserDB* users, ZaBoolean option) override;
  ZaDocumentObjList* GetGroupFiles(char* gid) override;
  ZaBoolean ChangeOwner(char* gid, char* newOwner, UserDB* users) override;
  ZaBoolean RemoveMember(char* gid, char* uid, UserDB* users) override;
  ValList* GetGroupsOwnedBy(char* uid, UserDB* users) override;
  long GetGroupDiskUsage(char* gid) override;
  ValNameList* GetAllGroupsDiskUsage() override;

 private:
  SqlStore& Store(const char* operation);
  std::shared_ptr<SqlStore> store;
};

#endif
