// The LDAP store as the program sees it: UserDB and GroupDB over one
// LdapDirStore each, both on the process's shared connection, which opens on
// first use. Results follow the store interfaces: malloc texts and new lists,
// cards, records and document lists that the caller frees or deletes.
#ifndef LDAPUSERDB_H
#define LDAPUSERDB_H

#include <memory>

#include "groupDB.h"
#include "ldapstore.h"
#include "userDB.h"

class ZaLdapUserDB : public UserDB {
 public:
  ZaLdapUserDB();
  ~ZaLdapUserDB() override;
  // Uses the given settings directly (tools and tests).
  void OpenWith(const LdapSettings& settings);
  LdapDirStore& Store(const char* operation);

  ZaBoolean Open(ZaBoolean inServer, ZaConfigDB* config, int* threadKey) override;
  VCard* GetBaseCard() override;
  ZaBoolean IsSetUp() override;
  ZaBoolean NoteLogin(char* uid) override;
  ZaBoolean DeleteAccount(char* uid) override;
  ZaBoolean GetLoginFlag(char* uid) override;
  ZaBoolean CheckPassword(char* uid, char* password) override;
  ZaBoolean SetPassword(char* uid, char* password) override;
  ZaBoolean UserExists(char* uid) override;
  ZaBoolean LoginTaken(char* login) override;
  char* GetUidFromLogin(char* login) override;
  char* GetUidFromServerUser(char* serverUser) override;
  ZaBoolean AccountExists(char* uid) override;
  ZaBoolean CreateAccount(char* uid, char* login) override;
  char* GetUserName(char* uid) override;
  char* GetEmailAddress(char* uid) override;
  ValList* GetGroupsOfUser(char* uid) override;
  ValList* GetHotlistPeople(char* uid) override;
  ValList* GetHotlistGroups(char* uid) override;
  ValNameList* GetUserPreferences(char* uid) override;
  VCard* GetVCard(char* uid, ZaBoolean full) override;
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
  std::unique_ptr<LdapDirStore> store;
};

class ZaLdapGroupDB : public GroupDB {
 public:
  ZaLdapGroupDB();
  ~ZaLdapGroupDB() override;
  void OpenWith(const LdapSettings& settings);
  LdapDirStore& Store(const char* operation);

  ZaBoolean Open(ZaConfigDB* config, int* threadKey) override;
  char* GetGroupName(char* gid) override;
  void GetMembersOfGroups(ValList* gids, ValList* members) override;
  ZaGroupRecord* GetGroup(char* gid) override;
  ValNameList* GetAllGroups() override;
  // With removeData ZaTrue (as the console asks) the group's data folder and
  // documents go with it; otherwise they stay on disk for archiving.
  ZaBoolean DeleteGroup(char* gid, UserDB* users, ZaBoolean removeData) override;
  ZaDocumentObjList* GetGroupFiles(char* gid) override;
  ZaBoolean ChangeOwner(char* gid, char* newOwner, UserDB* users) override;
  ZaBoolean RemoveMember(char* gid, char* uid, UserDB* users) override;
  ValList* GetGroupsOwnedBy(char* uid, UserDB* users) override;
  long GetGroupDiskUsage(char* gid) override;
  ValNameList* GetAllGroupsDiskUsage() override;

 private:
  std::unique_ptr<LdapDirStore> store;
};

#endif
